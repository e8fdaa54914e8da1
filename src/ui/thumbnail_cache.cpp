#include "ui/thumbnail_cache.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

namespace vorlane {
namespace {

// Thumbnail decodes run below the interface thread and above the copies (nice 10).
constexpr int kWorkerNice = 5;

} // namespace

ThumbnailCache::ThumbnailCache(QObject *parent, qint64 budgetBytes, std::shared_ptr<const ThumbnailService> service)
    : QObject(parent)
    , m_service(service ? std::move(service) : std::make_shared<ThumbnailService>())
    , m_jobs(QStringLiteral("thumbnails"), std::max(2, QThread::idealThreadCount()), kWorkerNice)
{
    m_cache.setMaxCost(budgetBytes);
    m_standIns.setMaxCost(std::max<qint64>(1, budgetBytes / 8));
}

ThumbnailCache::~ThumbnailCache() { m_pending.clear(); }

ThumbnailCache &ThumbnailCache::shared()
{
    static ThumbnailCache *instance = new ThumbnailCache(QCoreApplication::instance());
    return *instance;
}

QString ThumbnailCache::cacheKey(const MediaItem &file, double size)
{
    return file.key().text() + u'|' + QString::number(qint64(size));
}

int ThumbnailCache::pixelDimension(double size, double scale)
{
    return std::max(int(size * (scale > 0 ? scale : 2.0)), 64);
}

QPixmap ThumbnailCache::cached(const MediaItem &file, double size)
{
    const QString key = cacheKey(file, size);
    if (const QPixmap *p = m_cache.object(key))
        return *p;
    const QPixmap *standIn = m_standIns.object(key);
    return standIn ? *standIn : QPixmap();
}

QImage ThumbnailCache::cachedPicture(const MediaPair &pair, double size)
{
    for (const auto &file : {pair.imageItem(), std::optional<MediaItem>(pair.primary())}) {
        const QPixmap found = file ? cached(*file, size) : QPixmap();
        if (!found.isNull())
            return found.toImage();
    }
    return {};
}

bool ThumbnailCache::isSharp(const MediaItem &file, double size) const
{
    return m_cache.contains(cacheKey(file, size));
}

bool ThumbnailCache::failed(const MediaItem &file, double size) const
{
    return m_failed.contains(cacheKey(file, size));
}

void ThumbnailCache::request(const MediaItem &file, double size, double scale)
{
    const QString key = cacheKey(file, size);
    if (m_cache.contains(key) || m_failed.contains(key) || m_jobs.isRunning(key))
        return;
    for (const Pending &p : m_pending) {
        if (p.key == key)
            return;
    }
    // A stand-in already shown needs only its sharp thumbnail (asked again after a scroll away and back).
    enqueue({key, file.key().text(), file.path, pixelDimension(size, scale),
             m_standIns.contains(key) ? Step::Sharp : Step::Quick});
    startJobs();
}

void ThumbnailCache::enqueue(Pending job)
{
    // Quick steps before every decode; then the grid's order (the pending queue is kept in it).
    if (job.step == Step::Quick) {
        const auto firstSharp
            = std::find_if(m_pending.begin(), m_pending.end(), [](const Pending &p) { return p.step == Step::Sharp; });
        m_pending.insert(firstSharp, std::move(job));
    } else {
        m_pending.push_back(std::move(job));
    }
}

void ThumbnailCache::setWanted(const QStringList &keysInOrder)
{
    m_wanted = keysInOrder;
    QHash<QString, int> rank;
    for (int i = 0; i < keysInOrder.size(); ++i)
        rank.insert(keysInOrder[i], i);
    std::deque<Pending> kept;
    for (Pending &p : m_pending) {
        if (rank.contains(p.key))
            kept.push_back(std::move(p));
    }
    std::stable_sort(kept.begin(), kept.end(), [&](const Pending &a, const Pending &b) {
        return std::pair(a.step, rank.value(a.key)) < std::pair(b.step, rank.value(b.key));
    });
    m_pending = std::move(kept);
}

void ThumbnailCache::clearFailures() { m_failed.clear(); }

void ThumbnailCache::markUndecodable(const QString &fileKey)
{
    if (!m_undecodable.contains(fileKey)) {
        m_undecodable.insert(fileKey);
        Q_EMIT undecodableFound();
    }
}

void ThumbnailCache::startJobs()
{
    while (!m_pending.empty() && m_jobs.hasRoom()) {
        Pending job = std::move(m_pending.front());
        m_pending.pop_front();
        ++m_jobsStarted;
        m_jobs.start(
            job.key, this,
            [job, service = m_service](std::stop_token token) {
                QImage image;
                bool sharp = true;
                if (job.step == Step::Quick) {
                    ThumbnailService::Quick quick = service->quick(job.file, job.pixels, token);
                    image = std::move(quick.image);
                    sharp = quick.sharp;
                } else {
                    image = service->sharp(job.file, job.pixels, token);
                }
                // Keep the short edge near the requested size (the tile scales it the rest of the way once): a
                // shared-cache picture only a little larger is kept as it is read.
                if (!image.isNull()) {
                    const int shortEdge = std::min(image.width(), image.height());
                    if (shortEdge > job.pixels * 3 / 2)
                        image
                            = image.scaled(image.size().scaled(job.pixels, job.pixels, Qt::KeepAspectRatioByExpanding),
                                           Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                }
                return std::pair(image, sharp);
            },
            [job](ThumbnailCache &cache, std::pair<QImage, bool> result, bool stopped) {
                cache.finished(job, result.first, result.second, stopped);
            });
    }
}

void ThumbnailCache::finished(Pending job, const QImage &image, bool sharp, bool stopped)
{
    const QString key = job.key;
    const auto insert = [](QCache<QString, QPixmap> &cache, const QString &k, const QImage &picture) {
        auto *pixmap = new QPixmap(QPixmap::fromImage(picture));
        const qint64 cost = qint64(pixmap->width()) * pixmap->height() * std::max(1, pixmap->depth() / 8);
        cache.insert(k, pixmap, std::min<qint64>(cost, cache.maxCost()));
    };
    if (job.step == Step::Quick && !sharp) {
        if (!image.isNull()) {
            insert(m_standIns, key, image);
            Q_EMIT ready(key);
        }
        // The sharp thumbnail is still to make, in the grid's order, while the cell is wanted.
        if (!stopped && (m_wanted.isEmpty() || m_wanted.contains(key))) {
            job.step = Step::Sharp;
            enqueue(std::move(job));
            if (!m_wanted.isEmpty())
                setWanted(m_wanted);
        }
    } else if (image.isNull()) {
        if (!stopped) {
            m_failed.insert(key);
            m_undecodable.insert(job.fileKey);
        }
        Q_EMIT ready(key);
    } else {
        insert(m_cache, key, image);
        m_standIns.remove(key);
        Q_EMIT ready(key);
    }
    startJobs();
}

} // namespace vorlane
