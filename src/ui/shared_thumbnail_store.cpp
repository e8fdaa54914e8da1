#include "ui/shared_thumbnail_store.h"

#include "media/png_codec.h"

#include <glib.h>
#include <zlib.h>

#include <QCryptographicHash>
#include <QFile>
#include <QHash>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <memory>

namespace vorlane {
namespace {

constexpr std::array<SharedThumbnailStore::Flavour, 4> kFlavours{
    {{"normal", 128}, {"large", 256}, {"x-large", 512}, {"xx-large", 1024}}};

std::optional<int64_t> mtimeOf(const std::filesystem::path &file, int64_t *size = nullptr)
{
    struct stat st
    {
    };
    if (::stat(file.c_str(), &st) != 0)
        return std::nullopt;
    if (size)
        *size = st.st_size;
    return int64_t(st.st_mtim.tv_sec);
}

void appendBigEndian(QByteArray &out, uint32_t v)
{
    out.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}

// One uncompressed tEXt chunk: the form every reader of the standard understands.
QByteArray textChunk(const QByteArray &key, const QByteArray &value)
{
    QByteArray body = "tEXt" + key + '\0' + value;
    QByteArray chunk;
    appendBigEndian(chunk, uint32_t(body.size() - 4));
    chunk += body;
    appendBigEndian(chunk, uint32_t(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size()))));
    return chunk;
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

// The text keys of a PNG, read from its chunks before the image data. Qt's own reader folds keys that
// contain "::" (all of this standard's keys), so the chunks are read here: tEXt, and iTXt when uncompressed.
QHash<QByteArray, QByteArray> pngTextKeys(const QByteArray &head)
{
    QHash<QByteArray, QByteArray> keys;
    if (!head.startsWith("\x89PNG\r\n\x1a\n"))
        return keys;
    qsizetype pos = 8;
    while (pos + 12 <= head.size()) {
        const auto *p = reinterpret_cast<const uchar *>(head.constData() + pos);
        const qsizetype length = qsizetype(uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]);
        const QByteArray type = head.mid(pos + 4, 4);
        if (type == "IDAT" || length < 0 || pos + 12 + length > head.size())
            break;
        const QByteArray data = head.mid(pos + 8, length);
        const qsizetype nul = data.indexOf('\0');
        if (nul > 0 && type == "tEXt") {
            keys.insert(data.left(nul), data.mid(nul + 1));
        } else if (nul > 0 && type == "iTXt" && nul + 2 < data.size() && data[nul + 1] == 0) {
            // keyword, compression flag 0, method, language tag \0, translated keyword \0, text
            const qsizetype lang = data.indexOf('\0', nul + 3);
            const qsizetype translated = lang < 0 ? -1 : data.indexOf('\0', lang + 1);
            if (translated > 0)
                keys.insert(data.left(nul), data.mid(translated + 1));
        }
        pos += 12 + length;
    }
    return keys;
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

QImage SharedThumbnailStore::lookup(const std::filesystem::path &file, int pixels) const
{
    const auto mtime = mtimeOf(file);
    if (!mtime)
        return {};
    const QByteArray uri = uriFor(file);
    for (const Flavour &flavour : kFlavours) {
        if (flavour.pixels < pixels)
            continue;
        const std::filesystem::path thumb = thumbnailPath(file, flavour);
        // One read serves both the keys and the picture.
        QFile stored(QString::fromUtf8(thumb.native()));
        if (!stored.open(QIODevice::ReadOnly))
            continue;
        const QByteArray png = stored.readAll();
        const QHash<QByteArray, QByteArray> keys = pngTextKeys(png);
        if (keys.value("Thumb::URI") != uri || keys.value("Thumb::MTime").toLongLong() != *mtime)
            continue;
        // Writers keep to the flavour's edge; twice that is lenient and still bounds the memory a file can ask.
        const QImage image = PngCodec::decode(png, 2 * flavour.pixels);
        if (!image.isNull())
            return image;
    }
    return {};
}

bool SharedThumbnailStore::store(const std::filesystem::path &file, int pixels, const QImage &source) const
{
    const auto flavour = flavourFor(pixels);
    int64_t size = 0;
    const auto mtime = mtimeOf(file, &size);
    if (!flavour || !mtime || source.isNull())
        return false;
    QImage image = source;
    if (std::max(image.width(), image.height()) > flavour->pixels)
        image = image.scaled(flavour->pixels, flavour->pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);

    QByteArray png = PngCodec::encode(image);
    // Insert the keys right after the IHDR chunk (8-byte signature + 25-byte IHDR).
    constexpr qsizetype kAfterHeader = 8 + 25;
    if (png.size() <= kAfterHeader)
        return false;
    QByteArray keys = textChunk("Thumb::URI", uriFor(file))
        + textChunk("Thumb::MTime", QByteArray::number(qint64(*mtime)))
        + textChunk("Thumb::Size", QByteArray::number(qint64(size))) + textChunk("Software", "Vorlane");
    png.insert(kAfterHeader, keys);

    const std::filesystem::path target = thumbnailPath(file, *flavour);
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
