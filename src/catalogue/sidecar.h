#pragma once

#include "catalogue/decision.h"

#include <QString>

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace Exiv2 {
class XmpData;
}

namespace vorlane {

class MediaPair;

// Ratings and labels in XMP sidecars, read with exiv2's XMP support and written beside the originals, never
// into them. A sidecar is evidence: one that is not a regular file, is too large or does not parse gives no
// decision and a reason, and is never written over. Any thread; a write is atomic and merges with whatever
// the sidecar holds (an editor's history above all).
namespace Sidecars {

// NAME.EXT.xmp, the sidecar darktable and digiKam read for every file.
std::filesystem::path ownSidecar(const std::filesystem::path &file);
// STEM.xmp, the Lightroom-style sidecar of a RAW.
std::filesystem::path stemSidecar(const std::filesystem::path &file);

// Largest sidecar read; a larger one is refused.
inline constexpr size_t kMaxBytes = size_t(4) << 20;

struct Reading
{
    std::optional<Decision> decision; // none: no XMP, or one that could not be read
    QString problem;                  // why a file that is there gave nothing
};

// The decision in a sidecar; a missing sidecar is no decision and no problem.
Reading read(const std::filesystem::path &xmp);
// The decision in a packet's text.
Reading parse(std::string_view packet);

// The decision parsed XMP holds; nothing when it holds neither a rating nor a label.
std::optional<Decision> decisionIn(const Exiv2::XmpData &xmp);

// A cell's decision: its files' NAME.EXT.xmp in order, then their STEM.xmp, then what the photo itself
// records (embedded: its own XMP, read with its capture date; never a clip's). The first that holds a rating
// or a label wins; a sidecar that holds neither still outranks the photo (so that clearing sticks).
Reading readCell(const std::vector<std::filesystem::path> &files, const std::optional<Decision> &embedded);
// The same for a listed cell: its originals in order, and what its photo (never a clip) records itself.
Reading readCell(const MediaPair &cell);

// Sets the rating (or, with label set, the label) in one sidecar, creating it when absent; merges with what
// is there and never loses another field. Empty on success, else why it was not written.
struct Change
{
    std::optional<int> rating;
    std::optional<ColourLabel> label;
};
QString write(const std::filesystem::path &xmp, const Change &change);

// Writes a change to every file of a cell: NAME.EXT.xmp for each, and the RAW's STEM.xmp when it exists
// already. Empty on success, else the reasons, one line a file.
QString writeCell(const std::vector<std::filesystem::path> &files, const Change &change);
QString writeCell(const MediaPair &cell, const Change &change);

} // namespace Sidecars
} // namespace vorlane
