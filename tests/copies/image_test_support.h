#pragma once

// vips first: GLib's headers must not meet Qt's keyword macros.
#include <vips/vips8>

#include <QStringList>

#include <filesystem>
#include <string>
#include <vector>

namespace vorlane::test {

QString qpath(const std::filesystem::path &path);

// Runs ImageMagick's convert with args followed by the output path; true on success.
bool magick(const QStringList &args, const std::filesystem::path &output);

// What vipsheader (the peer tool, not our code) reports about a written copy.
struct CopyHeader
{
    int width = 0;
    int height = 0;
    bool hasExif = false;
    bool hasOrientation = false;
    std::string loader;
};
CopyHeader readHeader(const std::filesystem::path &path);

// Mean RGB of a rectangle of a file's pixels, as stored (decoded by libvips, nothing applied).
std::vector<double> meanColour(const std::filesystem::path &path, int left, int top, int width, int height);

// Files in a folder, hidden temporaries included.
std::vector<std::filesystem::path> listFolder(const std::filesystem::path &folder);

} // namespace vorlane::test
