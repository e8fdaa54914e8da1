#pragma once

#include <filesystem>
#include <string>

namespace vorlane::cli {

// A path as vorlane-cli prints it, so that one cell stays one line: a backslash becomes "\\", a line feed
// "\n", a carriage return "\r", a tab "\t", and every other control byte (0x00-0x1F, 0x7F) "\xHH" with two
// lower-case hex digits. All other bytes, those of names that are not UTF-8 included, are printed as they are.
std::string printablePath(const std::filesystem::path &path);

} // namespace vorlane::cli
