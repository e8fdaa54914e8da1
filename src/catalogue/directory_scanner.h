#pragma once

#include "catalogue/folder_entry.h"
#include "catalogue/media_item.h"

#include <QList>

#include <cstdint>
#include <filesystem>
#include <system_error>

namespace vorlane {

// Lists one directory (not its sub-tree) as the grid shows it. Stateless; slow (it sizes every sub-folder
// and reads every media file's header), so callers run it off the interface thread.
namespace DirectoryScanner {

struct ScanResult
{
    QList<FolderEntry> folders;  // visible sub-folders, natural order, with recursive sizes
    QList<MediaItem> media;      // media files directly in the directory, natural order of file name
    int64_t currentDirBytes = 0; // sum of the sizes of the files in media
};

// Throws std::system_error carrying the listing's errno when the directory cannot be read.
// Hidden entries (a leading dot, or a name listed in the folder's ".hidden" file) and sub-folders whose
// name ends in "_bside" are left out. Symbolic links are neither folders nor files here, so they are never
// followed. Media items are built on several threads for large folders; the result is the same as built
// one by one.
ScanResult scan(const std::filesystem::path &directory);

// Total size of the regular, non-hidden files below a folder; never follows symbolic links, passes over
// what cannot be read, and never fails (0 when the folder cannot be opened).
int64_t recursiveSize(const std::filesystem::path &folder);

} // namespace DirectoryScanner
} // namespace vorlane
