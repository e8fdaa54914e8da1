#include "catalogue/folder_entry.h"

#include "catalogue/media_item.h"

#include <QHash>

namespace vorlane {

FolderEntry::FolderEntry(std::filesystem::path path_, int64_t sizeBytes_)
    : id(QUuid::createUuid())
    , path(std::move(path_))
    , name(displayPath(path.filename()))
    , sizeBytes(sizeBytes_)
{
}

size_t qHash(const FolderEntry &entry, size_t seed) { return qHash(entry.id, seed); }

} // namespace vorlane
