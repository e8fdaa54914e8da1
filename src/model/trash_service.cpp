#include "model/trash_service.h"

#include "copies/atomic_file.h"

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
#include <set>
#include <vector>
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

// The names in a Trash's "files" folder that hold this file now: its likely names, and with everyName any
// entry with its inode (a hard link of it trashed before, under any name). Looked at, never opened.
std::set<std::string> entriesOf(int filesFd, const std::string &name, const FileIdentity &identity, bool everyName)
{
    std::set<std::string> found;
    for (const std::string &candidate : likelyEntryNames(name)) {
        if (isTheFile(filesFd, candidate, identity))
            found.insert(candidate);
    }
    if (!everyName)
        return found;
    const int listFd = ::openat(filesFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return found;
    std::unique_ptr<DIR, int (*)(DIR *)> dir(::fdopendir(listFd), &::closedir);
    if (!dir) {
        ::close(listFd);
        return found;
    }
    while (const dirent *entry = ::readdir(dir.get())) {
        if (entry->d_name[0] != '.' && entry->d_ino == identity.inode && isTheFile(filesFd, entry->d_name, identity))
            found.insert(entry->d_name);
    }
    return found;
}

// The bytes of an entry's .trashinfo, read without following a link and only from a small regular file.
std::optional<std::string> infoOf(const std::filesystem::path &files, const std::string &entry)
{
    const Fd infoFd(::open((files.parent_path() / "info").c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!infoFd)
        return std::nullopt;
    const Fd fd(::openat(infoFd.get(), (entry + ".trashinfo").c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st = {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > 64 * 1024)
        return std::nullopt;
    std::string bytes(size_t(st.st_size), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n <= 0)
            return std::nullopt;
        got += size_t(n);
    }
    return bytes;
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

        // What the Trash folders already hold of this file (a hard link of it trashed before under the same
        // name is the same inode): the entry this move makes is the one that was not there.
        struct Candidate
        {
            std::filesystem::path trashFolder;
            std::set<std::string> before;
        };
        // A file with one link has no other name anywhere: only its own entry can have its inode, and the
        // Trash's folders are read through only for a file with hard links (or when its entry has an
        // unexpected name).
        const bool linked = st.st_nlink > 1;
        std::vector<Candidate> candidates;
        for (const std::filesystem::path &trashFolder : trashFolders(moved.folder, moved.identity.device)) {
            const Fd filesFd(::open((trashFolder / "files").c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            candidates.push_back({trashFolder, filesFd && linked
                                      ? entriesOf(filesFd.get(), path.filename().native(), moved.identity, true)
                                      : std::set<std::string>()});
        }

        GFilePtr file(g_file_new_for_path(path.c_str()));
        GError *rawError = nullptr;
        const bool ok = g_file_trash(file.get(), nullptr, &rawError);
        const GErrorPtr error(rawError);
        if (!ok) {
            result.failed.append({path, error ? QString::fromUtf8(error->message) : QStringLiteral("?")});
            continue;
        }
        // The entry it became, found by its identity (a rename keeps it) in the Trash GIO used, and its
        // .trashinfo as GIO wrote it.
        for (const Candidate &candidate : candidates) {
            const Fd filesFd(::open((candidate.trashFolder / "files").c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            const auto filesIdentity = filesFd ? folderIdentity(filesFd.get()) : std::nullopt;
            if (!filesIdentity || filesIdentity->device != moved.identity.device)
                continue;
            std::set<std::string> made = entriesOf(filesFd.get(), path.filename().native(), moved.identity, linked);
            if (made.empty() && !linked)
                made = entriesOf(filesFd.get(), path.filename().native(), moved.identity, true);
            for (const std::string &old : candidate.before)
                made.erase(old);
            if (made.size() != 1)
                continue;
            moved.files = candidate.trashFolder / "files";
            moved.filesIdentity = *filesIdentity;
            moved.entry = *made.begin();
            moved.info = infoOf(moved.files, moved.entry).value_or(std::string());
            break;
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
        if (!S_ISREG(st.st_mode) || identityOf(st) != t.identity || t.info.empty() || infoOf(t.files, t.entry) != t.info) {
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
        if (const int error = renameNoReplace(filesFd, t.entry.c_str(), folderFd, name.c_str()); error != 0) {
            refuse(error == EEXIST ? translated(QT_TRANSLATE_NOOP("vorlane::TrashService", "another file now has its name there")) : systemReason(error));
            continue;
        }
        // Between the look and the rename another process could have swapped the entry: what arrived must be
        // the file that left, or it goes back where it was.
        if (!isTheFile(folderFd, name, t.identity)) {
            renameNoReplace(folderFd, name.c_str(), filesFd, t.entry.c_str());
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
