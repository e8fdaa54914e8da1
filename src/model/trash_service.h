#pragma once

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

#include <filesystem>

namespace vorlane::TrashService {

struct Result
{
    QList<std::filesystem::path> done;                   // moved to the Trash, or put back, in input order
    QList<QPair<std::filesystem::path, QString>> failed; // with the reason reported for each
};

// Moves each file to the desktop Trash (the freedesktop convention, through GIO: the home Trash or the
// volume's own $topdir/.Trash-$uid), in order, one by one. A file that cannot be moved stays where it is
// and is reported; nothing is ever deleted outright. Thread-safe; one rename and a small info file each.
Result trash(const QList<std::filesystem::path> &files);

// Puts files back from the Trash where they were: for each original path, the newest entry of the Trash
// (the home Trash, or the Trash at the top of the file's volume) that came from that path no earlier than
// `since`. A file is refused, and stays in the Trash, when its place is taken by another file; a file with
// no such entry (the Trash was emptied) is reported as gone. Reads the Trash's own .trashinfo records,
// since without a desktop session GIO cannot list trash:///. Thread-safe.
Result restore(const QList<std::filesystem::path> &originals, const QDateTime &since);

} // namespace vorlane::TrashService
