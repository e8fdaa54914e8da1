#pragma once

#include <QString>

#include <cstdint>
#include <filesystem>

namespace vorlane {

// A file as the caches know it: its path, size and modification time, and its inode where known. A file
// rewritten or replaced under its name is another key, so nothing worked out for the old file is shown for
// the new one.
struct FileKey
{
    std::filesystem::path path;
    int64_t bytes = -1;      // -1: the file could not be read
    int64_t modifiedNs = -1; // nanoseconds since the epoch
    uint64_t inode = 0;      // 0: not known (a listing does not keep it)

    // What the file system says of the file now.
    static FileKey now(const std::filesystem::path &path);

    bool operator==(const FileKey &) const = default;

    // The key as text, for keys that travel as strings (job names, signals). Lossless: the path's bytes are
    // kept one for one, so two names that are not UTF-8 never share a key.
    QString text() const;
};

} // namespace vorlane
