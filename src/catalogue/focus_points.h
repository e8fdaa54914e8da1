#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vorlane {

// One autofocus point or area as the camera recorded it, placed in the upright picture: the centre (x, y)
// and the size (w, h) as fractions of the picture's width and height.
struct FocusPoint
{
    double x = 0.5;
    double y = 0.5;
    double w = 0;
    double h = 0;
    bool inFocus = false;  // the camera found focus here
    bool selected = false; // the point the photographer or the camera chose
    friend bool operator==(const FocusPoint &, const FocusPoint &) = default;
};

// Where the camera focused, read from the maker notes: Canon (AF information of the EOS and PowerShot
// bodies, in JPEG, CR2, CR3 and HEIF), Nikon (11-point bodies and live-view areas), Sony (the focus location
// and the focal-plane points) and Panasonic (the AF point). Other makes, and files whose notes carry no
// point, give none.
namespace FocusPoints {

// The points of a photo, mapped into its upright picture: the maker-note frame is cropped to the picture's
// proportions (a camera's 16:9 or 1:1 JPEG is the middle of its sensor frame) and turned by the picture's
// orientation. pictureAspect is the upright picture's width over its height (0: the file's own frame).
// Judged by content, never by name; any thread; costs one metadata read. Never throws.
std::vector<FocusPoint> read(const std::filesystem::path &file, double pictureAspect = 0);

// The upright picture's size as the metadata gives it (the pixel dimensions, else the frame the points are
// measured in), for a file whose picture cannot be decoded; nothing when it gives none.
std::optional<std::pair<int, int>> recordedSize(const std::filesystem::path &file);

// The spot a zoom to focus centres on, 0…1 in the upright picture: the middle of the box around the
// points in focus, else the selected point, else nothing (the caller uses the picture's centre).
std::optional<std::pair<double, double>> zoomTarget(std::span<const FocusPoint> points);

// The pieces, exposed for the tests of hostile input.

// Points in a stored (not yet upright) frame of frameWidth x frameHeight, as fractions of that frame.
struct Frame
{
    double width = 0;
    double height = 0;
    std::vector<FocusPoint> points;
};

// Canon's AF information record (maker-note tag 0x26, "AFInfo2", or the older 0x12 when old is set), as
// 16-bit words. The Y axis points up on EOS bodies and down on the others.
Frame canonAfInfo(std::span<const uint16_t> words, bool old, bool eos);

// A TIFF-ordered structure: the words of one SHORT tag of the IFD at ifdOffset, read within bytes only;
// nothing when the header, the IFD or the tag lie about their size.
std::optional<std::vector<uint16_t>> tiffShorts(std::span<const unsigned char> bytes, bool bigEndian,
                                                size_t ifdOffset, uint16_t tag);
std::optional<std::string> tiffAscii(std::span<const unsigned char> bytes, bool bigEndian, size_t ifdOffset,
                                     uint16_t tag);

// Points of the stored frame placed in the upright picture: cropped to pictureAspect (0: none) and turned by
// the EXIF orientation (1-8). Points that fall outside the picture are dropped.
std::vector<FocusPoint> upright(const Frame &frame, int orientation, double pictureAspect);

} // namespace FocusPoints
} // namespace vorlane
