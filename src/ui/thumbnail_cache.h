#pragma once

#include "catalogue/media_item.h"
#include "catalogue/media_pair.h"
#include "core/background_jobs.h"
#include "ui/thumbnail_service.h"

#include <QCache>
#include <QHash>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QString>

#include <deque>
#include <filesystem>
#include <memory>

namespace vorlane {

// Thumbnails for the grid, kept in memory by the file as listed (its path, size and modification time, so a
// file replaced since shows its own picture once listed again) and the tile size in points, least recently
// used first out once the total passes a byte budget. Each request runs in two steps on a small pool: a
// quick one (the shared cache's thumbnail, else the picture embedded in the file, shown as a stand-in) and,
// unless that was final, the decode of the sharp one. Every quick step waiting goes before any decode, so a
// new screen shows pictures in a few milliseconds per cell; within a step, work follows the order the grid
// wants (visible cells first, then about a screen ahead), and waits for cells scrolled away are dropped
// before they start. Requests for one key are merged.
//
// Main thread only: every method and the ready() signal live there; the decoding happens on the pool.
class ThumbnailCache final : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kDefaultBudgetBytes = qint64(512) << 20;

    explicit ThumbnailCache(QObject *parent = nullptr, qint64 budgetBytes = kDefaultBudgetBytes,
                            std::shared_ptr<const ThumbnailService> service = {});
    ~ThumbnailCache() override;

    // The one cache of the application; created on first use, on the main thread.
    static ThumbnailCache &shared();

    // file: the file pictured (a pair's image, or its primary file), as the listing found it.
    static QString cacheKey(const MediaItem &file, double size);
    // Pixels asked of the decoder: size × scale, at least 64.
    static int pixelDimension(double size, double scale);

    // The cached thumbnail, else its stand-in, else a null pixmap. Never starts work.
    QPixmap cached(const MediaItem &file, double size);
    // What the grid shows for a cell, as a stand-in while its picture loads: the thumbnail of a pair's JPEG,
    // or of its primary file when pairs are shown apart; a null image when neither is cached.
    QImage cachedPicture(const MediaPair &pair, double size);
    // True once the sharp thumbnail is cached (not only a stand-in).
    bool isSharp(const MediaItem &file, double size) const;
    // True when the last attempt for this key produced nothing.
    bool failed(const MediaItem &file, double size) const;
    // True once the file as listed (its path, size and time) is known not to decode: its thumbnail's decode
    // failed (even where its embedded thumbnail stands in), or markUndecodable() was told so.
    bool isUndecodable(const MediaItem &file) const { return m_undecodable.contains(file.key().text()); }
    // Another decode of the file (the preview's) failed; fileKey is FileKey::text() of the file as it is now.
    void markUndecodable(const QString &fileKey);

    // Asks for a thumbnail; ready(key) follows when it is made or has failed. A request already pending or
    // running is merged. Requests are served in the order of the latest setWanted() call, then in arrival.
    void request(const MediaItem &file, double size, double scale);
    // The keys still wanted, most urgent first; pending requests for any other key are dropped.
    void setWanted(const QStringList &keysInOrder);
    // Forget failures so a new listing retries them.
    void clearFailures();

    qint64 bytesHeld() const { return m_cache.totalCost(); }
    int jobsStarted() const { return m_jobsStarted; }
    int jobsRunning() const { return m_jobs.running(); }

Q_SIGNALS:
    void ready(const QString &key);
    void undecodableFound();

private:
    enum class Step { Quick, Sharp };
    struct Pending
    {
        QString key;
        QString fileKey;
        std::filesystem::path file;
        int pixels = 0;
        Step step = Step::Quick;
    };

    void enqueue(Pending job);
    void startJobs();
    void finished(Pending job, const QImage &image, bool sharp, bool stopped);

    QCache<QString, QPixmap> m_cache;
    QCache<QString, QPixmap> m_standIns;
    QSet<QString> m_failed;
    QSet<QString> m_undecodable; // file keys
    std::deque<Pending> m_pending;
    QStringList m_wanted;
    std::shared_ptr<const ThumbnailService> m_service;
    BackgroundJobs m_jobs; // last: stopped and joined before the members its work reads
    int m_jobsStarted = 0;
};

} // namespace vorlane
