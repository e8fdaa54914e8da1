#pragma once

// What tests share: temporary trees, the fixture corpus, real media files made with real tools, and the
// names of parameterised cases.

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

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
#define VORLANE_REQUIRE_FIXTURES(var)                                                                                  \
    const auto var##_opt = ::vorlane::test::fixturesDir();                                                             \
    if (!var##_opt)                                                                                                    \
        GTEST_SKIP() << "fixtures folder not present";                                                                 \
    const std::filesystem::path var = *var##_opt

// A file's bytes (empty when it cannot be read), and the names in a folder, hidden ones included, sorted.
std::string readFile(const std::filesystem::path &file);
std::vector<std::string> namesIn(const std::filesystem::path &folder);

// True when the named program is on PATH.
bool haveTool(const char *program);

// Skips the current test (or its SetUp) when any of the named programs is not on PATH.
#define VORLANE_REQUIRE_TOOLS(...)                                                                                     \
    for (const char *vorlane_tool : {__VA_ARGS__})                                                                     \
        if (!::vorlane::test::haveTool(vorlane_tool))                                                                  \
            GTEST_SKIP() << vorlane_tool << " is not installed"

// Runs body in a child process, as the unprivileged user nobody when asNobody and the test runs as root (who
// reads through any mode), that SIGALRM ends after `seconds`: a body that blocks or reads without end fails
// the test in bounded time instead of taking the suite down. What body returned, or nothing when the child
// did not exit cleanly.
std::optional<std::string> inChild(const std::function<std::string()> &body, bool asNobody = false,
                                   unsigned seconds = 20);

// Points HOME, XDG_DATA_HOME and XDG_CACHE_HOME into home (the Trash and the shared thumbnail cache then live
// there, on the same file system as the test trees). Call before the first GLib or Qt use of them.
void useTemporaryHome(const std::filesystem::path &home);
// A new, empty home Trash for the test that calls it (under the home useTemporaryHome set); returns its folder.
std::filesystem::path freshTrash();

// Makes every GLib critical (a g_return_if_fail that tripped, a signal disconnected on a freed object)
// abort the test process, whatever G_DEBUG says. Called at the start of every test main.
void failOnGlibCriticals();

// Names the cases of a parameterised suite after their rows: a row's `name`, or a row that is a relative
// path itself; every character but a letter or a digit becomes '_'.
std::string caseName(std::string text);
struct RowName
{
    template<typename Row>
    std::string operator()(const ::testing::TestParamInfo<Row> &info) const
    {
        if constexpr (std::is_convertible_v<Row, const char *>)
            return caseName(info.param);
        else
            return caseName(info.param.name);
    }
};

// A parameterised suite on a fixture of a test's own: using Rows = WithRows<Fixture, Row>.
template<typename Fixture, typename Row>
class WithRows
    : public Fixture
    , public ::testing::WithParamInterface<Row>
{
};

// Prints a row by its name, in failure messages and in CTest's list of cases; a test file brings it into its
// rows' namespace with a using-declaration.
template<typename Row>
requires requires(const Row &row) { std::string_view(row.name); }
void PrintTo(const Row &row, std::ostream *os) { *os << row.name; }

// Makes real media files with real tools (ImageMagick, exiftool, ffmpeg) at test time. Each returns false
// (and the test should fail) when the tool fails.

// Runs a program to completion; its exit status, or -1 when it could not run, died of a signal or did not
// finish within timeoutMs (it is killed then). output receives its standard output (else it is dropped).
int runTool(const QString &program, const QStringList &args, QByteArray *output = nullptr, int timeoutMs = 600000);

// A path as a program argument or JSON text.
QString qpath(const std::filesystem::path &path);

// ImageMagick's convert with args, then the output path.
bool magick(const QStringList &args, const std::filesystem::path &output);

// A JPEG of the given size; exiftoolTags are assignments such as "-DateTimeOriginal=...", written after.
bool makeJpeg(const std::filesystem::path &path, int width, int height, const QStringList &exiftoolTags = {});

// Writes EXIF tags into an existing file with exiftool (no backup file left behind).
bool setExif(const std::filesystem::path &path, const QStringList &exiftoolTags);

// A JPEG's bytes with the size in its frame header (SOF0, SOF1 or SOF2) set to width x height and its data
// left as it is: a header claiming what the data does not hold. Empty when no frame header is found.
std::string withJpegSize(std::string jpeg, int width, int height);

// ffmpeg with args (inputs, codecs, options), then the output path, which it overwrites.
bool ffmpeg(const QStringList &args, const std::filesystem::path &output);
// ffmpeg inputs: a moving test pattern of the given size ("640x360") at 30 fps, and a 440 Hz tone.
QStringList testPattern(const char *size, double seconds = 1);
QStringList tone(int sampleRate = 44100, double seconds = 1);
// Gives a clip the display matrix of a counter-clockwise turn by degrees, as a phone's portrait clip has.
bool rotateClip(const std::filesystem::path &clip, int degrees);

} // namespace vorlane::test
