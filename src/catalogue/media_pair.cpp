#include "catalogue/media_pair.h"

#include "catalogue/bside_path_resolver.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace vorlane {
namespace {

QString extensionAsSpelled(const MediaItem &item)
{
    const QString name = item.displayName();
    const auto dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

} // namespace

MediaPair::MediaPair(MediaItem imageItem, MediaItem rawItem)
    : m_id(QUuid::createUuid())
    , m_imageItem(std::move(imageItem))
    , m_rawItem(std::move(rawItem))
    , m_copyPath(BsidePathResolver::destination(primary().path))
{
}

MediaPair::MediaPair(MediaItem solo)
    : m_id(QUuid::createUuid())
    , m_soloItem(std::move(solo))
    , m_copyPath(BsidePathResolver::destination(primary().path))
{
}

const MediaItem &MediaPair::primary() const
{
    if (m_soloItem)
        return *m_soloItem;
    if (m_imageItem)
        return *m_imageItem;
    return *m_rawItem;
}

QList<MediaItem> MediaPair::allOriginals() const
{
    if (m_soloItem)
        return {*m_soloItem};
    return {*m_imageItem, *m_rawItem};
}

QList<std::filesystem::path> MediaPair::originalPaths() const
{
    if (m_soloItem)
        return {m_soloItem->path};
    return {m_imageItem->path, m_rawItem->path};
}

QString MediaPair::displayName() const
{
    if (!isPair())
        return primary().displayName();
    const std::string &stem = m_imageItem->stemKey;
    return QString::fromUtf8(stem.data(), qsizetype(stem.size())) + u'.' + extensionAsSpelled(*m_rawItem) + u'+'
        + extensionAsSpelled(*m_imageItem);
}

std::optional<MediaItem> MediaPair::rawFile() const
{
    if (m_rawItem)
        return m_rawItem;
    if (m_soloItem && m_soloItem->isRaw)
        return m_soloItem;
    return std::nullopt;
}

size_t qHash(const MediaPair &pair, size_t seed) { return qHash(pair.id(), seed); }

} // namespace vorlane
