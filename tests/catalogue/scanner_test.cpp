#include "catalogue/directory_scanner.h"
#include "catalogue/pairing_service.h"

#include "testsupport/support.h"

#include <sys/stat.h>

#include <atomic>
#include <thread>

using namespace vorlane;
using namespace vorlane::test;
using Names = std::vector<std::string>;

namespace {

// The file names of a scan's media or folders, in their order.
template<typename List>
Names namesOf(const List &entries)
{
    Names names;
    for (const auto &entry : entries)
        names.push_back(entry.path.filename().native());
    return names;
}

// Media in natural order with their bytes (empty files too); sub-folders but copy folders; nothing hidden
// (a dot name, or a name listed in the folder's .hidden file) and nothing that is not media.
TEST(Scanner, ListsMediaAndFoldersButHiddenCopiesAndOtherFiles)
{
    TempTree t;
    for (const auto &[name, content] :
         std::vector<std::pair<std::string, std::string>>{{"IMG_2.jpg", "22"},
                                                          {"IMG_10.jpg", "1010"},
                                                          {"img_1.CR2", "1"},
                                                          {"empty.mov", ""},
                                                          {"trip_bside/x_bside.jpg", "x"},
                                                          {"trip_bside2/a.jpg", "a"},
                                                          {"trip_BSIDE/a.jpg", "a"},
                                                          {".hidden_dir/a.jpg", "a"},
                                                          {".secret.jpg", "zz"},
                                                          {"notes.txt", "12345"},
                                                          {"listed_hidden.jpg", "q"},
                                                          {"secret_dir/a.jpg", "a"},
                                                          {".hidden", "listed_hidden.jpg\nsecret_dir\n"}})
        t.file(name, content);
    const auto r = DirectoryScanner::scan(t.root());
    EXPECT_EQ(namesOf(r.media), (Names{"empty.mov", "img_1.CR2", "IMG_2.jpg", "IMG_10.jpg"}));
    EXPECT_EQ(namesOf(r.folders), (Names{"trip_BSIDE", "trip_bside2"}));
    EXPECT_EQ(r.currentDirBytes, 7);

    // Names that are not UTF-8 stay distinct, and each listed path opens the file itself.
    t.file("u/\xff\xfe.jpg", "1");
    t.file("u/\xfe\xff.jpg", "22");
    const auto bytes = DirectoryScanner::scan(t.root() / "u");
    ASSERT_EQ(bytes.media.size(), 2);
    EXPECT_NE(bytes.media[0].path, bytes.media[1].path);
    EXPECT_TRUE(std::filesystem::exists(bytes.media[0].path) && std::filesystem::exists(bytes.media[1].path));
    EXPECT_EQ(bytes.currentDirBytes, 3);
}

TEST(Scanner, HiddenListIsReadOnlyFromARegularFile)
{
    const auto namesInChild = [](const std::filesystem::path &dir) {
        return inChild([&] {
                   std::string text;
                   for (const auto &name : namesOf(DirectoryScanner::scan(dir).media))
                       text += name + " ";
                   return text;
               })
            .value_or("(the scan did not end)");
    };
    TempTree fifo, endless, large;
    for (const TempTree *t : {&fifo, &endless, &large})
        t->file("a.jpg", "a");
    ASSERT_EQ(mkfifo((fifo.root() / ".hidden").c_str(), 0644), 0);
    EXPECT_EQ(namesInChild(fifo.root()), "a.jpg ") << "a FIFO must not block the scan";
    std::filesystem::create_symlink("/dev/zero", endless.root() / ".hidden");
    EXPECT_EQ(namesInChild(endless.root()), "a.jpg ") << "/dev/zero must not be read";
    large.file("b.jpg", "b");
    large.file(".hidden", "a.jpg\n" + std::string(2 << 20, '\n') + "b.jpg\n");
    EXPECT_EQ(namesInChild(large.root()), "b.jpg ") << "only the first MiB counts";
}

// A folder's size counts every visible regular file below it; links are not followed, nor listed.
TEST(Scanner, RecursiveSizesCountEveryVisibleRegularFileAndNoLink)
{
    TempTree t;
    t.file("a/notes.txt", "12345");
    t.file("a/.hidden.jpg", "123");
    t.file("a/.cache/x", "123456789");
    t.file("a/a_bside/c_bside.jpg", "12");
    t.file("b/inner/deeper/p.jpg", std::string(1000, 'x'));
    t.dir("c");
    t.file("real/a.jpg", "aaaa");
    std::filesystem::create_directory_symlink(t.root(), t.root() / "real" / "loop");
    std::filesystem::create_directory_symlink(t.root() / "real", t.root() / "link_dir");
    std::filesystem::create_symlink(t.root() / "real" / "a.jpg", t.root() / "link.jpg");
    const auto r = DirectoryScanner::scan(t.root());
    EXPECT_EQ(namesOf(r.folders), (Names{"a", "b", "c", "real"}));
    std::vector<int64_t> sizes;
    for (const FolderEntry &f : r.folders)
        sizes.push_back(f.sizeBytes);
    EXPECT_EQ(sizes, (std::vector<int64_t>{7, 1000, 0, 4}));
    EXPECT_TRUE(r.media.isEmpty());
    EXPECT_EQ(r.currentDirBytes, 0);
    EXPECT_THROW(DirectoryScanner::scan(t.root() / "real" / "a.jpg"), std::system_error) << "not a folder";
}

TEST(Scanner, UnreadableSubFolderCountsWhatCanBeRead)
{
    TempTree t;
    t.file("a/readable.bin", std::string(100, 'r'));
    t.file("a/locked/secret.bin", std::string(50, 's'));
    std::filesystem::permissions(t.root() / "a" / "locked", std::filesystem::perms::none);
    for (const auto &dir : {t.root(), t.root() / "a"})
        std::filesystem::permissions(dir, std::filesystem::perms::all, std::filesystem::perm_options::add);
    // As root every folder is readable: the walk runs as nobody.
    const auto sizes = inChild(
        [&] {
            const auto r = DirectoryScanner::scan(t.root());
            return std::to_string(r.folders.size()) + " "
                + std::to_string(r.folders.isEmpty() ? -1 : r.folders[0].sizeBytes);
        },
        true);
    EXPECT_EQ(sizes.value_or("(the scan did not end)"), "1 100");
}

// A large folder has its dates read in parallel: the order stays the name order whatever the timing, and
// files coming and going meanwhile never crash the scan.
TEST(Scanner, LargeFolderKeepsItsOrderAndSurvivesChurn)
{
    TempTree t;
    for (int i = 0; i < 1000; ++i)
        t.file("d/IMG_" + std::to_string(i) + ".jpg");
    const auto r = DirectoryScanner::scan(t.root() / "d");
    ASSERT_EQ(r.media.size(), 1000);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(r.media[i].path.filename().native(), "IMG_" + std::to_string(i) + ".jpg");

    std::atomic<bool> stop{false};
    std::thread churn([&] {
        for (int round = 0; !stop; ++round) {
            for (int i = 0; i < 300; ++i) {
                std::error_code ec;
                if (round % 2)
                    std::filesystem::remove(t.root() / "d" / ("IMG_" + std::to_string(i) + ".jpg"), ec);
                else
                    t.file("d/IMG_" + std::to_string(i) + ".jpg", "x");
            }
        }
    });
    for (int i = 0; i < 30; ++i)
        EXPECT_LE(DirectoryScanner::scan(t.root() / "d").media.size(), 1000);
    stop = true;
    churn.join();
}

// The real camera and phone corpus: every folder lists and dates without a crash or hang.
TEST(Fixtures, EveryFolderScansWithoutCrash)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    int files = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(fixtures)) {
        if (!entry.is_directory())
            continue;
        const auto result = DirectoryScanner::scan(entry.path());
        for (const MediaItem &item : result.media)
            EXPECT_TRUE(item.dateTaken.isValid()) << item.path;
        files += int(result.media.size());
        PairingService::pair(result.media);
    }
    EXPECT_GT(files, 100);
}

} // namespace
