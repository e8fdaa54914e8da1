#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace vorlane::HeifOrientation {

// What the primary image of a HEIF file's container says about turning it: whether an item property
// rotates it (irot with a non-zero angle) or mirrors it (imir). libheif applies those while decoding.
struct ContainerTransform
{
    bool rotates = false;
    bool mirrors = false;
    bool any() const { return rotates || mirrors; }
};

// Reads the ISO media boxes at the start of a HEIF file (ftyp, meta: pitm, iprp/ipco, iprp/ipma), at most a
// few MiB of them; nothing when the bytes are not a HEIF container or the boxes are malformed. Pure.
std::optional<ContainerTransform> containerTransform(std::string_view fileHead);

// The EXIF orientation (1-8) still to be applied to the pixels libheif decodes from this file: the file's
// EXIF Orientation when its container has no transform of its own, else 1 (the container is the truth when
// it has one). Reads the file's boxes and, when needed, its EXIF. Any thread; never throws.
int pendingAfterDecode(const std::filesystem::path &path);

} // namespace vorlane::HeifOrientation
