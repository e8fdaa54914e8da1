// What lies on disk and was not made by this process (Trash entries, copies under an original's name, a
// listing made during a discard) never decides which file moves.
#include "catalogue/copy_provenance.h"
#include "model/trash_service.h"
#include "testsupport/model_support.h"

#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;
namespace fs = std::filesystem;

namespace {

fs::path trashDir() { return fs::path(qgetenv("XDG_DATA_HOME").toStdString()) / "Trash"; }

void writeText(const fs::path &file, const std::string &text) { std::ofstream(file, std::ios::binary) << text; }

// A .trashinfo record as any program may write one.
void plantInfo(const std::string &name, const std::string &pathLine, const std::string &date = "2099-01-01T00:00:00")
{
    writeText(trashDir() / "info" / (name + ".trashinfo"), "[Trash Info]\nPath=" + pathLine + "\nDeletionDate=" + date + "\n");
}

// Discards the one photo of a fresh card (or of the folder given) and takes it back; the file system may refuse renameat2's
// no-replace flag (some FUSE file systems answer EINVAL).
struct UndoRun
{
    TempTree t;
    fs::path card = t.dir("card");
    fs::path photo = t.file("card/IMG_0001.JPG", "the photo the user discarded");
    FakeEncoder encoder;
    std::optional<AppModel> m;

