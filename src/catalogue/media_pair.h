#pragma once

#include "catalogue/media_item.h"

#include <QList>
#include <QUuid>

#include <optional>

namespace vorlane {

// One grid cell: a RAW file with the image of the same stem, or a single file.
// Built only through the two constructors, so the shape invariant always holds.
class MediaPair final
{
public:
    MediaPair(MediaItem imageItem, MediaItem rawItem);
    explicit MediaPair(MediaItem solo);

    QUuid id() const { return m_id; }
    const std::optional<MediaItem> &imageItem() const { return m_imageItem; }
    const std::optional<MediaItem> &rawItem() const { return m_rawItem; }
    const std::optional<MediaItem> &soloItem() const { return m_soloItem; }

    bool isPair() const { return m_imageItem && m_rawItem; }
    const MediaItem &primary() const;
    // The file that pictures the cell: its image (a pair's JPEG), else its primary file.
    const MediaItem &picturedItem() const { return m_imageItem ? *m_imageItem : primary(); }
    bool isVideo() const { return primary().kind == MediaItem::Kind::Video; }
    QList<MediaItem> allOriginals() const; // image first, then RAW
    QList<std::filesystem::path> originalPaths() const; // their paths, in the same order
    const std::string &stemKey() const { return primary().stemKey; }
    QString displayName() const;
    QDateTime dateTaken() const { return primary().dateTaken; }
    bool dateRecorded() const { return primary().dateRecorded; }
    std::optional<MediaItem> rawFile() const;

    // Where this cell's copy goes. A new pair starts with BsidePathResolver::destination() of its primary
    // file; the listing that holds it then gives it the path that is its own among the listing's cells
    // (BsidePathResolver::assignCopyPaths), or none when no path can be. Set only while a listing is built.
    const std::optional<std::filesystem::path> &copyPath() const { return m_copyPath; }
    void setCopyPath(std::optional<std::filesystem::path> path) { m_copyPath = std::move(path); }

    bool operator==(const MediaPair &) const = default;

private:
    QUuid m_id;
    std::optional<MediaItem> m_imageItem;
    std::optional<MediaItem> m_rawItem;
    std::optional<MediaItem> m_soloItem;
    std::optional<std::filesystem::path> m_copyPath;
};

size_t qHash(const MediaPair &pair, size_t seed = 0);

} // namespace vorlane
