#include "catalogue/directory_scanner.h"

#include "testsupport/temp_tree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <thread>

using namespace vorlane;
using namespace vorlane::test;

namespace {

std::vector<std::string> mediaNames(const DirectoryScanner::ScanResult &r)
{
    std::vector<std::string> names;
    for (const MediaItem &m : r.media)
        names.push_back(m.path.filename().native());
    return names;
}

std::vector<std::string> folderNames(const DirectoryScanner::ScanResult &r)
{
    std::vector<std::string> names;
    for (const FolderEntry &f : r.folders)
        names.push_back(f.path.filename().native());
    return names;
}

TEST(Scanner, NaturalOrderOfMedia)
{
    TempTree t;
    t.file("IMG_2.jpg", "22");
    t.file("IMG_10.jpg", "1010");
    t.file("img_1.CR2", "1");
    const auto r = DirectoryScanner::scan(t.root());
    EXPECT_EQ(mediaNames(r), (std::vector<std::string>{"img_1.CR2", "IMG_2.jpg", "IMG_10.jpg"}));
    EXPECT_EQ(r.currentDirBytes, 7);
}

TEST(Scanner, HiddenBsideAndNonMedia)
{
    TempTree t;
    t.file("trip_bside/x_bside.jpg", "xxxx");
    t.file("trip_bside2/a.jpg", "aa");
    t.file("trip_BSIDE/a.jpg", "aaa");
    t.file(".hidden_dir/a.jpg", "aaaa");
    t.file(".secret.jpg", "zz");
    t.file("notes.txt", "12345");
    t.file("listed_hidden.jpg", "q");
    t.file("keep.jpg", "k");
    t.file(".hidden", "listed_hidden.jpg\nsecret_dir\n");
    t.file("secret_dir/a.jpg", "a");
    const auto r = DirectoryScanner::scan(t.root());
    EXPECT_EQ(folderNames(r), (std::vector<std::string>{"trip_BSIDE", "trip_bside2"}));
    EXPECT_EQ(mediaNames(r), (std::vector<std::string>{"keep.jpg"}));
    EXPECT_EQ(r.currentDirBytes, 1);
}

// Runs the scan in a child process, so that a scan that blocks or eats memory fails this test in bounded
// time instead of taking the suite down. Returns the listed media names, or nullopt when the child did not
// finish within the time (it is killed) or died.
std::optional<std::vector<std::string>> scanInChild(const std::filesystem::path &dir, int seconds)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return std::nullopt;
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        std::string names;
        for (const auto &name : mediaNames(DirectoryScanner::scan(dir)))
            names += name + "\n";
        const bool ok = write(pipeFds[1], names.data(), names.size()) == ssize_t(names.size());
        _exit(ok ? 0 : 1);
    }
    close(pipeFds[1]);
    int status = 0;
    bool exited = false;
    for (int waited = 0; waited < seconds * 10 && !exited; ++waited) {
        exited = waitpid(pid, &status, WNOHANG) == pid;
        if (!exited)
            usleep(100000);
    }
    if (!exited) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(n));
    close(pipeFds[0]);
    if (!exited || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    std::vector<std::string> names;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        names.push_back(text.substr(start, end - start));
    return names;
}

TEST(Scanner, HiddenListIsReadOnlyFromARegularFile)
{
    TempTree fifo;
    fifo.file("a.jpg", "a");
    ASSERT_EQ(mkfifo((fifo.root() / ".hidden").c_str(), 0644), 0);
    EXPECT_EQ(scanInChild(fifo.root(), 20), (std::vector<std::string>{"a.jpg"})) << "a FIFO must not block the scan";

    TempTree endless;
    endless.file("a.jpg", "a");
    std::filesystem::create_symlink("/dev/zero", endless.root() / ".hidden");
    EXPECT_EQ(scanInChild(endless.root(), 20), (std::vector<std::string>{"a.jpg"})) << "/dev/zero must not be read";

    TempTree large;
    large.file("a.jpg", "a");
    large.file("b.jpg", "b");
    large.file(".hidden", "a.jpg\n" + std::string(2 << 20, '\n') + "b.jpg\n");
    EXPECT_EQ(scanInChild(large.root(), 20), (std::vector<std::string>{"b.jpg"})) << "only the first MiB counts";
}

TEST(Scanner, RecursiveSizesCountEveryVisibleRegularFile)
{
    TempTree t;
    t.file("a/notes.txt", "12345");
    t.file("a/.hidden.jpg", "123");
    t.file("a/.cache/x", "123456789");
    t.file("a/a_bside/c_bside.jpg", "12");
    t.file("b/inner/deeper/p.jpg", std::string(1000, 'x'));
    t.dir("c");
    const auto r = DirectoryScanner::scan(t.root());
    ASSERT_EQ(r.folders.size(), 3);
    EXPECT_EQ(r.folders[0].sizeBytes, 7);
    EXPECT_EQ(r.folders[1].sizeBytes, 1000);
    EXPECT_EQ(r.folders[2].sizeBytes, 0);
    EXPECT_TRUE(r.media.isEmpty());
    EXPECT_EQ(r.currentDirBytes, 0);
}