    UndoRun() { encoder.open(); }
    void discard(const fs::path &folder = {})
    {
        m.emplace(nullptr, quietMachine(), encoder.function());
        ASSERT_TRUE(openAndWait(*m, folder.empty() ? card : folder));
        ASSERT_TRUE(markAndWait(*m, m->listing().pairs()[0].id()));
        ASSERT_EQ(discardAndWait(*m), "Discarded 1 file");
    }
    std::string undo() { return undoAndWait(*m); }
};

// One photo discarded (its copy made by the fake encoder), then the Trash or the card tampered with, then
// Ctrl+Z: what comes back is the photo that left, or nothing, with the reason.
struct Tampering
{
    const char *name;
    std::function<void(const fs::path &card, const fs::path &photo)> tamper;
    const char *result;   // the undo's message
    bool photoComesBack; // the discarded bytes are at the photo's path afterwards
};

using Undo = ::testing::TestWithParam<Tampering>;

TEST_P(Undo, RestoresOnlyTheEntryItMade)
{
    freshTrash(); // each case tampers with the entry named after its own photo
    UndoRun run;
    run.discard();
    GetParam().tamper(run.card, run.photo);
    EXPECT_EQ(run.undo(), GetParam().result) << "undo never blocks on what it finds in the Trash";
    EXPECT_EQ(readFile(run.photo) == "the photo the user discarded", GetParam().photoComesBack);
}

INSTANTIATE_TEST_SUITE_P(
    Trash, Undo,
    ::testing::Values(
        Tampering{"nothing", [](const fs::path &, const fs::path &) {}, "Put back 1 file", true},
        Tampering{"crafted records for the same place, a FIFO and dot names in info",
                  [](const fs::path &card, const fs::path &photo) {
                      const std::string name = photo.filename().native();
                      for (const std::string &entry : {std::string("x1"), std::string("x2"), std::string("x3")})
                          writeText(trashDir() / "files" / entry, "planted " + entry);
                      plantInfo("x1", (card / ".." / card.filename() / name).native());
                      plantInfo("x2", QUrl::toPercentEncoding(QString::fromStdString((card / name).native()))
                                          .toStdString());
                      plantInfo("x3", (card / name).native());
                      ASSERT_EQ(::mkfifo((trashDir() / "info" / "fifo.trashinfo").c_str(), 0600), 0);
                      writeText(trashDir() / "info" / "..trashinfo", "[Trash Info]\nPath=" + (card / name).native());
                      writeText(trashDir() / "info" / "...trashinfo", "[Trash Info]\nPath=" + (card / name).native());
                  },
                  "Put back 1 file", true},
        Tampering{"the entry replaced by a symbolic link",
                  [](const fs::path &card, const fs::path &photo) {
                      const fs::path entry = trashDir() / "files" / photo.filename();
                      writeText(card / "elsewhere", "another file");
                      fs::remove(entry);
                      fs::create_symlink(card / "elsewhere", entry);
                  },
                  "Put back 0 files, 1 not\nIMG_0001.JPG: the entry in the Trash is no longer the file that was moved", false},
        Tampering{"the entry replaced by a folder",
                  [](const fs::path &, const fs::path &photo) {
                      const fs::path entry = trashDir() / "files" / photo.filename();
                      fs::remove(entry);
                      fs::create_directory(entry);
                  },
                  "Put back 0 files, 1 not\nIMG_0001.JPG: the entry in the Trash is no longer the file that was moved", false},
        Tampering{"the card's folder replaced by a symbolic link",
                  [](const fs::path &card, const fs::path &) {
                      fs::rename(card, card.parent_path() / "moved");
                      fs::create_directory(card.parent_path() / "decoy");
                      fs::create_directory_symlink(card.parent_path() / "decoy", card);
                  },
                  "Put back 0 files, 1 not\nIMG_0001.JPG: the folder it came from was replaced (a symbolic link is on its path)", false},
        Tampering{"its .trashinfo rewritten by another program",
                  [](const fs::path &, const fs::path &photo) {
                      plantInfo(photo.filename().native(), "/elsewhere/IMG_0001.JPG");
                  },
                  "Put back 0 files, 1 not\nIMG_0001.JPG: the entry in the Trash is no longer the file that was moved", false},
        Tampering{"emptied from the Trash",
                  [](const fs::path &, const fs::path &photo) { fs::remove(trashDir() / "files" / photo.filename()); },
                  "Put back 0 files, 1 not\nIMG_0001.JPG: no longer in the Trash", false}),
    RowName());

// A hard link of the photo already in the Trash under the same name (another program trashed it) is the same
// inode under the name the photo's own entry would have had: undo tells them apart by the entry GIO made.
TEST(UndoIdentity, AHardLinkInTheTrashUnderTheSameNameIsAnotherEntry)
{
    const fs::path trash = freshTrash();
    UndoRun run;
    fs::create_hard_link(run.photo, run.t.dir("elsewhere") / "IMG_0001.JPG");
    ASSERT_EQ(runTool(u"gio"_s, {u"trash"_s, qpath(run.t.root() / "elsewhere" / "IMG_0001.JPG")}), 0);
    const std::string otherInfo = readFile(trash / "info" / "IMG_0001.JPG.trashinfo");
    run.discard();
    EXPECT_EQ(run.undo(), "Put back 1 file");
    EXPECT_EQ(readFile(run.photo), "the photo the user discarded");
    EXPECT_TRUE(fs::exists(trash / "files" / "IMG_0001.JPG")) << "the other program's entry stays";
    EXPECT_EQ(readFile(trash / "info" / "IMG_0001.JPG.trashinfo"), otherInfo);
}

// A card with a Trash of its own (.Trash-UID at its top, as cameras' cards carry from other computers): the
// discard goes there and Ctrl+Z takes it back from there. The card is a loop-mounted ext4 image, which needs
// root and loop devices; where they are missing the test says SKIPPED.
TEST(UndoIdentity, ACardsOwnTrash)
{
    if (::geteuid() != 0 || !haveTool("mkfs.ext4") || !haveTool("mount"))
        GTEST_SKIP() << "mounting a card image needs root, mkfs.ext4 and mount";
    const fs::path homeTrash = freshTrash();
    TempTree t;
    const fs::path image = t.root() / "card.img";
    std::ofstream(image).close();
    fs::resize_file(image, 32 << 20);
    ASSERT_EQ(runTool(u"mkfs.ext4"_s, {u"-q"_s, u"-F"_s, qpath(image)}), 0);
    const fs::path top = t.dir("card");
    if (runTool(u"mount"_s, {u"-o"_s, u"loop"_s, qpath(image), qpath(top)}) != 0)
        GTEST_SKIP() << "this machine refuses a loop mount";
    struct Unmount
    {
        fs::path top;
        ~Unmount() { runTool(u"umount"_s, {qpath(top)}); }
    } unmount{top};
    const std::string trashName = ".Trash-" + std::to_string(::getuid());
    fs::create_directory(top / trashName);
    fs::permissions(top / trashName, fs::perms::owner_all);
    const fs::path dcim = top / "DCIM";
    fs::create_directory(dcim);
    writeText(dcim / "IMG_0001.JPG", "the photo on the card");
    {
        UndoRun run;
        run.discard(dcim);
        EXPECT_EQ(readFile(top / trashName / "files" / "IMG_0001.JPG"), "the photo on the card");
        EXPECT_FALSE(fs::exists(homeTrash / "files" / "IMG_0001.JPG"));
        EXPECT_EQ(run.undo(), "Put back 1 file");
        EXPECT_EQ(readFile(dcim / "IMG_0001.JPG"), "the photo on the card");
        EXPECT_FALSE(fs::exists(top / trashName / "info" / "IMG_0001.JPG.trashinfo"));
    }
}

// Where renameat2 answers EINVAL, a hard link and an unlink put the file back, never over another file.
TEST(UndoIdentity, WithoutTheNoReplaceFlagALinkPutsBackAndNeverOverwrites)
{
    freshTrash();
    const auto renameat2 = detail::renameat2Call;
    detail::renameat2Call = [](int, const char *, int, const char *, unsigned int) {
        errno = EINVAL;
        return -1;
    };
    for (const bool taken : {false, true}) {
        UndoRun run;
        run.discard();
        if (taken)
            writeText(run.photo, "a new photo in its place");
        EXPECT_EQ(run.undo(), taken ? "Put back 0 files, 1 not\nIMG_0001.JPG: another file now has its name there" : "Put back 1 file");
        EXPECT_EQ(readFile(run.photo), taken ? "a new photo in its place" : "the photo the user discarded");
    }
    detail::renameat2Call = renameat2;
}

// Just before a discard moves an original, it is checked against what its copy records: one replaced between
// the listing and the press (a new photo under its name) stays, and so does one edited in place past its first
// and last 64 KiB at the same size, which still looks like the copy's at a listing: every byte is read first.
TEST(CopyOfAnotherPhoto, ADiscardLeavesAnOriginalThatIsNoLongerTheCopysSource)
{
    const std::vector<std::tuple<const char *, std::function<void(const fs::path &)>, const char *>> rows{
        {"IMG_0002.JPG",
         [](const fs::path &photo) {
             ASSERT_TRUE(magick({u"-size"_s, u"1200x900"_s, u"gradient:green-yellow"_s}, photo));
         },
         "the copy belongs to another photo"},
        {"IMG_0003.JPG",
         [](const fs::path &photo) {
             std::fstream f(photo, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(std::streamoff(fs::file_size(photo) / 2));
             f << "edited";
         },
         "it changed since its copy was made"}};
    for (const auto &[name, change, reason] : rows) {
        SCOPED_TRACE(name);
        TempTree t;
        const fs::path card = t.dir("card"), photo = card / name;
        ASSERT_TRUE(magick({u"-size"_s, u"1200x900"_s, u"plasma:fractal"_s, u"-quality"_s, u"95"_s}, photo));
        ASSERT_GT(fs::file_size(photo), 3 * 64 * 1024u);
        AppModel m(nullptr, quietMachine());
        ASSERT_TRUE(openAndWait(m, card));
        ASSERT_TRUE(markAndWait(m, m.listing().pairs()[0].id()));
        change(photo);
        if (std::string_view(name) == "IMG_0003.JPG") { // listed again: a listing looks at the head and the tail
            ASSERT_TRUE(navigateAndWait(m, card));
            ASSERT_EQ(m.discard().discardableCount(), 1);
        }
        EXPECT_EQ(discardAndWait(m),
                  "Discarded 0 files, 1 failed\nNot moved to the Trash: " + std::string(name) + ": " + reason);
        EXPECT_TRUE(fs::exists(photo));
    }
}

// A listing made while a discard moves files (a breadcrumb click) neither frees the cells being moved nor
// shows files that have left: no cell's only copy can be unmarked away meanwhile.
using DiscardAndListing = ModelTest;
TEST_F(DiscardAndListing, LocksHoldAcrossAListingDuringTheRun)
{
    const fs::path card = t.dir("card");
    constexpr int kCells = 40;
    // The run's first cell is a large original whose copy records every byte: the run reads all of it before
    // it moves anything, which outlasts a listing of the folder even on a loaded machine (sparse: no disk).
    const fs::path large = t.file("card/IMG_0999.JPG", "photo");
    fs::resize_file(large, 256 << 20);
    for (int i = 1; i < kCells; ++i)
        t.file("card/IMG_" + std::to_string(1000 + i) + ".JPG", "photo " + std::to_string(i));
    encoder.open();
    ASSERT_TRUE(openAndWait(m, card));
    for (const MediaPair &p : m.listing().pairs())
        m.marks().toggle(p.id());
    ASSERT_TRUE(waitUntil([&] { return m.discard().discardableCount() == kCells; }));
    ASSERT_TRUE(fs::exists(card / "card_bside/IMG_0999_bside.jpg"));
    const QByteArray record = CopyProvenance::toText({{*CopyProvenance::fully(large)}});
    std::ofstream(card / "card_bside/IMG_0999_bside.jpg", std::ios::binary)
        << CopyProvenance::withJpegComment("\xff\xd8\xff\xd9", record);
    // The first listing is on its way as the run starts, the next ones are asked for while it goes on.
    m.navigate(card);
    m.discardOriginals();
    int listingsDuringTheRun = 0;
    do {
        if (!waitUntil([&] { return !m.listing().isLoading(); }))
            break;
        listingsDuringTheRun += m.discard().isTrashing();
        for (const MediaPair &p : m.listing().pairs())
            m.marks().toggle(p.id()); // refused for every cell whose originals are being moved
        if (m.discard().isTrashing())
            m.navigate(card);
    } while (m.discard().isTrashing());
    ASSERT_TRUE(waitUntil([&] { return !m.discard().isTrashing() && !m.listing().isLoading(); }));
    const auto count = [](const fs::path &dir) { return int(std::distance(fs::directory_iterator(dir), {})); };
    EXPECT_EQ(count(card / "card_bside"), kCells) << "no copy of a moved original was deleted";
    EXPECT_EQ(int(m.listing().pairs().size()), count(card) - 1) << "the grid shows exactly the files that are left";
    EXPECT_GT(listingsDuringTheRun, 0) << "the run ended before a listing could land in it: nothing was tested";
}

} // namespace
