#pragma once

#include <QTemporaryDir>

#include <filesystem>
#include <optional>
#include <string>

namespace vorlane::test {

// A temporary folder that tests fill with files; removed with everything in it when it goes out of scope.
class TempTree final
{
public:
    TempTree();
    ~TempTree();

    const std::filesystem::path &root() const { return m_root; }

    // Creates parent folders as needed; returns the absolute path.
    std::filesystem::path file(const std::string &relative, const std::string &content = {}) const;
    std::filesystem::path dir(const std::string &relative) const;

private:
    QTemporaryDir m_dir;
    std::filesystem::path m_root;
};

// The shared corpus of real camera and phone files, when this checkout has it beside it.
std::optional<std::filesystem::path> fixturesDir();

// Skips the current test when the corpus is absent.
#define VORLANE_REQUIRE_FIXTURES(var)                                                                          \
    const auto var##_opt = ::vorlane::test::fixturesDir();                                                     \
    if (!var##_opt)                                                                                            \
        GTEST_SKIP() << "fixtures folder not present";                                                        \
    const std::filesystem::path var = *var##_opt

// True when the named program is on PATH.
bool haveTool(const char *program);

} // namespace vorlane::test

namespace vorlane::test {

// Points HOME, XDG_DATA_HOME and XDG_CACHE_HOME into home (the Trash and the shared thumbnail cache then live
// there, on the same file system as the test trees). Call before the first GLib or Qt use of them.
void useTemporaryHome(const std::filesystem::path &home);

} // namespace vorlane::test