TEST(Scanner, EmptyDirectory)
{
    TempTree t;
    const auto r = DirectoryScanner::scan(t.root());
    EXPECT_TRUE(r.folders.isEmpty());
    EXPECT_TRUE(r.media.isEmpty());
    EXPECT_EQ(r.currentDirBytes, 0);
}

TEST(Scanner, MissingOrNotADirectoryThrowsTheListingError)
{
    TempTree t;
    const auto file = t.file("a.jpg", "x");
    try {
        DirectoryScanner::scan(t.root() / "missing");
        FAIL() << "expected a listing error";
    } catch (const std::system_error &e) {
        EXPECT_EQ(e.code().value(), ENOENT);
    }
    EXPECT_THROW(DirectoryScanner::scan(file), std::system_error);
}

TEST(Scanner, SymbolicLinksAreNotFollowed)
{
    TempTree t;
    t.file("real/a.jpg", "aaaa");
    std::filesystem::create_directory_symlink(t.root(), t.root() / "real" / "loop");
    std::filesystem::create_directory_symlink(t.root() / "real", t.root() / "link_dir");
    std::filesystem::create_symlink(t.root() / "real" / "a.jpg", t.root() / "link.jpg");
    const auto r = DirectoryScanner::scan(t.root());
    EXPECT_EQ(folderNames(r), (std::vector<std::string>{"real"}));
    EXPECT_EQ(r.folders[0].sizeBytes, 4);
    EXPECT_TRUE(r.media.isEmpty());
}

TEST(Scanner, ZeroByteFilesAreListed)
{
    TempTree t;
    t.file("empty.jpg");
    t.file("empty.mov");
    const auto r = DirectoryScanner::scan(t.root());
    EXPECT_EQ(mediaNames(r), (std::vector<std::string>{"empty.jpg", "empty.mov"}));
    EXPECT_EQ(r.currentDirBytes, 0);
}

TEST(Scanner, NamesThatAreNotUtf8StayDistinct)
{
    TempTree t;
    t.file("\xff\xfe.jpg", "1");
    t.file("\xfe\xff.jpg", "22");
    const auto r = DirectoryScanner::scan(t.root());
    ASSERT_EQ(r.media.size(), 2);
    EXPECT_NE(r.media[0].path, r.media[1].path);
    for (const MediaItem &m : r.media)
        EXPECT_TRUE(std::filesystem::exists(m.path)) << "the listed path must open the file itself";
    EXPECT_EQ(r.currentDirBytes, 3);
}

TEST(Scanner, TenThousandFilesInOneFolder)
{
    TempTree t;
    for (int i = 0; i < 10000; ++i)
        t.file("IMG_" + std::to_string(i) + ".jpg");
    const auto r = DirectoryScanner::scan(t.root());
    ASSERT_EQ(r.media.size(), 10000);
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(r.media[i].path.filename().native(), "IMG_" + std::to_string(i) + ".jpg");
}

TEST(Scanner, UnreadableSubFolderCountsWhatCanBeRead)
{
    TempTree t;
    t.file("a/readable.bin", std::string(100, 'r'));
    t.file("a/locked/secret.bin", std::string(50, 's'));
    std::filesystem::permissions(t.root() / "a" / "locked", std::filesystem::perms::none);
    std::filesystem::permissions(t.root(), std::filesystem::perms::all, std::filesystem::perm_options::add);
    std::filesystem::permissions(t.root() / "a", std::filesystem::perms::all, std::filesystem::perm_options::add);

    // As root every folder is readable, so the walk runs in a child that drops to an unprivileged user.
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        int64_t size = -1;
        int folders = -1;
        try {
            const auto r = DirectoryScanner::scan(t.root());
            folders = int(r.folders.size());
            size = r.folders.isEmpty() ? -1 : r.folders[0].sizeBytes;
        } catch (...) {
            _exit(4);
        }
        const int64_t msg[2] = {size, folders};
        if (write(pipeFds[1], msg, sizeof msg) != sizeof msg)
            _exit(5);
        _exit(0);
    }
    close(pipeFds[1]);
    int64_t msg[2] = {0, 0};
    const auto got = read(pipeFds[0], msg, sizeof msg);
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(got, ssize_t(sizeof msg));
    EXPECT_EQ(msg[1], 1);
    EXPECT_EQ(msg[0], 100);
}

TEST(Scanner, DirectoryChangingUnderTheScanNeverCrashes)
{
    TempTree t;
    for (int i = 0; i < 300; ++i)
        t.file("d/IMG_" + std::to_string(i) + ".jpg", "x");
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        for (int round = 0; !stop; ++round) {
            for (int i = 0; i < 300; ++i) {
                const auto p = t.root() / "d" / ("IMG_" + std::to_string(i) + ".jpg");
                std::error_code ec;
                if (round % 2)
                    std::filesystem::remove(p, ec);
                else
                    t.file("d/IMG_" + std::to_string(i) + ".jpg", "x");
            }
        }
    });
    for (int i = 0; i < 30; ++i) {
        const auto r = DirectoryScanner::scan(t.root() / "d");
        EXPECT_LE(r.media.size(), 300);
    }
    stop = true;
    churn.join();

    std::filesystem::remove_all(t.root() / "d");
    EXPECT_THROW(DirectoryScanner::scan(t.root() / "d"), std::system_error);
}

} // namespace
