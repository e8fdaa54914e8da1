#pragma once

#include "catalogue/directory_scanner.h"
#include "catalogue/media_pair.h"

#include <QList>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vorlane::cli {

// A folder command's arguments, "DIR [--sort name|date]", and the folder's listing as the grid shows it.
struct ListedFolder
{
    std::filesystem::path directory; // absolute, without a trailing slash
    DirectoryScanner::ScanResult scan;
    QList<MediaPair> cells; // paired and in the order asked for
};

// Lists the folder the arguments name. On bad arguments prints usage and sets status 2; on a folder that
// cannot be read prints one line on stderr and sets status 1; either way returns nothing.
std::optional<ListedFolder> listFolder(const std::vector<std::string> &args, const char *usage, int *status);

} // namespace vorlane::cli
