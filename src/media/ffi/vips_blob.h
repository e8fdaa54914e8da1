#pragma once

#include <vips/vips8>

#include <memory>
#include <string_view>

namespace vorlane {

// Owns one reference to a VipsBlob (encoded bytes from a *save_buffer call, or a view over a buffer that
// a loader reads from).
struct VipsBlobUnref
{
    void operator()(VipsBlob *blob) const { vips_area_unref(reinterpret_cast<VipsArea *>(blob)); }
};
using VipsBlobPtr = std::unique_ptr<VipsBlob, VipsBlobUnref>;

// The bytes a blob holds; empty for a null blob.
inline std::string_view blobBytes(const VipsBlobPtr &blob)
{
    if (!blob)
        return {};
    size_t size = 0;
    const void *data = vips_area_get_data(reinterpret_cast<VipsArea *>(blob.get()), &size, nullptr, nullptr, nullptr);
    return {static_cast<const char *>(data), size};
}

} // namespace vorlane
