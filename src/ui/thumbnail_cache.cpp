#include "ui/thumbnail_cache.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

namespace vorlane {

ThumbnailCache::ThumbnailCache(QObject *parent, qint64 budgetBytes, std::shared_ptr<const ThumbnailService> service)
    : QObject(parent)
    , m_service(service ? std::move(service) : std::make_shared<ThumbnailService>())
{
    m_cache.setMaxCost(budgetBytes);
    m_pool.setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
}

ThumbnailCache::~ThumbnailCache()
{
    m_pending.clear();
    for (auto &source : m_running)
        source->request_stop();
    m_pool.waitForDone();
}

ThumbnailCache &ThumbnailCache::shared()
{
    static ThumbnailCache *instance = new ThumbnailCache(QCoreApplication::instance());
    return *instance;
}

QString ThumbnailCache::cacheKey(const std::filesystem::path &file, double size)
{
    return QString::fromUtf8(file.native()) + u'|' + QString::number(qint64(size));
}

int ThumbnailCache::pixelDimension(double size, double scale)
{
    return std::max(int(size * (scale > 0 ? scale : 2.0)), 64);
}

QPixmap ThumbnailCache::cached(const MediaItem &item, const std::optional<std::filesystem::path> &preferPath, double size)
{
    const QPixmap *p = m_cache.object(cacheKey(preferPath.value_or(item.path), size));
    return p ? *p : QPixmap();
}

bool ThumbnailCache::failed(const MediaItem &item, const std::optional<std::filesystem::path> &preferPath, double size) const
{
    return m_failed.contains(cacheKey(preferPath.value_or(item.path), size));
}

void ThumbnailCache::request(const MediaItem &item, const std::optional<std::filesystem::path> &preferPath, double size,
                             double scale)
{
    const std::filesystem::path file = preferPath.value_or(item.path);
    const QString key = cacheKey(file, size);
    if (m_cache.contains(key) || m_failed.contains(key) || m_running.contains(key))
        return;
    for (const Pending &p : m_pending) {
        if (p.key == key)
            return;
    }
    m_pending.push_back({key, file, pixelDimension(size, scale)});
    startJobs();
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
    std::stable_sort(kept.begin(), kept.end(),
                     [&](const Pending &a, const Pending &b) { return rank.value(a.key) < rank.value(b.key); });
    m_pending = std::move(kept);
}

void ThumbnailCache::clearFailures() { m_failed.clear(); }

void ThumbnailCache::startJobs()
{
    while (!m_pending.empty() && m_running.size() < m_pool.maxThreadCount()) {
        Pending job = std::move(m_pending.front());
        m_pending.pop_front();
        auto source = std::make_shared<std::stop_source>();
        m_running.insert(job.key, source);
        ++m_jobsStarted;
        const QPointer<ThumbnailCache> self(this);
        m_pool.start([self, job, service = m_service, token = source->get_token()] {
            QImage image = service->make(job.file, job.pixels, token);
            // Keep the short edge at the requested size: filled cells draw it almost 1:1, fitted ones shrink it.
            if (!image.isNull()) {
                const int shortEdge = std::min(image.width(), image.height());
                if (shortEdge > job.pixels)
                    image = image.scaled(image.size().scaled(job.pixels, job.pixels, Qt::KeepAspectRatioByExpanding),
                                         Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            }
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, key = job.key, image] {
                    if (self)
                        self->finished(key, image);
                },
                Qt::QueuedConnection);
        });
    }
}

void ThumbnailCache::finished(const QString &key, const QImage &image)
{
    m_running.remove(key);
    if (image.isNull()) {
        m_failed.insert(key);
    } else {
        auto *pixmap = new QPixmap(QPixmap::fromImage(image));
        const qint64 cost = qint64(pixmap->width()) * pixmap->height() * std::max(1, pixmap->depth() / 8);
        m_cache.insert(key, pixmap, std::min<qint64>(cost, m_cache.maxCost()));
    }
    Q_EMIT ready(key);
    startJobs();
}

} // namespace vorlane
