#pragma once

#include <filesystem>
#include <string_view>

namespace vorlane {

// A hidden temporary file beside a destination (same folder, so the final rename is atomic and the
// scanner never lists it), named "." + the destination's name + ".part-XXXXXX", with the name shortened
// when that would pass the file system's limit of 255 bytes. Removed on destruction unless commit()
// renamed it over the destination, so a failed or cancelled write never leaves a partial copy at the
// destination and never disturbs an earlier copy there.
//
// The file is held open under an exclusive advisory lock (flock) for as long as this object lives: a
// writer that was killed or crashed releases it with its process, which is how removeStalePartials() tells
// the leftovers of an interrupted copy from a copy still being written, by this process or another.
class PendingFile final
{
public:
    // Creates the empty temporary file (mode 0644). Throws std::filesystem::filesystem_error on failure.
    explicit PendingFile(std::filesystem::path destination);
    ~PendingFile();

    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    const std::filesystem::path &path() const { return m_temporary; }
    const std::filesystem::path &destination() const { return m_destination; }

    // Writes all bytes to the temporary file and flushes them to disk. Throws on failure.
    void write(std::string_view bytes);

    // fsyncs the temporary file and renames it over the destination. Throws on failure (then nothing moved).
    void commit();

private:
    std::filesystem::path m_destination;
    std::filesystem::path m_temporary;
    int m_fd = -1;
    bool m_committed = false;
};

// Creates the folder that holds destination with its intermediates. An existing folder is success.
// Throws std::filesystem::filesystem_error with the file system's error otherwise.
void ensureParentDir(const std::filesystem::path &destination);

// Convenience: write bytes to destination atomically through a PendingFile.
void writeFileAtomically(const std::filesystem::path &destination, std::string_view bytes);

// Removes the temporary files that interrupted copies left in folder (a kill, a crash, a card pulled out):
// every hidden "*.part-XXXXXX" file that no live PendingFile holds locked and that was last written more
// than a few seconds ago. Returns how many went. Never throws; a folder that does not exist is fine.
int removeStalePartials(const std::filesystem::path &folder);

// Renames from (in fromDir) to to (in toDir) without ever replacing what is there: renameat2 with
// RENAME_NOREPLACE, or, where the file system answers that flag with EINVAL (some FUSE and network file
// systems), a hard link at the new name and then the removal of the old one, which never overwrites either.
// Returns 0, or the errno of the refusal (EEXIST when the name is taken); never a plain rename.
int renameNoReplace(int fromDir, const char *from, int toDir, const char *to);

namespace detail {
// The renameat2 call renameNoReplace makes; tests put in one that answers EINVAL as such a file system does.
using Renameat2 = int (*)(int, const char *, int, const char *, unsigned int);
extern Renameat2 renameat2Call;
} // namespace detail

} // namespace vorlane
