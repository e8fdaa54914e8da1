#include "catalogue/media_item.h"

#include "catalogue/capture_date.h"

#include <QHash>

namespace vorlane {

std::string stemOf(const std::filesystem::path &path)
{
    const std::string name = path.filename().native();
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

QString displayPath(const std::filesystem::path &path)
{
    const std::string &s = path.native();
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

MediaItem::MediaItem(std::filesystem::path path_, Kind kind_, bool isRaw_)
    : id(QUuid::createUuid())
    , path(std::move(path_))
    , kind(kind_)
    , isRaw(isRaw_)
    , stemKey(stemOf(path))
{
    const std::optional<QDateTime> recorded
        = recordedDate(path, kind == Kind::Image ? DatedAs::Image : DatedAs::Video, kind == Kind::Image ? &facts : nullptr);
    dateRecorded = recorded.has_value();
    dateTaken = recorded ? *recorded : fileSystemDate(path);
}

QString MediaItem::displayName() const { return displayPath(path.filename()); }

size_t qHash(const MediaItem &item, size_t seed) { return qHash(item.id, seed); }

} // namespace vorlane
