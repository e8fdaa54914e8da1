#include "catalogue/capture_date.h"

#include "catalogue/exiv2_runtime.h"

#include <exiv2/exiv2.hpp>


#include <fcntl.h>
#include <sys/stat.h>


using namespace Qt::StringLiterals;

namespace vorlane {
namespace {

QDateTime fromTimestamp(int64_t seconds, uint32_t nanoseconds)
{
    return QDateTime::fromMSecsSinceEpoch(seconds * 1000 + nanoseconds / 1000000, Qt::UTC);
}

std::optional<std::string> exifString(const Exiv2::ExifData &exif, const char *key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->typeId() != Exiv2::asciiString)
        return std::nullopt;
    return it->toString();
}

std::optional<QDateTime> exifDate(const std::filesystem::path &path)
{
    Exiv2Runtime::ensureStarted();
    try {
        auto image = Exiv2::ImageFactory::open(path.native(), false);
        if (!image.get())
            return std::nullopt;
        image->readMetadata();
        const Exiv2::ExifData &exif = image->exifData();
        if (exif.empty())
            return std::nullopt;
        auto text = exifString(exif, "Exif.Photo.DateTimeOriginal");
        if (!text)
            text = exifString(exif, "Exif.Photo.DateTimeDigitized");
        if (!text)
            return std::nullopt;
        return parseExifDate(QString::fromLatin1(text->c_str()));
    } catch (...) {
        // Truncated or garbage metadata: fall through to the file system.
        return std::nullopt;
    }
}

} // namespace

QDateTime distantPast() { return QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC); }

std::optional<QDateTime> parseExifDate(const QString &text)
{
    static const QString pattern = u"yyyy:MM:dd HH:mm:ss"_s;
    QString trimmed = text;
    while (trimmed.endsWith(QChar(0)))
        trimmed.chop(1);
    if (trimmed.size() != pattern.size())
        return std::nullopt;
    const QDateTime date = QDateTime::fromString(trimmed, pattern);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QDateTime fileSystemDate(const std::filesystem::path &path)
{
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) != 0)
        return distantPast();
    if ((sx.stx_mask & STATX_BTIME) && (sx.stx_btime.tv_sec != 0 || sx.stx_btime.tv_nsec != 0))
        return fromTimestamp(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
    if (sx.stx_mask & STATX_MTIME)
        return fromTimestamp(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    return distantPast();
}

QDateTime captureDate(const std::filesystem::path &path, bool readExif)
{
    if (readExif) {
        if (auto date = exifDate(path))
            return *date;
    }
    return fileSystemDate(path);
}

} // namespace vorlane
