#include "copies/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>
#include <system_error>

namespace vorlane {
namespace {

constexpr size_t kNameMax = 255; // bytes in one file name on every file system a card or disk uses here
constexpr std::string_view kPartMarker = ".part-";
constexpr size_t kRandomChars = 6;
// A temporary file is locked a moment after it is made; anything younger is left alone.
constexpr time_t kStaleAfterSeconds = 10;

[[noreturn]] void fail(const char *what, const std::filesystem::path &p, int err)
{
    throw std::filesystem::filesystem_error(what, p, std::error_code(err, std::generic_category()));
}

// "." + name + ".part-XXXXXX", the name cut short so the whole stays within kNameMax bytes.
std::string temporaryPattern(const std::string &name)
{
    const size_t room = kNameMax - 1 - kPartMarker.size() - kRandomChars;
    return "." + name.substr(0, room) + std::string(kPartMarker) + std::string(kRandomChars, 'X');
}

bool isPartialName(std::string_view name)
{
    if (name.size() < 1 + kPartMarker.size() + kRandomChars || name[0] != '.')
        return false;
    return name.substr(name.size() - kRandomChars - kPartMarker.size(), kPartMarker.size()) == kPartMarker;
}

struct DirCloser
{
    void operator()(DIR *d) const { closedir(d); }
};

} // namespace

PendingFile::PendingFile(std::filesystem::path destination)
    : m_destination(std::move(destination))
{
    std::string pattern = (m_destination.parent_path() / temporaryPattern(m_destination.filename().native())).native();
    m_fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0)
        fail("cannot create temporary file", m_destination, errno);
    m_temporary = pattern;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(m_fd);
        ::unlink(m_temporary.c_str());
        fail("cannot lock temporary file", m_temporary, err);
    }
    fchmod(m_fd, 0644);
}

PendingFile::~PendingFile()
{
    if (!m_committed)
        ::unlink(m_temporary.c_str());
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock, after the name is gone
}

void PendingFile::write(std::string_view bytes)
{
    if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0)
        fail("cannot write copy", m_temporary, errno);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("cannot write copy", m_temporary, errno);
        }
        done += size_t(n);
    }
}

void PendingFile::commit()
{
    if (::fsync(m_fd) != 0)
        fail("cannot flush copy", m_temporary, errno);
    if (::rename(m_temporary.c_str(), m_destination.c_str()) != 0)
        fail("cannot move copy into place", m_destination, errno);
    m_committed = true;
}

void writeFileAtomically(const std::filesystem::path &destination, std::string_view bytes)
{
    PendingFile file(destination);
    file.write(bytes);
    file.commit();
}

int removeStalePartials(const std::filesystem::path &folder)
{
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 0;
    std::unique_ptr<DIR, DirCloser> dir(fdopendir(dirFd));
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    const time_t now = std::time(nullptr);
    int removed = 0;
    while (const dirent *entry = readdir(dir.get())) {
        if (!isPartialName(entry->d_name))
            continue;
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st
        {
        };
        // Under the lock nobody else holds it: the writer is gone. The lock is kept until the name is.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime >= kStaleAfterSeconds
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlinkat(dirFd, entry->d_name, 0) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

void ensureParentDir(const std::filesystem::path &destination)
{
    const std::filesystem::path folder = destination.parent_path();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        // create_directories reports an existing folder as no error; anything else is the file system's.
        if (std::filesystem::is_directory(folder))
            return;
        throw std::filesystem::filesystem_error("cannot create folder", folder, ec);
    }
    if (!std::filesystem::is_directory(folder))
        throw std::filesystem::filesystem_error("cannot create folder", folder,
                                                std::make_error_code(std::errc::not_a_directory));
}

namespace detail {
Renameat2 renameat2Call = &::renameat2;
} // namespace detail

int renameNoReplace(int fromDir, const char *from, int toDir, const char *to)
{
    if (detail::renameat2Call(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // The flag is not understood here: a link fails with EEXIST where a name is taken, as the flag would.
    if (::linkat(fromDir, from, toDir, to, 0) != 0)
        return errno;
    if (::unlinkat(fromDir, from, 0) != 0) {
        const int error = errno;
        ::unlinkat(toDir, to, 0); // the file stays where it was, under its old name
        return error;
    }
    return 0;
}

} // namespace vorlane
