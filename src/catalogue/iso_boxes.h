#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace vorlane {

// A file opened for a few positioned reads: never blocking on a FIFO, regular files only (anything else
// reads as an empty file that is not open).
class PositionedFile
{
public:
    explicit PositionedFile(const std::filesystem::path &path);
    ~PositionedFile();
    PositionedFile(const PositionedFile &) = delete;
    PositionedFile &operator=(const PositionedFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int64_t size() const { return m_size; }
    // Up to n bytes from offset; fewer only at the end of the file.
    size_t read(int64_t offset, void *into, size_t n) const;
    bool readAll(int64_t offset, void *into, size_t n) const { return read(offset, into, n) == n; }

private:
    int m_fd = -1;
    int64_t m_size = 0;
};

// The boxes of an ISO base media file (MP4, QuickTime), read without trusting a single size in them.
namespace IsoBoxes {

constexpr uint32_t fourCc(const char (&c)[5])
{
    return uint32_t(uint8_t(c[0])) << 24 | uint32_t(uint8_t(c[1])) << 16 | uint32_t(uint8_t(c[2])) << 8
        | uint32_t(uint8_t(c[3]));
}

inline uint32_t bigEndian32(const unsigned char *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

struct Box
{
    uint32_t type = 0;
    int64_t body = 0; // first byte after the header
    int64_t end = 0;  // just past the box
};

// The box whose header starts at offset, inside a parent ending at limit; nullopt when its size does not fit
// the parent or its own header.
std::optional<Box> boxAt(const PositionedFile &file, int64_t offset, int64_t limit);

// The first box of this type among the boxes from..to, within a budget of boxes looked at in all; nullopt
// when a box on the way lies about its size.
std::optional<Box> findBox(const PositionedFile &file, int64_t from, int64_t to, uint32_t type, int &budget);

} // namespace IsoBoxes
} // namespace vorlane
