#pragma once

#include "catalogue/exiv2_compat.h"

#include <filesystem>
#include <string_view>

namespace vorlane::Exiv2Runtime {

// Prepares exiv2 for use from several threads, once per process: its log muted (damaged files are
// normal input here), the XMP parser initialised before any thread parses (its namespace table locked), the
// darktable namespace known, and BMFF (HEIF, CR3) support on.
// Safe to call from any thread, any number of times.
void ensureStarted();

// True for the exiv2 image types this program lets exiv2 parse: still pictures and camera RAW containers
// (JPEG, TIFF and the TIFF-based RAWs, CR2, CRW, MRW, ORF, RAF, RW2, PNG, WebP, HEIF/CR3). Never the
// QuickTime, RIFF, Matroska or ASF parsers: on Debian 12 they crash or spin on malformed clips.
bool isStillImageType(Exiv2Compat::ImageType exiv2Type);

// Opens a file, or an in-memory copy of its head, with exiv2 only when its content (never its name) is one
// of the still types above; a null pointer otherwise. The type is judged from the first bytes only, so a
// clip renamed ".jpg" never reaches a parser. Throws what exiv2 throws for a damaged file of an accepted type.
// Any thread.
Exiv2Compat::ImagePtr openStill(const std::filesystem::path &path);
Exiv2Compat::ImagePtr openStill(std::string_view bytes);

} // namespace vorlane::Exiv2Runtime
