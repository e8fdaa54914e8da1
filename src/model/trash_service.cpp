#include "model/trash_service.h"

#include <QCoreApplication>

#include <gio/gio.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

namespace vorlane::TrashService {
namespace {

template<auto Free>
struct GFree
{
    template<typename T>
    void operator()(T *p) const
    {
        Free(p);
    }
};
using GFilePtr = std::unique_ptr<GFile, GFree<g_object_unref>>;
using GErrorPtr = std::unique_ptr<GError, GFree<g_error_free>>;

QString translated(const char *text) { return QCoreApplication::translate("vorlane::TrashService", text); }
QString systemReason(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// A file descriptor closed with its owner.
class Fd
{
public:
    explicit Fd(int fd = -1)
        : m_fd(fd)
    {
    }
    Fd(Fd &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    Fd &operator=(Fd &&other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd;
};

FileIdentity identityOf(const struct stat &st)
{
    return {st.st_dev, st.st_ino, int64_t(st.st_size), int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

FileIdentity folderIdentityOf(const struct stat &st) { return {st.st_dev, st.st_ino, 0, 0}; }

std::optional<FileIdentity> folderIdentity(int fd)
{
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return folderIdentityOf(st);
}

// A regular file named `name` in the folder, with this identity.
bool isTheFile(int folderFd, const std::string &name, const FileIdentity &identity)
{
    struct stat st = {};
    return ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)
        && identityOf(st) == identity;
}

// The top of the volume a folder lies on: the last ancestor on the same device.
std::filesystem::path volumeTop(const std::filesystem::path &folder, dev_t device)
{
    std::filesystem::path top = folder;
    while (top.has_parent_path() && top.parent_path() != top) {
        struct stat up = {};
        if (::stat(top.parent_path().c_str(), &up) != 0 || up.st_dev != device)
            break;
        top = top.parent_path();
    }
    return top;
}

// A folder that the freedesktop Trash convention lets a program use: a real directory (never a symbolic
// link); owned by this user, or for the shared $topdir/.Trash, sticky.
bool isUsableTrashDir(const std::filesystem::path &dir, bool shared)
{
    struct stat st = {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return shared ? (st.st_mode & S_ISVTX) != 0 : st.st_uid == ::getuid();
}

// The Trash folders a file of this volume may have gone to, as GIO chooses them: the home Trash, then the
// volume's own ones, each only when it passes the convention's checks.
QList<std::filesystem::path> trashFolders(const std::filesystem::path &folder, dev_t device)
{
    QList<std::filesystem::path> folders{std::filesystem::path(g_get_user_data_dir()) / "Trash"};
    const std::filesystem::path top = volumeTop(folder, device);
    const std::string uid = std::to_string(::getuid());
    if (isUsableTrashDir(top / ".Trash", true) && isUsableTrashDir(top / ".Trash" / uid, false))
        folders.append(top / ".Trash" / uid);
    if (isUsableTrashDir(top / (".Trash-" + uid), false))
        folders.append(top / (".Trash-" + uid));
    return folders;
}

// The names GIO gives a trashed file: its own, else with ".2", ".3"… before the extension.
std::vector<std::string> likelyEntryNames(const std::string &name)
{
    std::vector<std::string> names{name};
    const size_t firstDot = name.find('.', 1);
    const size_t lastDot = name.rfind('.');
    for (int n = 2; n <= 32; ++n) {
        const std::string suffix = "." + std::to_string(n);
        for (const size_t dot : {firstDot, lastDot}) {
            std::string candidate
                = dot == std::string::npos || dot == 0 ? name + suffix : name.substr(0, dot) + suffix + name.substr(dot);
            if (names.back() != candidate)
                names.push_back(std::move(candidate));
        }
    }
    return names;
}

// The entry a file became in a Trash's "files" folder: its likely names first, else any entry with its
// inode. Entries are only looked at (lstat), never opened, and dot-names are passed over.
std::optional<std::string> findEntry(int filesFd, const std::string &name, const FileIdentity &identity)
{
    for (const std::string &candidate : likelyEntryNames(name)) {
        if (isTheFile(filesFd, candidate, identity))
            return candidate;
    }
    const int listFd = ::openat(filesFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return std::nullopt;
    std::unique_ptr<DIR, int (*)(DIR *)> dir(::fdopendir(listFd), &::closedir);
    if (!dir) {
        ::close(listFd);
        return std::nullopt;
    }
    while (const dirent *entry = ::readdir(dir.get())) {
        if (entry->d_name[0] == '.' || entry->d_ino != identity.inode)
            continue;
        if (isTheFile(filesFd, entry->d_name, identity))
            return std::string(entry->d_name);
    }
    return std::nullopt;
}

// Opens a folder by an absolute path one component at a time, following no symbolic link on the way.
Fd openWithoutLinks(const std::filesystem::path &folder, int *error)
{
    Fd fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (const std::filesystem::path &part : folder.relative_path()) {
        if (!fd)
            break;
        fd = Fd(::openat(fd.get(), part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!fd)
        *error = errno;
    return fd;
}

} // namespace

TrashResult trash(const QList<std::filesystem::path> &files)
{
    TrashResult result;
    for (const std::filesystem::path &path : files) {
        struct stat st = {};
        if (::lstat(path.c_str(), &st) != 0) {
            result.failed.append({path, systemReason(errno)});
            continue;
        }
        if (!S_ISREG(st.st_mode)) {
            result.failed.append({path, translated(QT_TRANSLATE_NOOP("vorlane::TrashService", "not a regular file"))});
            continue;
        }
        Trashed moved;
        moved.original = path;
        moved.identity = identityOf(st);
        std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.parent_path().c_str(), nullptr), &std::free);
        const Fd folderFd(real ? ::open(real.get(), O_PATH | O_DIRECTORY | O_CLOEXEC) : -1);
        const auto folder = folderFd ? folderIdentity(folderFd.get()) : std::nullopt;
        if (!folder) {
            result.failed.append({path, systemReason(errno)});
            continue;
        }
        moved.folder = real.get();
        moved.folderIdentity = *folder;

        GFilePtr file(g_file_new_for_path(path.c_str()));
        GError *rawError = nullptr;
        const bool ok = g_file_trash(file.get(), nullptr, &rawError);
        const GErrorPtr error(rawError);
        if (!ok) {
            result.failed.append({path, error ? QString::fromUtf8(error->message) : QStringLiteral("?")});
            continue;
        }
        // The entry it became, found by its identity (a rename keeps it) in the Trash GIO used.
        for (const std::filesystem::path &trashFolder : trashFolders(moved.folder, moved.identity.device)) {
            const Fd filesFd(::open((trashFolder / "files").c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            const auto filesIdentity = filesFd ? folderIdentity(filesFd.get()) : std::nullopt;
            if (!filesIdentity || filesIdentity->device != moved.identity.device)
                continue;
            if (auto entry = findEntry(filesFd.get(), path.filename().native(), moved.identity)) {
                moved.files = trashFolder / "files";
                moved.filesIdentity = *filesIdentity;
                moved.entry = std::move(*entry);
                break;
            }
        }
        result.done.append(std::move(moved));
    }
    return result;
}

RestoreResult restore(const QList<Trashed> &entries)
{
    RestoreResult result;
    // Folders opened once for the whole run, by path: a few hundred files share one or two of each.
    std::map<std::filesystem::path, std::pair<Fd, int>> filesFolders; // fd, or the errno of the failed open
    std::map<std::filesystem::path, std::pair<Fd, int>> originFolders;
    const auto opened = [](auto &cache, const std::filesystem::path &path, auto opener) -> std::pair<int, int> {
        auto it = cache.find(path);
        if (it == cache.end()) {
            int error = 0;
            Fd fd = opener(path, &error);
            it = cache.emplace(path, std::pair<Fd, int>(std::move(fd), error)).first;
        }
        return {it->second.first.get(), it->second.second};
    };

    for (const Trashed &t : entries) {
        const auto refuse = [&](const QString &reason) { result.failed.append({t.original, reason}); };
        if (t.entry.empty()) {
            refuse(translated(QT_TRANSLATE_NOOP("vorlane::TrashService", "its entry in the Trash cannot be found")));
            continue;
        }
        const auto [filesFd, filesError] = opened(filesFolders, t.files, [](const std::filesystem::path &p, int *e) {
            Fd fd(::open(p.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!fd)
                *e = errno;
            return fd;
        });
        if (filesFd < 0 || folderIdentity(filesFd) != t.filesIdentity) {
            refuse(translated(QT_TRANSLATE_NOOP("vorlane::TrashService", "the Trash folder was replaced or moved")));
            continue;
        }
        struct stat st = {};
        if (::fstatat(filesFd, t.entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            refuse(errno == ENOENT ? translated(QT_TRANSLATE_NOOP("vorlane::TrashService", "no longer in the Trash")) : systemReason(errno));
            continue;
        }
        if (!S_ISREG(st.st_mode) || identityOf(st) != t.identity) {
            refuse(translated(QT_TRANSLATE_NOOP("vorlane::TrashService", "the entry in the Trash is no longer the file that was moved")));
            continue;
        }
        const auto [folderFd, folderError] = opened(originFolders, t.folder, &openWithoutLinks);
        if (folderFd < 0) {
            refuse(folderError == ENOENT ? translated(QT_TRANSLATE_NOOP("vorlane::TrashService", "the folder it came from no longer exists")) : translated(QT_TRANSLATE_NOOP("vorlane::TrashService", "the folder it came from was replaced (a symbolic link is on its path)")));
            continue;
        }
        if (folderIdentity(folderFd) != t.folderIdentity) {
            refuse(translated(QT_TRANSLATE_NOOP("vorlane::TrashService", "the folder it came from was replaced")));
            continue;
        }
        const std::string name = t.original.filename().native();
        if (::renameat2(filesFd, t.entry.c_str(), folderFd, name.c_str(), RENAME_NOREPLACE) != 0) {
            refuse(errno == EEXIST ? translated(QT_TRANSLATE_NOOP("vorlane::TrashService", "another file now has its name there")) : systemReason(errno));
            continue;
        }
        // Between the look and the rename another process could have swapped the entry: what arrived must be
        // the file that left, or it goes back where it was.
        if (!isTheFile(folderFd, name, t.identity)) {
            ::renameat2(folderFd, name.c_str(), filesFd, t.entry.c_str(), RENAME_NOREPLACE);
            refuse(translated(QT_TRANSLATE_NOOP("vorlane::TrashService", "the entry in the Trash is no longer the file that was moved")));
            continue;
        }
        const Fd infoFd(::open((t.files.parent_path() / "info").c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (infoFd)
            ::unlinkat(infoFd.get(), (t.entry + ".trashinfo").c_str(), 0);
        result.done.append(t.original);
    }
    return result;
}

} // namespace vorlane::TrashService
