#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace vorlane::TrashService {

// What tells one file on this machine from every other while it is not changed: its device and inode, with
// its size and modification time to catch a file rewritten in place. A rename keeps it.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;

    bool operator==(const FileIdentity &) const = default;
};

// One file this process moved to the Trash, as it found it there right after the move: undo puts back this
// entry and nothing else, whatever other entries name the same place.
struct Trashed
{
    std::filesystem::path original; // where it was, as the listing named it
    std::filesystem::path folder;   // its folder with every symbolic link resolved, at the time of the move
    FileIdentity folderIdentity;    // device and inode of that folder
    std::filesystem::path files;    // the "files" folder of the Trash it went to
    FileIdentity filesIdentity;     // device and inode of that folder
    std::string entry;              // its name there (and of info/<entry>.trashinfo); empty when not found
    std::string info;               // the bytes of info/<entry>.trashinfo right after the move
    FileIdentity identity;          // of the file itself
};

struct TrashResult
{
    QList<Trashed> done;                                  // moved to the Trash, in input order
    QList<QPair<std::filesystem::path, QString>> failed; // with the reason each file stayed
};

// Moves each file to the desktop Trash (the freedesktop convention, through GIO: the home Trash or the
// volume's own $topdir/.Trash/$uid or .Trash-$uid), one by one, and records the entry each one became. Only
// regular files move; a file that cannot be moved stays where it is and is reported; nothing is ever deleted
// outright. Thread-safe; one rename and a small info file each.
TrashResult trash(const QList<std::filesystem::path> &files);

struct RestoreResult
{
    QList<std::filesystem::path> done;                    // put back, in input order
    QList<QPair<std::filesystem::path, QString>> failed; // with the reason each file stayed in the Trash
};

// Puts back files that trash() moved. An entry is restored only when it is still a regular file with the
// identity it had, under the name GIO gave it then, with its .trashinfo unchanged (a hard link of the same
// file trashed under the same name by another program is another entry), and only into the very folder it came from, reached without following a symbolic link;
// a place taken by another file is never overwritten. Nothing in the Trash is parsed or opened: a planted
// entry, a FIFO or a device there changes nothing. Every refusal is reported with its reason. Thread-safe.
RestoreResult restore(const QList<Trashed> &entries);

} // namespace vorlane::TrashService
