#include "ui/preview_loader.h"

#include "catalogue/media_classifier.h"
#include "catalogue/media_item.h"
#include "core/cancellation.h"
#include "core/file_key.h"
#include "media/decode_error.h"
#include "media/picture.h"
#include "core/main_thread.h"


namespace vorlane {

QSizeF FitBox::shownSize(QSize image, bool placeholder) const
{
    QSizeF size = image;
    size.scale(area, Qt::KeepAspectRatio);
    const QSizeF natural = QSizeF(image) / dpr;
    if (!placeholder && natural.width() < size.width())
        size = natural;
    return size;
}

PreviewLoader::PreviewLoader(QObject *parent, Decode decode, qint64 budgetBytes)
    : QObject(parent)
    , m_decode(decode ? std::move(decode) : Decode(&PreviewLoader::decodeFile))
    , m_cache(std::max<qint64>(1, budgetBytes))
    , m_jobs(QStringLiteral("preview"), 2, 0)
{
}

PreviewLoader::~PreviewLoader() { m_pending.clear(); }

// The file as it is now, looked up at every request: a photo replaced on disk since its decode (a new time,
// size or inode) is decoded anew, never shown from the old one.
QString PreviewLoader::key(const Path &file, int maxLongEdge)
{
    return FileKey::now(file).text() + u'|' + QString::number(maxLongEdge);
}

PreviewLoader::Decoded PreviewLoader::decodeFile(const Path &file, int maxLongEdge, std::stop_token token)
{
    try {
        if (MediaClassifier::classify(file) == MediaKind::Video) {
            // A clip shows a frame a second in (the compare view's poster of it).
            QImage frame = vorlane::Picture::videoFrame(file, maxLongEdge > 0 ? maxLongEdge : 3840, 1.0, token);
            return {frame, frame.isNull() && !token.stop_requested() ? tr("No picture in this clip") : QString()};
        }
        return {vorlane::Picture::still(file, std::max(0, maxLongEdge), std::move(token)), {}};
    } catch (const DecodeError &error) {
        return {{}, error.reason().text(), error.kind() == DecodeError::Kind::Undecodable};
    } catch (const CancelledError &) {
        return {};
    } catch (const std::bad_alloc &) {
        return {{}, tr("Not enough memory to decode it")};
    }
}

const PreviewLoader::Decoded *PreviewLoader::find(const QString &key) const
{
    if (const auto it = m_oversized.constFind(key); it != m_oversized.constEnd())
        return &*it;
    return m_cache.object(key);
}

QImage PreviewLoader::picture(const Path &file, int maxLongEdge) const
{
    const Decoded *picture = find(key(file, maxLongEdge));
    return picture ? picture->image : QImage();
}

QImage PreviewLoader::fitted(const Path &file, int maxLongEdge) const
{
    const Decoded *picture = find(key(file, maxLongEdge));
    return picture ? picture->fitted : QImage();
}

void PreviewLoader::want(const Path &file, int maxLongEdge, const QList<Path> &ahead, const FitBox &fit, int viewer)
{
    Wanted wanted;
    wanted.current = key(file, maxLongEdge);
    const auto add = [&](const Path &f) {
        const QString k = key(f, maxLongEdge);
        wanted.keep.insert(k);
        if (find(k) || m_errors.contains(k) || m_jobs.isRunning(k))
            return;
        if (std::none_of(wanted.jobs.begin(), wanted.jobs.end(), [&](const Job &j) { return j.key == k; }))
            wanted.jobs.push_back(Job{k, f, maxLongEdge, fit});
    };
    add(file);
    for (const Path &f : ahead) {
        if (m_prefetching)
            add(f);
        else
            wanted.keep.insert(key(f, maxLongEdge));
    }
    m_wanted.insert(viewer, std::move(wanted));
    rebuildPending();
}

void PreviewLoader::release(int viewer)
{
    if (m_wanted.remove(viewer))
        rebuildPending();
}

void PreviewLoader::rebuildPending()
{
    // Every viewer's picture on screen first, then what each decodes ahead; decodes no viewer wants any more
    // stop, and an oversized picture no viewer shows is let go.
    QSet<QString> keep;
    QSet<QString> current;
    std::deque<Job> pending;
    for (const Wanted &w : std::as_const(m_wanted)) {
        keep += w.keep;
        current.insert(w.current);
        if (!w.jobs.empty() && w.jobs.front().key == w.current)
            pending.push_back(w.jobs.front());
    }
    for (const Wanted &w : std::as_const(m_wanted)) {
        for (const Job &job : w.jobs) {
            if (std::none_of(pending.begin(), pending.end(), [&](const Job &j) { return j.key == job.key; }))
                pending.push_back(job);
        }
    }
    for (auto it = m_oversized.begin(); it != m_oversized.end();) {
        if (current.contains(it.key()))
            ++it;
        else
            it = m_oversized.erase(it);
    }
    m_current = std::move(current);
    m_jobs.stopAllBut(keep);
    m_pending = std::move(pending);
    startJobs();
}

void PreviewLoader::startJobs()
{
    while (!m_pending.empty() && m_jobs.hasRoom()) {
        const Job job = std::move(m_pending.front());
        m_pending.pop_front();
        if (find(job.key) || m_errors.contains(job.key) || m_jobs.isRunning(job.key))
            continue; // another viewer's want, met meanwhile
        const QPointer<PreviewLoader> self(this);
        m_jobs.start(
            job.key, this,
            [self, job, decode = m_decode](std::stop_token token) {
                // A RAW shows its embedded preview while its sensor data is decoded, unless the preview is the
                // whole answer already.
                if (MediaClassifier::isRaw(job.file)) {
                    try {
                        QImage preview = vorlane::Picture::rawPreview(job.file, job.maxLongEdge, token);
                        const int edge = std::max(preview.width(), preview.height());
                        if (!preview.isNull() && (job.maxLongEdge == 0 || edge < job.maxLongEdge * 9 / 10))
                            postToMain(self, [key = job.key, preview](PreviewLoader &loader) {
                                Q_EMIT loader.interim(key, preview);
                            });
                    } catch (const std::exception &) {
                        // Cancelled or unreadable: the full decode says which.
                    }
                }
                Decoded picture = decode(job.file, job.maxLongEdge, token);
                if (!picture.image.isNull() && !job.fit.isEmpty() && !token.stop_requested()) {
                    // Scaled here, in the format the screen takes, so the first paint only copies it.
                    const QSize drawn = job.fit.pixels(picture.image.size());
                    if (!drawn.isEmpty())
                        picture.fitted = (drawn == picture.image.size()
                                              ? picture.image
                                              : picture.image.scaled(drawn, Qt::IgnoreAspectRatio,
                                                                     Qt::SmoothTransformation))
                                             .convertToFormat(picture.image.hasAlphaChannel()
                                                                  ? QImage::Format_ARGB32_Premultiplied
                                                                  : QImage::Format_RGB32);
                }
                return picture;
            },
            [key = job.key, file = job.file](PreviewLoader &loader, Decoded picture, bool) {
                if (picture.undecodable) {
                    FileKey listed = FileKey::now(file);
                    listed.inode = 0;
                    Q_EMIT loader.undecodable(listed.text());
                }
                loader.finished(key, std::move(picture));
            });
    }
}

void PreviewLoader::finished(const QString &key, Decoded picture)
{
    if (!picture.image.isNull()) {
        const qint64 bytes = picture.image.sizeInBytes()
            + (picture.fitted.cacheKey() == picture.image.cacheKey() ? 0 : picture.fitted.sizeInBytes());
        if (bytes <= m_cache.maxCost()) {
            m_cache.insert(key, new Decoded(std::move(picture)), std::max<qint64>(1, bytes));
        } else if (m_current.contains(key)) {
            m_oversized.insert(key, std::move(picture)); // the cache would drop it at once
        }
        // A neighbour over the whole budget is not kept: it is decoded when it is shown.
    } else if (!picture.error.isEmpty()) {
        m_errors.insert(key, picture.error);
    }
    startJobs();
    Q_EMIT ready(key);
}

} // namespace vorlane
