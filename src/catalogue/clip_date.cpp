#include "catalogue/clip_date.h"

#include <QTimeZone>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace vorlane {
namespace {

constexpr int kMaxBoxes = 256;
// Seconds from 1904-01-01 (the QuickTime epoch) to 1970-01-01.
constexpr int64_t kQuickTimeToUnix = 2082844800;

class File
{
public:
    explicit File(const std::filesystem::path &path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK))
    {
        struct stat st
        {
        };
        if (m_fd >= 0 && (fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))) {
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

    int64_t size() const { return m_size; }
    bool read(int64_t offset, void *into, size_t bytes) const
    {
        if (m_fd < 0 || offset < 0 || offset + int64_t(bytes) > m_size)
            return false;
        return ::pread(m_fd, into, bytes, offset) == ssize_t(bytes);
    }

private:
    int m_fd = -1;
    int64_t m_size = 0;
};

uint32_t be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint64_t be64(const uint8_t *p) { return uint64_t(be32(p)) << 32 | be32(p + 4); }

struct Box
{
    char type[4];
    int64_t body = 0; // offset of the box's contents
    int64_t end = 0;  // offset just past the box
};

// The box whose header starts at offset, inside a parent ending at limit.
std::optional<Box> boxAt(const File &file, int64_t offset, int64_t limit)
{
    uint8_t header[16];
    if (offset + 8 > limit || !file.read(offset, header, 8))
        return std::nullopt;
    Box box;
    std::memcpy(box.type, header + 4, 4);
    uint64_t size = be32(header);
    box.body = offset + 8;
    if (size == 1) { // a 64-bit size follows the type
        if (!file.read(offset + 8, header + 8, 8))
            return std::nullopt;
        size = be64(header + 8);
        box.body = offset + 16;
    } else if (size == 0) { // to the end of the parent
        size = uint64_t(limit - offset);
    }
    if (size < uint64_t(box.body - offset) || size > uint64_t(limit - offset))
        return std::nullopt;
    box.end = offset + int64_t(size);
    return box;
}

std::optional<Box> findChild(const File &file, int64_t from, int64_t limit, const char (&type)[5])
{
    int64_t offset = from;
    for (int n = 0; n < kMaxBoxes && offset < limit; ++n) {
        const auto box = boxAt(file, offset, limit);
        if (!box)
            return std::nullopt;
        if (std::memcmp(box->type, type, 4) == 0)
            return box;
        offset = box->end;
    }
    return std::nullopt;
}

} // namespace

std::optional<QDateTime> clipCreationTime(const std::filesystem::path &path)
{
    const File file(path);
    if (file.size() < 16)
        return std::nullopt;
    // Only an ISO base media file: its first box is a file type or one of QuickTime's leading boxes.
    const auto first = boxAt(file, 0, file.size());
    if (!first)
        return std::nullopt;
    static constexpr std::array<const char *, 6> leading{"ftyp", "moov", "wide", "free", "skip", "mdat"};
    if (std::none_of(leading.begin(), leading.end(), [&](const char *t) { return std::memcmp(first->type, t, 4) == 0; }))
        return std::nullopt;

    const auto moov = findChild(file, 0, file.size(), "moov");
    if (!moov)
        return std::nullopt;
    const auto mvhd = findChild(file, moov->body, moov->end, "mvhd");
    if (!mvhd)
        return std::nullopt;
    uint8_t body[12];
    if (mvhd->end - mvhd->body < 12 || !file.read(mvhd->body, body, sizeof body))
        return std::nullopt;
    const uint8_t version = body[0];
    uint64_t seconds = 0;
    if (version == 0)
        seconds = be32(body + 4);
    else if (version == 1)
        seconds = be64(body + 4);
    else
        return std::nullopt;
    // 0 is "not set"; anything before 1970 or in the far future is a camera without a clock.
    const int64_t unix = int64_t(seconds) - kQuickTimeToUnix;
    if (seconds == 0 || seconds > uint64_t(INT64_MAX) || unix <= 0 || unix > int64_t(4102444800)) // 2100-01-01
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(unix, QTimeZone::utc());
}

} // namespace vorlane
