#include "testsupport/temp_tree.h"

#include <QFile>
#include <QStandardPaths>
#include <QString>

#include <fstream>

namespace vorlane::test {

TempTree::TempTree()
    : m_root(std::filesystem::path(QFile::encodeName(m_dir.path()).toStdString()))
{
}

TempTree::~TempTree()
{
    // Tests make folders unreadable on purpose; give access back so the tree can be removed.
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(
             m_root, std::filesystem::directory_options::skip_permission_denied, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    }
}

std::filesystem::path TempTree::file(const std::string &relative, const std::string &content) const
{
    const std::filesystem::path p = m_root / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << content;
    return p;
}

std::filesystem::path TempTree::dir(const std::string &relative) const
{
    const std::filesystem::path p = m_root / relative;
    std::filesystem::create_directories(p);
    return p;
}

std::optional<std::filesystem::path> fixturesDir()
{
    if (const char *env = std::getenv("VORLANE_FIXTURES")) {
        if (std::filesystem::is_directory(env))
            return std::filesystem::path(env);
    }
    const std::filesystem::path beside = std::filesystem::path(VORLANE_SOURCE_DIR) / ".." / "shared" / "fixtures";
    if (std::filesystem::is_directory(beside / "formats"))
        return beside.lexically_normal();
    return std::nullopt;
}

bool haveTool(const char *program)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty();
}

} // namespace vorlane::test

namespace vorlane::test {

void useTemporaryHome(const std::filesystem::path &home)
{
    std::filesystem::create_directories(home / ".local" / "share");
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / ".local" / "share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
}

} // namespace vorlane::test
