#pragma once

#include "core/background_jobs.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>

#include <deque>
#include <filesystem>
#include <functional>
#include <stop_token>

namespace vorlane {

// Where a decoded picture is drawn when fitted to a view: within area (logical pixels), and not beyond one
// image pixel per device pixel, except for a placeholder, which stands for a larger picture.
struct FitBox
{
    QSizeF area;
    qreal dpr = 1;

    bool isEmpty() const { return area.isEmpty(); }
    QSizeF shownSize(QSize image, bool placeholder = false) const;
    // The picture's drawn size in device pixels.
    QSize pixels(QSize image, bool placeholder = false) const { return (shownSize(image, placeholder) * dpr).toSize(); }
};

// The decoded pictures of the preview: the one on screen and its neighbours, decoded ahead of time on a
// pool of its own, kept under a memory budget (least recently used out first) and cancelled when the user
// jumps elsewhere. The picture of the file on screen is kept even when it alone is over the budget (a full
// decode for 100 % of a medium-format photo), until another file is wanted. A camera RAW first yields its
// embedded preview (interim), then its full decode. A request is named by the file as it is on disk now (its
// path, size and modification time: a file replaced since is decoded anew) and the long edge asked for
// (0 = full size, for 100 % zoom, within the decoder's pixel budget). Given the view's FitBox,
// the pool also scales each picture to the size it is drawn at, so showing it is a copy of pixels. Main
// thread; decodes run on the pool.
class PreviewLoader final : public QObject
{
    Q_OBJECT

public:
    using Path = std::filesystem::path;
    struct Decoded
    {
        QImage image;
        QString error;      // why there is no image; empty when the decode was only stopped
        bool undecodable = false; // the file itself would not decode (not a stop, nor the memory it asks)
        QImage fitted = {}; // image at its drawn size for the FitBox of the request, when one was given
    };
    // Decodes a file to at most maxLongEdge pixels (0 = full size). Any thread.
    using Decode = std::function<Decoded(const Path &, int maxLongEdge, std::stop_token)>;

    static constexpr qint64 kDefaultBudgetBytes = qint64(384) << 20;

    explicit PreviewLoader(QObject *parent = nullptr, Decode decode = {}, qint64 budgetBytes = kDefaultBudgetBytes);
    ~PreviewLoader() override;

    static QString key(const Path &file, int maxLongEdge);
    static Decoded decodeFile(const Path &file, int maxLongEdge, std::stop_token token);

    // The finished picture for a request, or a null image. Never starts work.
    QImage picture(const Path &file, int maxLongEdge) const;
    // The picture at its drawn size for the FitBox it was asked with, or a null image.
    QImage fitted(const Path &file, int maxLongEdge) const;
    QString error(const Path &file, int maxLongEdge) const { return m_errors.value(key(file, maxLongEdge)); }

    // What one viewer needs: the file on screen now (decoded first), then the files to decode ahead of time,
    // in order. Several viewers may share the loader (the compare view's two panes): work no viewer wants
    // any more is dropped if it has not started, and asked to stop if it has. A viewer that goes releases
    // its wants.
    void want(const Path &file, int maxLongEdge, const QList<Path> &ahead = {}, const FitBox &fit = {},
              int viewer = 0);
    void release(int viewer);
    // With prefetching off, only the file on screen is decoded (for measurements).
    void setPrefetching(bool on) { m_prefetching = on; }

Q_SIGNALS:
    // A request finished (with a picture, or with an error).
    void ready(const QString &key);
    // A file would not decode: fileKey is its FileKey::text() as a listing keys it (no inode).
    void undecodable(const QString &fileKey);
    // A camera RAW's embedded preview, shown until its full decode is ready.
    void interim(const QString &key, const QImage &image);

private:
    struct Job
    {
        QString key;
        Path file;
        int maxLongEdge = 0;
        FitBox fit;
    };

    struct Wanted
    {
        QString current;
        std::deque<Job> jobs; // not yet decoded, in order
        QSet<QString> keep;   // current and ahead
    };

    void rebuildPending();
    void startJobs();
    void finished(const QString &key, Decoded picture);
    const Decoded *find(const QString &key) const;

    Decode m_decode;
    QCache<QString, Decoded> m_cache;
    QHash<int, Wanted> m_wanted;        // by viewer
    QSet<QString> m_current;            // the keys of the files on screen
    QHash<QString, Decoded> m_oversized; // pictures on screen larger than the whole budget
    QHash<QString, QString> m_errors;
    std::deque<Job> m_pending;
    BackgroundJobs m_jobs;
    bool m_prefetching = true;
};

} // namespace vorlane
