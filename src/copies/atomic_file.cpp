#include "copies/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace vorlane {
namespace {

[[noreturn]] void fail(const char *what, const std::filesystem::path &p, int err)
{
    throw std::filesystem::filesystem_error(what, p, std::error_code(err, std::generic_category()));
}

} // namespace

PendingFile::PendingFile(std::filesystem::path destination)
    : m_destination(std::move(destination))
{
    std::string pattern = (m_destination.parent_path() / ("." + m_destination.filename().native() + ".part-XXXXXX")).native();
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        fail("cannot create temporary file", m_destination, errno);
    fchmod(fd, 0644);
    close(fd);
    m_temporary = pattern;
}

PendingFile::~PendingFile()
{
    if (!m_committed)
        ::unlink(m_temporary.c_str());
}

void PendingFile::write(std::string_view bytes)
{
    const int fd = ::open(m_temporary.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        fail("cannot open temporary file", m_temporary, errno);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            fail("cannot write copy", m_temporary, err);
        }
        done += size_t(n);
    }
    if (::close(fd) != 0)
        fail("cannot write copy", m_temporary, errno);
}

void PendingFile::commit()
{
    const int fd = ::open(m_temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail("cannot open temporary file", m_temporary, errno);
    const int syncResult = ::fsync(fd);
    const int syncErr = errno;
    ::close(fd);
    if (syncResult != 0)
        fail("cannot flush copy", m_temporary, syncErr);
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

} // namespace vorlane
