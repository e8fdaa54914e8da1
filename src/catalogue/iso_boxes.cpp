#include "catalogue/iso_boxes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlane {

PositionedFile::PositionedFile(const std::filesystem::path &path)
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

PositionedFile::~PositionedFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

size_t PositionedFile::read(int64_t offset, void *into, size_t n) const
{
    if (m_fd < 0 || offset < 0)
        return 0;
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(m_fd, static_cast<char *>(into) + got, n - got, off_t(offset + int64_t(got)));
        if (r <= 0)
            break;
        got += size_t(r);
    }
    return got;
}

namespace IsoBoxes {

std::optional<Box> boxAt(const PositionedFile &file, int64_t offset, int64_t limit)
{
    unsigned char header[16];
    if (offset + 8 > limit || !file.readAll(offset, header, 8))
        return std::nullopt;
    Box box{bigEndian32(header + 4), offset + 8, 0};
    uint64_t size = bigEndian32(header);
    if (size == 1) { // a 64-bit size follows the type
        if (!file.readAll(offset + 8, header + 8, 8))
            return std::nullopt;
        size = uint64_t(bigEndian32(header + 8)) << 32 | bigEndian32(header + 12);
        box.body = offset + 16;
    } else if (size == 0) { // to the end of the parent
        size = uint64_t(limit - offset);
    }
    if (size < uint64_t(box.body - offset) || size > uint64_t(limit - offset))
        return std::nullopt;
    box.end = offset + int64_t(size);
    return box;
}

std::optional<Box> findBox(const PositionedFile &file, int64_t from, int64_t to, uint32_t type, int &budget)
{
    for (int64_t pos = from; pos < to && budget-- > 0;) {
        const auto box = boxAt(file, pos, to);
        if (!box)
            return std::nullopt;
        if (box->type == type)
            return box;
        pos = box->end;
    }
    return std::nullopt;
}

} // namespace IsoBoxes
} // namespace vorlane
