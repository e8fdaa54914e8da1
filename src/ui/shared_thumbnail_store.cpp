#include "ui/shared_thumbnail_store.h"

#include "media/png_codec.h"

#include <glib.h>

#include <QCryptographicHash>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <memory>

namespace vorlane {
namespace {

constexpr std::array<SharedThumbnailStore::Flavour, 4> kFlavours{
    {{"normal", 128}, {"large", 256}, {"x-large", 512}, {"xx-large", 1024}}};

constexpr const char *kNanosecondsKey = "Vorlane::MTime-Nanoseconds";

// The largest thumbnail file read: an xx-large RGBA thumbnail stored without compression is 4 MiB.
constexpr qsizetype kMaxThumbnailBytes = 8 << 20;

struct FileStamp
{
    int64_t mtime = 0;   // whole seconds, as the standard keeps it
    int64_t mtimeNs = 0; // nanoseconds within the second, which only our own thumbnails record
    int64_t size = 0;
};

std::optional<FileStamp> stampOf(const std::filesystem::path &file)
{
    struct stat st
    {
    };
    if (::stat(file.c_str(), &st) != 0)
        return std::nullopt;
    return FileStamp{int64_t(st.st_mtim.tv_sec), int64_t(st.st_mtim.tv_nsec), int64_t(st.st_size)};
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0)
            return false;
        done += n;
    }
    return true;
}

// A stored thumbnail's bytes. The cache is shared with every other program of the user, so what lies at a
// thumbnail's name is read as evidence: only a regular file (never through a link, never blocking on a
// FIFO or a device), and only when it is no larger than a thumbnail can be.
std::optional<QByteArray> readThumbnailFile(const std::filesystem::path &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> bytes;
    struct stat st
    {
    };
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size <= kMaxThumbnailBytes) {
        QByteArray data(qsizetype(st.st_size), Qt::Uninitialized);
        qsizetype got = 0;
        while (got < data.size()) {
            const ssize_t n = ::pread(fd, data.data() + got, size_t(data.size() - got), off_t(got));
            if (n <= 0)
                break;
            got += n;
        }
        if (got == data.size())
            bytes = std::move(data);
    }
    ::close(fd);
    return bytes;
}

} // namespace

SharedThumbnailStore::SharedThumbnailStore(std::filesystem::path root)
    : m_root(std::move(root))
{
}

std::filesystem::path SharedThumbnailStore::defaultRoot()
{
    return std::filesystem::path(g_get_user_cache_dir()) / "thumbnails";
}

QByteArray SharedThumbnailStore::uriFor(const std::filesystem::path &file)
{
    std::unique_ptr<gchar, decltype(&g_free)> uri(g_filename_to_uri(file.c_str(), nullptr, nullptr), &g_free);
    return uri ? QByteArray(uri.get()) : QByteArray();
}

std::optional<SharedThumbnailStore::Flavour> SharedThumbnailStore::flavourFor(int pixels)
{
    for (const Flavour &f : kFlavours) {
        if (f.pixels >= pixels)
            return f;
    }
    return std::nullopt;
}

std::filesystem::path SharedThumbnailStore::thumbnailPath(const std::filesystem::path &file,
                                                          const Flavour &flavour) const
{
    const QByteArray md5 = QCryptographicHash::hash(uriFor(file), QCryptographicHash::Md5).toHex();
    return m_root / flavour.folder / (md5.toStdString() + ".png");
}

namespace {

// Whether a thumbnail's keys describe the file as it is now. The standard requires Thumb::URI and
// Thumb::MTime (whole seconds) and makes Thumb::Size optional: GNOME's thumbnailer writes only the two, and
// its thumbnails are as valid as ours. A size that is given must match too (a file rewritten with its time
// kept, as cp -p and rsync -t do, has another size). Our own thumbnails also carry the time's nanoseconds,
// which tell apart two versions of a file written within one second.
bool describesFile(const PngCodec::TextKeys &keys, const QByteArray &uri, const FileStamp &stamp)
{
    bool mtimeOk = false;
    const qint64 mtime = keys.value("Thumb::MTime").toLongLong(&mtimeOk);
    if (keys.value("Thumb::URI") != uri || !mtimeOk || mtime != stamp.mtime)
        return false;
    if (const auto size = keys.constFind("Thumb::Size"); size != keys.constEnd()) {
        bool sizeOk = false;
        if (size->toLongLong(&sizeOk) != stamp.size || !sizeOk)
            return false;
    }
    const auto nanoseconds = keys.constFind(kNanosecondsKey);
    return nanoseconds == keys.constEnd() || nanoseconds->toLongLong() == stamp.mtimeNs;
}

// The picture of a valid thumbnail at path, of its flavour's size at most (a writer scales the picture's
// long edge down to the flavour's, never beyond), else a null image.
QImage validThumbnail(const std::filesystem::path &path, int flavourPixels, const QByteArray &uri,
                      const FileStamp &stamp)
{
    const auto png = readThumbnailFile(path);
    if (!png)
        return {};
    return PngCodec::decode(*png, flavourPixels,
                            [&](const PngCodec::TextKeys &keys) { return describesFile(keys, uri, stamp); });
}

} // namespace

QImage SharedThumbnailStore::lookup(const std::filesystem::path &file, int pixels) const
{
    const auto stamp = stampOf(file);
    if (!stamp)
        return {};
    const QByteArray uri = uriFor(file);
    for (const Flavour &flavour : kFlavours) {
        if (flavour.pixels < pixels)
            continue;
        if (QImage image = validThumbnail(thumbnailPath(file, flavour), flavour.pixels, uri, *stamp); !image.isNull())
            return image;
    }
    return {};
}

bool SharedThumbnailStore::store(const std::filesystem::path &file, int pixels, const QImage &source) const
{
    const auto flavour = flavourFor(pixels);
    const auto stamp = stampOf(file);
    if (!flavour || !stamp || source.isNull())
        return false;
    QImage image = source;
    if (std::max(image.width(), image.height()) > flavour->pixels)
        image = image.scaled(flavour->pixels, flavour->pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);

    const QByteArray png = PngCodec::encode(image, {{"Thumb::URI", uriFor(file)},
                                                    {"Thumb::MTime", QByteArray::number(qint64(stamp->mtime))},
                                                    {"Thumb::Size", QByteArray::number(qint64(stamp->size))},
                                                    {kNanosecondsKey, QByteArray::number(qint64(stamp->mtimeNs))},
                                                    {"Software", "Vorlane"}});
    if (png.isEmpty())
        return false;

    const std::filesystem::path target = thumbnailPath(file, *flavour);
    // A valid thumbnail already there, another program's above all, is left as it is.
    if (!validThumbnail(target, flavour->pixels, uriFor(file), *stamp).isNull())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    std::filesystem::permissions(m_root, std::filesystem::perms::owner_all, ec);
    std::filesystem::permissions(target.parent_path(), std::filesystem::perms::owner_all, ec);
    std::string temp = (target.parent_path() / ("." + target.filename().native() + ".XXXXXX")).native();
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    fchmod(fd, 0600);
    bool written = writeAll(fd, png);
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace vorlane
