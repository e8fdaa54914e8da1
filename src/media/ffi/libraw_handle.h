#pragma once

#include <libraw/libraw.h>

#include <cstdint>
#include <memory>

namespace vorlane {

// A LibRaw processor on the heap (the object is several hundred KiB) that also tells where the sensor
// data starts, which LibRaw keeps to itself: LibRaw 0.20 "decodes" a file cut before its sensor data
// without an error, so the decoder compares this offset with the file size.
class LibRawHandle final : public LibRaw
{
public:
    LibRawHandle() = default;
    int64_t sensorDataOffset() const { return libraw_internal_data.unpacker_data.data_offset; }
};
using LibRawPtr = std::unique_ptr<LibRawHandle>;

// An image made by dcraw_make_mem_image(), released with LibRaw's own allocator.
struct LibRawImageFree
{
    void operator()(libraw_processed_image_t *image) const { LibRaw::dcraw_clear_mem(image); }
};
using LibRawImagePtr = std::unique_ptr<libraw_processed_image_t, LibRawImageFree>;

} // namespace vorlane
