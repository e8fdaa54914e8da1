#include "catalogue/capture_date.h"

#include "catalogue/clip_date.h"
#include "catalogue/exiv2_runtime.h"
#include "catalogue/sidecar.h"

#include <QTimeZone>

#include <exiv2/exiv2.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

using namespace Qt::StringLiterals;

namespace vorlane {
namespace {

QDateTime fromTimestamp(int64_t seconds, uint32_t nanoseconds)
{
    return QDateTime::fromMSecsSinceEpoch(seconds * 1000 + nanoseconds / 1000000, QTimeZone::utc());
}

std::optional<std::string> exifString(const Exiv2::ExifData &exif, const char *key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->typeId() != Exiv2::asciiString)
        return std::nullopt;
    return it->toString();
}

enum class Found { Date, NoDate, NotRead };

// The milliseconds of a sub-second tag ("25" is 250 ms, "005" 5 ms), 0 when there is none.
int subSecondMs(const Exiv2::ExifData &exif, const char *key)
{
    const auto text = exifString(exif, key);
    if (!text)
        return 0;
    std::string digits;
    for (const char c : *text) {
        if (c < '0' || c > '9')
            break;
        if (digits.size() < 3)
            digits.push_back(c);
    }
    if (digits.empty())
        return 0;
    digits.resize(3, '0');
    return std::stoi(digits);
}

// Reads the date tags from an already opened image; NotRead when the metadata could not be parsed. The date
// keeps the camera's sub-second time, so that the frames of a burst are told apart and kept in order.
// The rest of what a still's metadata says, from the same read.
void readFacts(const Exiv2::Image &image, StillFacts &facts)
{
    const Exiv2::ExifData &exif = image.exifData();
    const auto text = [&](const char *key) {
        return QString::fromStdString(exifString(exif, key).value_or(std::string())).trimmed();
    };
    facts.camera = cameraName(text("Exif.Image.Make"), text("Exif.Image.Model"));
    facts.lens = text("Exif.Photo.LensModel");
    facts.decision = Sidecars::decisionIn(image.xmpData());
    if (!facts.decision) {
        if (const auto it = exif.findKey(Exiv2::ExifKey("Exif.Image.Rating")); it != exif.end() && it->count() > 0) {
            const int64_t stars = Exiv2Compat::toInteger(*it);
            if (stars >= 1 && stars <= 5)
                facts.decision = Decision{int(stars), ColourLabel::None};
        }
    }
}

Found readDate(Exiv2Compat::ImagePtr image, std::optional<QDateTime> &date, StillFacts *facts)
{
    if (!image.get())
        return Found::NotRead;
    image->readMetadata();
    if (facts)
        readFacts(*image, *facts);
    const Exiv2::ExifData &exif = image->exifData();
    const char *subSecond = "Exif.Photo.SubSecTimeOriginal";
    auto text = exifString(exif, "Exif.Photo.DateTimeOriginal");
    if (!text) {
        text = exifString(exif, "Exif.Photo.DateTimeDigitized");
        subSecond = "Exif.Photo.SubSecTimeDigitized";
    }
    if (!text)
        return Found::NoDate;
    date = parseExifDate(QString::fromLatin1(text->c_str()));
    if (date)
        date = date->addMSecs(subSecondMs(exif, subSecond));
    return Found::Date;
}

// The first bytes of a file, read with one call: where almost every camera and phone keeps its EXIF block.
constexpr size_t kHeadBytes = 64 * 1024;

// Returns a view of this thread's buffer; whole is set when the file ended within it.
std::string_view readHead(const std::filesystem::path &path, bool *whole)
{
    thread_local std::string buffer(kHeadBytes, '\0');
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    size_t got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::pread(fd, buffer.data() + got, buffer.size() - got, off_t(got));
        if (n <= 0)
            break;
        got += size_t(n);
        if (got < buffer.size())
            break; // a regular file reads short only at its end
    }
    ::close(fd);
    *whole = got < buffer.size();
    return std::string_view(buffer.data(), got);
}

std::optional<QDateTime> exifDate(const std::filesystem::path &path, StillFacts *facts)
{
    // Parse the file's head from memory first: one read instead of the library's several opens and seeks.
    // Only when that finds no date tag (metadata further in, as in some RAW and HEIF files) is the whole
    // file handed to the library.
    bool whole = false;
    const std::string_view head = readHead(path, &whole);
    if (head.empty())
        return std::nullopt;
    std::optional<QDateTime> date;
    try {
        const auto found = readDate(Exiv2Runtime::openStill(head), date, facts);
        if (found == Found::NotRead)
            return std::nullopt; // not a still picture by its content: no EXIF, whatever the name says
        if (found == Found::Date || whole)
            return date;
    } catch (...) {
        if (whole)
            return std::nullopt; // truncated or garbage metadata: fall through to the file system
    }
    try {
        readDate(Exiv2Runtime::openStill(path), date, facts);
    } catch (...) {
        return std::nullopt;
    }
    return date;
}

} // namespace

QDateTime distantPast() { return QDateTime(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc()); }

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
    struct statx sx
    {
    };
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) != 0)
        return distantPast();
    if ((sx.stx_mask & STATX_BTIME) && (sx.stx_btime.tv_sec != 0 || sx.stx_btime.tv_nsec != 0))
        return fromTimestamp(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
    if (sx.stx_mask & STATX_MTIME)
        return fromTimestamp(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    return distantPast();
}

void pinLocalTimeZone()
{
    if (!std::getenv("TZ"))
        setenv("TZ", ":/etc/localtime", 1);
    tzset();
}

QString cameraName(const QString &make, const QString &model)
{
    const QString makeWord = make.section(u' ', 0, 0, QString::SectionSkipEmpty);
    const bool repeated = !make.isEmpty()
        && (model.startsWith(make, Qt::CaseInsensitive) || model.startsWith(makeWord, Qt::CaseInsensitive));
    return repeated ? model : (make + u' ' + model).trimmed();
}

std::optional<QDateTime> recordedDate(const std::filesystem::path &path, DatedAs kind, StillFacts *facts)
{
    if (kind == DatedAs::Image)
        return exifDate(path, facts);
    if (kind == DatedAs::Video)
        return clipRecordingTime(path);
    return std::nullopt;
}

QDateTime captureDate(const std::filesystem::path &path, DatedAs kind)
{
    const std::optional<QDateTime> date = recordedDate(path, kind);
    return date ? *date : fileSystemDate(path);
}

} // namespace vorlane
