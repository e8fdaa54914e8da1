#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <filesystem>

namespace vorlane::TrashService {

struct Result
{
    QList<std::filesystem::path> trashed;
    QList<QPair<std::filesystem::path, QString>> failed; // with the reason reported for each
};

// Moves each file to the desktop Trash (the freedesktop convention, through GIO: the home Trash or the
// volume's own $topdir/.Trash-$uid), in order, one by one. A file that cannot be moved stays where it is
// and is reported; nothing is ever deleted outright. Thread-safe; one rename and a small info file each.
Result trash(const QList<std::filesystem::path> &files);

} // namespace vorlane::TrashService
