#include "media/heif_orientation.h"

#include "catalogue/exiv2_runtime.h"

#include <exiv2/exiv2.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace vorlane::HeifOrientation {
namespace {

// The boxes that matter sit at the front of every HEIF file the cameras and phones write; a meta box larger
// than this is not one of theirs.
constexpr size_t kMaxHead = 1 << 20;

// A bounded reader over one box's payload.
class Reader
{
public:
    explicit Reader(std::string_view bytes)
        : m_bytes(bytes)
    {
    }
    bool atEnd() const { return m_pos >= m_bytes.size(); }
    size_t left() const { return m_bytes.size() - m_pos; }
    bool u8(uint32_t &v) { return uint(1, v); }
    bool u16(uint32_t &v) { return uint(2, v); }
    bool u32(uint32_t &v) { return uint(4, v); }
    bool skip(size_t n)
    {
        if (n > left())
            return false;
        m_pos += n;
        return true;
    }

    // The next box: its four-character type and its payload. False at the end or on a malformed header.
    bool box(std::string &type, std::string_view &payload)
    {
        uint32_t size32 = 0;
        if (left() < 8 || !u32(size32))
            return false;
        type.assign(m_bytes.substr(m_pos, 4));
        m_pos += 4;
        uint64_t size = size32;
        size_t header = 8;
        if (size32 == 1) {
            uint32_t hi = 0, lo = 0;
            if (!u32(hi) || !u32(lo))
                return false;
            size = (uint64_t(hi) << 32) | lo;
            header = 16;
        } else if (size32 == 0) {
            size = header + left();
        }
        if (size < header || size - header > left())
            return false;
        payload = m_bytes.substr(m_pos, size_t(size - header));
        m_pos += size_t(size - header);
        return true;
    }

private:
    bool uint(int bytes, uint32_t &v)
    {
        if (left() < size_t(bytes))
            return false;
        v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | uint8_t(m_bytes[m_pos++]);
        return true;
    }

    std::string_view m_bytes;
    size_t m_pos = 0;
};

// Version and flags of a full box.
bool fullBoxHeader(Reader &r, uint32_t &version, uint32_t &flags)
{
    uint32_t word = 0;
    if (!r.u32(word))
        return false;
    version = word >> 24;
    flags = word & 0xFFFFFF;
    return true;
}

std::string readHead(const std::filesystem::path &path)
{
    std::string bytes(kMaxHead, '\0');
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, off_t(got));
        if (n <= 0)
            break;
        got += size_t(n);
    }
    ::close(fd);
    bytes.resize(got);
    return bytes;
}

int exifOrientation(const std::filesystem::path &path)
{
    try {
        auto image = Exiv2Runtime::openStill(path);
        if (!image.get())
            return 1;
        image->readMetadata();
        const Exiv2::ExifData &exif = image->exifData();
        const auto it = Exiv2::orientation(exif);
        if (it == exif.end() || it->count() == 0)
            return 1;
        const long value = Exiv2Compat::toInteger(*it);
        return value >= 1 && value <= 8 ? int(value) : 1;
    } catch (...) {
        return 1;
    }
}

// The property indices an item association box (ipma) gives one item; nothing for a box that lies about
// its contents.
std::optional<std::vector<uint32_t>> associationsOf(std::string_view ipma, uint32_t wanted)
{
    std::vector<uint32_t> indices;
    Reader r(ipma);
    uint32_t version = 0, flags = 0, entries = 0;
    if (!ipma.empty() && (!fullBoxHeader(r, version, flags) || !r.u32(entries)))
        return std::nullopt;
    for (uint32_t e = 0; e < entries; ++e) {
        uint32_t item = 0, count = 0;
        if (!(version < 1 ? r.u16(item) : r.u32(item)) || !r.u8(count))
            return std::nullopt;
        for (uint32_t a = 0; a < count; ++a) {
            uint32_t value = 0;
            if (!((flags & 1) ? r.u16(value) : r.u8(value)))
                return std::nullopt;
            if (item == wanted)
                indices.push_back((flags & 1) ? (value & 0x7FFF) : (value & 0x7F));
        }
    }
    return indices;
}

} // namespace

std::optional<ContainerTransform> containerTransform(std::string_view fileHead)
{
    Reader file(fileHead);
    std::string type;
    std::string_view payload;
    if (!file.box(type, payload) || type != "ftyp")
        return std::nullopt;
    std::string_view meta;
    while (file.box(type, payload)) {
        if (type == "meta") {
            meta = payload;
            break;
        }
    }
    if (meta.empty())
        return std::nullopt;

    Reader metaReader(meta);
    uint32_t version = 0, flags = 0;
    if (!fullBoxHeader(metaReader, version, flags))
        return std::nullopt;
    std::optional<uint32_t> primary;
    std::vector<std::string> properties; // types in ipco order; property index i is properties[i - 1]
    std::string_view ipma;
    while (metaReader.box(type, payload)) {
        Reader r(payload);
        if (type == "pitm") {
            uint32_t id = 0;
            if (!fullBoxHeader(r, version, flags) || !(version == 0 ? r.u16(id) : r.u32(id)))
                return std::nullopt;
            primary = id;
        } else if (type == "iprp") {
            std::string childType;
            std::string_view child;
            while (r.box(childType, child)) {
                if (childType == "ipco") {
                    Reader c(child);
                    std::string propertyType;
                    std::string_view property;
                    while (c.box(propertyType, property)) {
                        if (propertyType == "irot" && !property.empty() && (uint8_t(property[0]) & 3) == 0)
                            propertyType = "irot0"; // a rotation by zero turns nothing
                        properties.push_back(propertyType);
                    }
                } else if (childType == "ipma") {
                    ipma = child;
                }
            }
        }
    }
    if (!primary)
        return std::nullopt;
    const auto primaryAssociations = associationsOf(ipma, *primary);
    if (!primaryAssociations)
        return std::nullopt;
    ContainerTransform transform;
    for (const uint32_t index : *primaryAssociations) {
        if (index == 0 || index > properties.size())
            continue;
        const std::string &property = properties[index - 1];
        transform.rotates = transform.rotates || property == "irot";
        transform.mirrors = transform.mirrors || property == "imir";
    }
    return transform;
}

int pendingAfterDecode(const std::filesystem::path &path)
{
    const auto transform = containerTransform(readHead(path));
    if (!transform || transform->any())
        return 1;
    return exifOrientation(path);
}

} // namespace vorlane::HeifOrientation
