#pragma once

#include <QString>
#include <QUuid>

#include <cstdint>
#include <filesystem>

namespace vorlane {

// One visible sub-folder of a listing with the total size of the regular files below it.
struct FolderEntry
{
    FolderEntry(std::filesystem::path path, int64_t sizeBytes);

    QUuid id;
    std::filesystem::path path;
    QString name;
    int64_t sizeBytes = 0;

    bool operator==(const FolderEntry &) const = default;
};

size_t qHash(const FolderEntry &entry, size_t seed = 0);

} // namespace vorlane
