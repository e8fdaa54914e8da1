#include "core/file_key.h"

#include <sys/stat.h>

namespace vorlane {

FileKey FileKey::now(const std::filesystem::path &path)
{
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0)
        return FileKey{path};
    return FileKey{path, int64_t(st.st_size), int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
                   uint64_t(st.st_ino)};
}

QString FileKey::text() const
{
    QString key = QString::fromLatin1(path.native()) + u'|' + QString::number(bytes) + u'|'
        + QString::number(modifiedNs);
    if (inode != 0)
        key += u'|' + QString::number(inode);
    return key;
}

} // namespace vorlane
