#include "catalogue/copy_provenance.h"

#include <QCryptographicHash>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace vorlane::CopyProvenance {
namespace {

constexpr QByteArrayView kPrefix = "vorlane-source ";
constexpr size_t kMaxRecordBytes = 1024;

// A file opened for a few positioned reads: never blocking on a FIFO, regular files only.
class File
{
public:
    explicit File(const std::filesystem::path &path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY))
    {
        struct stat st
        {
        };
        if (m_fd >= 0 && (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(m_fd);
            m_fd = -1;
        }
        m_size = m_fd >= 0 ? int64_t(st.st_size) : 0;
    }
    ~File()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int64_t size() const { return m_size; }

    // Up to n bytes from offset; fewer only at the end of the file.
    size_t read(int64_t offset, void *into, size_t n) const
    {
        size_t got = 0;
        while (got < n) {
            const ssize_t r = ::pread(m_fd, static_cast<char *>(into) + got, n - got, off_t(offset + int64_t(got)));
            if (r <= 0)
                break;
            got += size_t(r);
        }
        return got;
    }

private:
    int m_fd = -1;
    int64_t m_size = 0;
};

uint32_t bigEndian32(const unsigned char *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

std::optional<Source> fromJpeg(const File &file)
{
    // A copy's comment comes first after its start marker; other writers' segments may come before it.
    std::array<unsigned char, 16 * 1024> head{};
    const size_t n = file.read(0, head.data(), head.size());
    if (n < 4 || head[0] != 0xFF || head[1] != 0xD8)
        return std::nullopt;
    size_t pos = 2;
    while (pos + 4 <= n) {
        if (head[pos] != 0xFF)
            return std::nullopt;
        const unsigned char marker = head[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) // start of scan, end of image: no more metadata
            return std::nullopt;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // segments without a length
            pos += 2;
            continue;
        }
        const size_t length = size_t(head[pos + 2]) << 8 | head[pos + 3];
        if (length < 2)
            return std::nullopt;
        if (marker == 0xFE && pos + 2 + length <= n) {
            const QByteArrayView text(reinterpret_cast<const char *>(head.data()) + pos + 4, qsizetype(length - 2));
            if (auto source = fromText(text))
                return source;
        }
        pos += 2 + length;
    }
    return std::nullopt;
}

constexpr uint32_t fourCc(const char (&c)[5])
{
    return uint32_t(uint8_t(c[0])) << 24 | uint32_t(uint8_t(c[1])) << 16 | uint32_t(uint8_t(c[2])) << 8
        | uint32_t(uint8_t(c[3]));
}

struct Box
{
    uint32_t type = 0;
    int64_t body = 0; // first byte after the header
    int64_t end = 0;
};

// The first box of this type among the boxes from..to, within a budget of boxes looked at in all.
std::optional<Box> findBox(const File &file, int64_t from, int64_t to, uint32_t type, int &budget)
{
    int64_t pos = from;
    while (pos + 8 <= to && budget-- > 0) {
        unsigned char header[16];
        if (file.read(pos, header, 8) != 8)
            return std::nullopt;
        const uint32_t size32 = bigEndian32(header);
        Box box{bigEndian32(header + 4), pos + 8, 0};
        if (size32 == 1) {
            if (file.read(pos + 8, header + 8, 8) != 8)
                return std::nullopt;
            const uint64_t size64 = uint64_t(bigEndian32(header + 8)) << 32 | bigEndian32(header + 12);
            if (size64 < 16 || size64 > uint64_t(to - pos))
                return std::nullopt;
            box.body = pos + 16;
            box.end = pos + int64_t(size64);
        } else if (size32 == 0) {
            box.end = to;
        } else {
            if (size32 < 8 || int64_t(size32) > to - pos)
                return std::nullopt;
            box.end = pos + int64_t(size32);
        }
        if (box.type == type)
            return box;
        pos = box.end;
    }
    return std::nullopt;
}

std::optional<Source> fromMp4(const File &file)
{
    unsigned char start[8];
    if (file.read(0, start, 8) != 8 || bigEndian32(start + 4) != fourCc("ftyp"))
        return std::nullopt;
    int budget = 4096;
    const auto moov = findBox(file, 0, file.size(), fourCc("moov"), budget);
    const auto udta = moov ? findBox(file, moov->body, moov->end, fourCc("udta"), budget) : std::nullopt;
    const auto meta = udta ? findBox(file, udta->body, udta->end, fourCc("meta"), budget) : std::nullopt;
    // meta is a full box: a version and flags come before its children.
    const auto ilst = meta ? findBox(file, meta->body + 4, meta->end, fourCc("ilst"), budget) : std::nullopt;
    const auto comment = ilst ? findBox(file, ilst->body, ilst->end, fourCc("\xa9"
                                                                             "cmt"),
                                        budget)
                              : std::nullopt;
    const auto data = comment ? findBox(file, comment->body, comment->end, fourCc("data"), budget) : std::nullopt;
    if (!data)
        return std::nullopt;
    const int64_t textStart = data->body + 8; // a type and a locale, then the text
    const int64_t length = data->end - textStart;
    if (length <= 0 || length > int64_t(kMaxRecordBytes))
        return std::nullopt;
    QByteArray text(qsizetype(length), Qt::Uninitialized);
    if (file.read(textStart, text.data(), size_t(length)) != size_t(length))
        return std::nullopt;
    return fromText(text);
}

} // namespace

