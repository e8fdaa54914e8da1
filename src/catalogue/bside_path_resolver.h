#pragma once

#include <QList>

#include <filesystem>

namespace vorlane {

class MediaPair;

namespace BsidePathResolver {

// The copy path of an original: <dir>/<dirName>_bside/<stem>_bside.{jpg|mp4}, mp4 for every file the
// classifier calls a video (a .mkv included), jpg for the rest. Pure: touches no file. "." and ".."
// segments are removed lexically (links are not resolved); bytes are kept as they are, so a name that is
// not UTF-8 maps to its copy without loss.
std::filesystem::path destination(const std::filesystem::path &source);

// The same path with the original's extension, as spelled on disk, added to the stem:
// photo.png -> <dir>_bside/photo_png_bside.jpg. Used where the plain rule would give two cells one copy.
std::filesystem::path extensionNamedDestination(const std::filesystem::path &source);

// Gives every cell of one listing its own copy path, from the cell's primary file:
// - destination() whenever no other cell of the listing has the same one (so folders of copies made
//   before keep working: a RAW+JPEG pair, one photo per stem);
// - extensionNamedDestination() for every cell of a group that would share one (photo.jpg + photo.png,
//   IMG_7.JPG + IMG_7.HEIC, X.CR2 + X.DNG, clip.MOV + clip.mp4);
// - none, when even that path is one another cell of the listing also arrives at (photo.png beside
//   photo_png.jpg and photo.jpg): neither cell can be copied, and no mark is ever restored from a path
//   that two cells could claim.
// Pure; runs where the listing is made.
void assignCopyPaths(QList<MediaPair> &cells);

} // namespace BsidePathResolver
} // namespace vorlane
