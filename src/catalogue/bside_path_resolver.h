#pragma once

#include <filesystem>

namespace vorlane::BsidePathResolver {

// The copy path of an original: <dir>/<dirName>_bside/<stem>_bside.{jpg|mp4}. Pure: touches no file.
// "." and ".." segments are removed lexically (links are not resolved); bytes are kept as they are, so a
// name that is not UTF-8 maps to its copy without loss.
std::filesystem::path destination(const std::filesystem::path &source);

// Creates the folder that holds destination with its intermediates. An existing folder is success.
// Throws std::filesystem::filesystem_error with the file system's error otherwise.
void ensureParentDir(const std::filesystem::path &destination);

} // namespace vorlane::BsidePathResolver