std::optional<Source> of(const std::filesystem::path &original)
{
    const File file(original);
    if (!file.isOpen())
        return std::nullopt;
    QByteArray head(qsizetype(std::min(file.size(), headBytes)), Qt::Uninitialized);
    if (file.read(0, head.data(), size_t(head.size())) != size_t(head.size()))
        return std::nullopt;
    return Source{file.size(), QCryptographicHash::hash(head, QCryptographicHash::Sha256).toHex()};
}

QByteArray toText(const Source &source)
{
    return kPrefix.toByteArray() + "size=" + QByteArray::number(qint64(source.size)) + " head64k-sha256="
        + source.headDigest;
}

std::optional<Source> fromText(QByteArrayView text)
{
    if (!text.startsWith(kPrefix) || size_t(text.size()) > kMaxRecordBytes)
        return std::nullopt;
    Source source;
    bool haveSize = false;
    for (const QByteArray &field : text.sliced(kPrefix.size()).toByteArray().trimmed().split(' ')) {
        if (field.startsWith("size=")) {
            source.size = field.sliced(5).toLongLong(&haveSize);
        } else if (field.startsWith("head64k-sha256=")) {
            source.headDigest = field.sliced(15);
        }
    }
    const bool hex = source.headDigest.size() == 64
        && std::all_of(source.headDigest.begin(), source.headDigest.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
    if (!haveSize || source.size < 0 || !hex)
        return std::nullopt;
    return source;
}

std::string withJpegComment(std::string_view jpeg, const Source &source)
{
    if (jpeg.size() < 2 || uint8_t(jpeg[0]) != 0xFF || uint8_t(jpeg[1]) != 0xD8)
        return std::string(jpeg);
    const QByteArray text = toText(source);
    const size_t length = size_t(text.size()) + 2;
    std::string out;
    out.reserve(jpeg.size() + length + 2);
    out.append(jpeg.substr(0, 2));
    out.push_back(char(0xFF));
    out.push_back(char(0xFE));
    out.push_back(char(length >> 8));
    out.push_back(char(length & 0xFF));
    out.append(text.constData(), size_t(text.size()));
    out.append(jpeg.substr(2));
    return out;
}

std::optional<Source> recordedIn(const std::filesystem::path &copy)
{
    const File file(copy);
    if (!file.isOpen())
        return std::nullopt;
    if (auto source = fromJpeg(file))
        return source;
    return fromMp4(file);
}

Verdict judge(const std::filesystem::path &copy, const QList<std::filesystem::path> &originals)
{
    const std::optional<Source> recorded = recordedIn(copy);
    if (!recorded)
        return Verdict::Unrecorded;
    for (const std::filesystem::path &original : originals) {
        struct stat st
        {
        };
        if (::stat(original.c_str(), &st) != 0 || int64_t(st.st_size) != recorded->size)
            continue; // another size: another file, without reading it
        if (of(original) == recorded)
            return Verdict::Own;
    }
    return Verdict::Another;
}

} // namespace vorlane::CopyProvenance
