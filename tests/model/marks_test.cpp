#include "catalogue/copy_provenance.h"
#include "testsupport/model_support.h"

#include <QSemaphore>
#include <QThreadPool>

#include <fstream>

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;
namespace fs = std::filesystem;
using Case = BsideJobStatus::Case;

namespace {

// A folder, two RAW+JPEG pairs, a photo and a photo whose name holds a '%'; copies made by the fake encoder.
class Discard : public ModelTest
{
protected:
    void SetUp() override
    {
        freshTrash();
        t.dir("sub");
        for (const char *name : {"IMG_1.JPG", "IMG_1.CR2", "IMG_2.JPG", "IMG_2.CR2", "b.jpg", "c%20 odd.jpg"})
            t.file(name, name);
        encoder.open();
        ASSERT_TRUE(openAndWait(m, t.root()));
    }
    void mark(std::initializer_list<const char *> names)
    {
        for (const char *name : names)
            ASSERT_TRUE(markAndWait(m, id(name))) << name;
    }
};

// Ctrl+Z puts the last run's originals back where they were, and their cells come back marked from their
// copies; a file whose place is taken meanwhile, or that was emptied from the Trash, stays out with a reason.
TEST_F(Discard, UndoPutsTheLastRunBackAndSaysWhatItCannot)
{
    mark({"IMG_1.CR2+JPG", "b.jpg", "c%20 odd.jpg"});
    EXPECT_EQ(discardAndWait(m), "Discarded 4 files");
    ASSERT_EQ(m.undoable(), AppModel::Undoable::Discard);
    t.file("b.jpg", "a new photo in its place");
    const fs::path trashed = fs::path(qgetenv("XDG_DATA_HOME").toStdString()) / "Trash" / "files" / "c%20 odd.jpg";
    ASSERT_TRUE(fs::remove(trashed)) << "emptied from the Trash meanwhile";
    EXPECT_EQ(undoAndWait(m), "Put back 2 files, 2 not\nb.jpg: another file now has its name there and 1 more");
    EXPECT_EQ(m.undoable(), AppModel::Undoable::Nothing);
    EXPECT_EQ(test::readFile(t.root() / "IMG_1.CR2"), "IMG_1.CR2");
    EXPECT_EQ(test::readFile(t.root() / "b.jpg"), "a new photo in its place") << "never overwritten";
    EXPECT_TRUE(m.marks().marked().contains(id("IMG_1.CR2+JPG"))) << "marked again from its copy";
}

// A discard with the preview open shows the cell that took the discarded one's place, not another photo.
TEST_F(Discard, ThePreviewStaysInPlace)
{
    mark({"b.jpg", "IMG_2.CR2+JPG"});
    m.cursor().selectByClick(GridSelection::media(id("c%20 odd.jpg")));
    m.cursor().openPreview();
    discardAndWait(m);
    EXPECT_EQ(nameOf(m, m.cursor().previewedPairId()), "c%20 odd.jpg");
    m.cursor().selectByClick(GridSelection::media(id("IMG_1.CR2+JPG")));
    m.cursor().closePreview();
    m.cursor().openPreview();
    ASSERT_EQ(pairNames(m), (std::vector<std::string>{"c%20 odd.jpg", "IMG_1.CR2+JPG"}));
    mark({"IMG_1.CR2+JPG"});
    discardAndWait(m);
    EXPECT_EQ(nameOf(m, m.cursor().previewedPairId()), "c%20 odd.jpg") << "the last one gone: the one before";
}

// A marked original no decoder reads goes only with the user's consent, which is asked with the list; one whose
// copy failed for another reason is never offered, and a file changed since its copy failed stays. Ctrl+Z
// brings a broken original back like any other.
TEST_F(Discard, BrokenOriginalsGoOnlyWithConsent)
{
    mark({"b.jpg"});
    encoder.setMode(FakeEncoder::Mode::Fail); // a full disk, say
    m.marks().toggle(id("IMG_2.CR2+JPG"));
    ASSERT_TRUE(waitUntil([&] { return statusOf(m, id("IMG_2.CR2+JPG")) == Case::Failed; }));
    encoder.setMode(FakeEncoder::Mode::Undecodable);
    m.marks().toggle(id("c%20 odd.jpg"));
    ASSERT_TRUE(waitUntil([&] { return statusOf(m, id("c%20 odd.jpg")) == Case::Failed; }));
    const QList<DiscardRun::Broken> broken = m.discard().brokenOriginals();
    ASSERT_EQ(broken.size(), 1) << "a failure of another kind is never offered";
    EXPECT_EQ(broken.first().originals, QList<fs::path>{t.root() / "c%20 odd.jpg"});
    EXPECT_EQ(broken.first().reason, u"boom"_s);

    QList<AppModel::Consent> answers{AppModel::Consent::Cancel, AppModel::Consent::AlsoBroken};
    int asked = 0;
    m.setConsent([&](const QList<DiscardRun::Broken> &list, int withCopies) {
        ++asked;
        EXPECT_EQ(list.size(), 1);
        EXPECT_EQ(withCopies, 1);
        return answers.takeFirst();
    });
    m.discardOriginals();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(m.discard().isTrashing()) << "cancelled: nothing moves";
    discardAndWait(m);
    EXPECT_FALSE(fs::exists(t.root() / "c%20 odd.jpg") || fs::exists(t.root() / "b.jpg"));
    EXPECT_TRUE(fs::exists(t.root() / "IMG_2.JPG")) << "its copy failed on a full disk: it stays";
    undoAndWait(m);
    EXPECT_EQ(test::readFile(t.root() / "c%20 odd.jpg"), "c%20 odd.jpg");

    // Changed since its copy failed: the file consented to is no longer the file there.
    m.marks().toggle(id("c%20 odd.jpg"));
    ASSERT_TRUE(waitUntil([&] { return m.discard().brokenOriginals().size() == 1; }));
    t.file("c%20 odd.jpg", "rewritten by another program");
    m.setConsent([](const QList<DiscardRun::Broken> &, int) { return AppModel::Consent::AlsoBroken; });
    const std::string result = discardAndWait(m);
    EXPECT_NE(result.find("it changed since its copy failed"), std::string::npos) << result;
    EXPECT_EQ(test::readFile(t.root() / "c%20 odd.jpg"), "rewritten by another program");

    m.setConsent({}); // no one to ask: broken originals stay
    m.discardOriginals();
    EXPECT_TRUE(fs::exists(t.root() / "c%20 odd.jpg"));
}

// The consent covers the cells it listed: a copy that fails as undecodable while the question is open waits
// for the next press.
TEST_F(Discard, ConsentCoversOnlyWhatItListed)
{
    encoder.setMode(FakeEncoder::Mode::Undecodable);
    m.marks().toggle(id("b.jpg"));
    ASSERT_TRUE(waitUntil([&] { return m.discard().brokenOriginals().size() == 1; }));
    m.setConsent([&](const QList<DiscardRun::Broken> &listed, int) {
        EXPECT_EQ(listed.size(), 1);
        m.marks().toggle(id("c%20 odd.jpg")); // fails while the question is open
        EXPECT_TRUE(waitUntil([&] { return m.discard().brokenOriginals().size() == 2; }));
        return AppModel::Consent::AlsoBroken;
    });
    discardAndWait(m);
    EXPECT_FALSE(fs::exists(t.root() / "b.jpg"));
    EXPECT_TRUE(fs::exists(t.root() / "c%20 odd.jpg")) << "never listed, never agreed to";
    EXPECT_TRUE(m.marks().marked().contains(id("c%20 odd.jpg")));
}

// Quitting with copies unfinished: they are named, and giving them up drops their marks and stops their jobs.
TEST_F(Discard, UnfinishedCopiesAreKnownAndCanBeGivenUp)
{
    FakeEncoder held;
    AppModel waiting{nullptr, quietMachine(), held.function()};
    ASSERT_TRUE(openAndWait(waiting, t.root()));
    EXPECT_TRUE(waiting.marks().unfinished().isEmpty());
    for (const char *name : {"b.jpg", "IMG_1.CR2+JPG"})
        waiting.marks().toggle(pairIdNamed(waiting, QString::fromUtf8(name)));
    EXPECT_EQ(waiting.marks().unfinished(), (QList<fs::path>{t.root() / "IMG_1.JPG", t.root() / "b.jpg"}));
    ASSERT_TRUE(navigateAndWait(waiting, t.root() / "sub"));
    EXPECT_EQ(waiting.marks().unfinished().size(), 2) << "a folder left keeps its jobs";
    EXPECT_EQ(waiting.marks().abandonUnfinished().size(), 2);
    EXPECT_TRUE(waiting.marks().unfinished().isEmpty());
    held.open();
    ASSERT_TRUE(waitUntil([&] { return waiting.marks().scheduler().progress().isIdle(); }));
    EXPECT_FALSE(fs::exists(copies() / "b_bside.jpg")) << "a job given up makes no copy";
}

// Whatever cannot move stays, marked: a cell whose copy has gone keeps all its originals, a pair of which one
// file cannot move leaves that file as a cell of its own. The message counts both and gives the first reason.
TEST_F(Discard, WhatCannotMoveStaysMarked)
{
    mark({"IMG_1.CR2+JPG", "IMG_2.CR2+JPG", "b.jpg"});
    fs::remove(copies() / "IMG_1_bside.jpg");
    fs::remove(t.root() / "IMG_2.CR2"); // gone before the run
    EXPECT_EQ(discardAndWait(m),
              "Discarded 2 files, 3 failed\nNot moved to the Trash: IMG_1.JPG: its copy no longer exists and 2 more");
    EXPECT_TRUE(fs::exists(t.root() / "IMG_1.JPG") && fs::exists(t.root() / "IMG_1.CR2"));
    EXPECT_FALSE(fs::exists(t.root() / "b.jpg") || fs::exists(t.root() / "IMG_2.JPG"));
    EXPECT_EQ(pairNames(m), (std::vector<std::string>{"c%20 odd.jpg", "IMG_1.CR2+JPG", "IMG_2.CR2"}));
    EXPECT_TRUE(m.marks().marked().contains(id("IMG_1.CR2+JPG")));
    EXPECT_TRUE(m.marks().marked().contains(id("IMG_2.CR2")));
    EXPECT_EQ(m.discard().discardableCount(), 2);
}

// A run takes the marked cells whose copy is complete and counts the others with their reason. While it runs,
// its cells can be neither unmarked (that would delete their only copy) nor marked, and a second press is
// ignored; the size figure follows the files that left.
TEST_F(Discard, ARunTakesCompletedCellsAndHoldsThemUntilItEnds)
{
    mark({"b.jpg"});
    encoder.setMode(FakeEncoder::Mode::Fail);
    m.marks().toggle(id("c%20 odd.jpg"));
    ASSERT_TRUE(waitUntil([&] { return !m.marks().failed().isEmpty(); }));
    m.marks().toggle(id("IMG_1.CR2+JPG")); // queued: its status moves only once events run
    const int64_t before = m.listing().currentDirBytes();
    const QUuid b = id("b.jpg");
    m.discardOriginals();
    ASSERT_TRUE(m.discard().isTrashing());
    m.discardOriginals();
    m.marks().toggle(b); // the result is applied only once events run again: the run is still under way
    m.cursor().selectByClick(GridSelection::media(b));
    m.markCurrentAndAdvance(false);
    EXPECT_TRUE(m.marks().marked().contains(b));
    EXPECT_TRUE(fs::exists(copies() / "b_bside.jpg"));
    ASSERT_TRUE(waitUntil([&] { return !m.discard().isTrashing(); }));
    EXPECT_EQ(m.discard().lastResult(), u"Discarded 1 file\nSkipped 2 marked cells: copies not finished 1, copies failed 1"_s);
    EXPECT_EQ(m.listing().currentDirBytes(), before - 5) << "b.jpg held five bytes";
    ASSERT_TRUE(waitUntil([&] { return m.marks().failed().size() == 2; })); // the queued job has run and failed
    m.discard().clearLastResult();
    EXPECT_EQ(discardAndWait(m), "No originals to discard\nSkipped 2 marked cells: copies failed 2");
}

// photo.jpg and photo.png would share the plain copy path photo_bside.jpg: each cell has its own instead, a
// copy left at the shared path restores neither, and a discard moves only what was marked. Marks come back
// from the copies on disk after a restart, and unmarking deletes the copy. The copies are real here.
TEST(MarksAcrossRestarts, RestoredFromTheirOwnCopiesOnly)
{
    VORLANE_REQUIRE_TOOLS("convert");
    TempTree t;
    const auto card = t.dir("card");
    ASSERT_TRUE(makeJpeg(card / "IMG_1.JPG", 640, 480));
    t.file("card/IMG_1.CR2", "not decoded: the pair is copied from its JPEG");
    ASSERT_TRUE(makeJpeg(card / "photo.jpg", 64, 48));
    ASSERT_TRUE(magick({u"-size"_s, u"64x48"_s, u"xc:red"_s}, card / "photo.png"));
    t.file("card/card_bside/photo_bside.jpg", "a copy from before, of one of them");
    {
        AppModel m(nullptr, quietMachine());
        ASSERT_TRUE(openAndWait(m, card));
        EXPECT_TRUE(m.marks().marked().isEmpty()) << "a path that two cells could claim restores no mark";
        m.marks().toggle(pairIdNamed(m, u"IMG_1.CR2+JPG"_s));
        m.cursor().selectByClick(GridSelection::media(pairIdNamed(m, u"photo.png"_s)));
        m.markCurrentAndAdvance(false);
        ASSERT_TRUE(waitUntil([&] { return m.discard().discardableCount() == 2 && m.marks().progress().isIdle(); }));
        EXPECT_EQ(m.marks().progress().completed, 2);
    }
    EXPECT_GT(fs::file_size(card / "card_bside" / "IMG_1_bside.jpg"), 0u);
    EXPECT_TRUE(fs::exists(card / "card_bside" / "photo_png_bside.jpg"));

    AppModel m(nullptr, quietMachine());
    ASSERT_TRUE(openAndWait(m, card));
    EXPECT_EQ(m.marks().marked(), (QSet<QUuid>{pairIdNamed(m, u"IMG_1.CR2+JPG"_s), pairIdNamed(m, u"photo.png"_s)}));
    EXPECT_EQ(statusOf(m, pairIdNamed(m, u"photo.png"_s)), BsideJobStatus::Case::Completed);
    m.marks().toggle(pairIdNamed(m, u"IMG_1.CR2+JPG"_s));
    EXPECT_FALSE(fs::exists(card / "card_bside" / "IMG_1_bside.jpg")) << "unmarking deletes the copy";
    EXPECT_FALSE(statusOf(m, pairIdNamed(m, u"IMG_1.CR2+JPG"_s)));
    EXPECT_EQ(discardAndWait(m), "Discarded 1 file");
    EXPECT_TRUE(fs::exists(card / "photo.jpg") && fs::exists(card / "IMG_1.JPG"));
    EXPECT_FALSE(fs::exists(card / "photo.png"));
}

// Copy jobs follow their cell across listings: a cell listed again while its copy is being made shows marked
// and copying, and unmarking it then cancels that very job, so no copy comes back to mark it again; a copy
// that finishes for a folder the user has left keeps its mark for when the folder is listed again. The
// discard count is what a press moves now: nothing of a folder left behind, and a folder's cells once however
// often it is entered.
using CopyJobsAcrossListings = ModelTest; // the fake encoder holds every job until opened
TEST_F(CopyJobsAcrossListings, FollowTheirCellAndTheDiscardCountFollowsTheListing)
{
    // Thumbnails and previews decode on the shared pool; a decode that never returns there must leave listing,
    // copying and discarding working, so every thread of that pool is kept busy meanwhile.
    struct BusyPool
    {
        QSemaphore release;
        QThreadPool *pool = QThreadPool::globalInstance();
        BusyPool()
        {
            for (int i = 0; i < pool->maxThreadCount(); ++i)
                pool->start([this] { release.acquire(); });
        }
        ~BusyPool()
        {
            release.release(pool->maxThreadCount());
            pool->waitForDone();
        }
    } busy;
    t.file("a/1.jpg", "1");
    t.file("a/2.jpg", "2");
    t.file("b/3.jpg", "3");
    ASSERT_TRUE(openAndWait(m, t.root() / "a"));
    for (const MediaPair &p : m.listing().pairs())
        m.marks().toggle(p.id());
    ASSERT_TRUE(waitUntil([&] { return encoder.started() == 2; }));
    ASSERT_TRUE(navigateAndWait(m, t.root() / "b"));
    ASSERT_TRUE(navigateAndWait(m, t.root() / "a"));
    for (const MediaPair &p : m.listing().pairs())
        EXPECT_TRUE(m.marks().marked().contains(p.id()) && statusOf(m, p.id()) == BsideJobStatus::Case::Running);
    m.marks().toggle(pairIdNamed(m, u"1.jpg"_s));
    ASSERT_TRUE(navigateAndWait(m, t.root() / "b"));
    encoder.open();
    // The job stopped by the unmarking is not counted as done.
    ASSERT_TRUE(waitUntil([&] { return m.marks().progress().isIdle() && m.marks().progress().total == 1; }));
    EXPECT_EQ(m.marks().progress().completed, 1);
    EXPECT_EQ(m.discard().discardableCount(), 0);
    EXPECT_TRUE(m.marks().marked().isEmpty()) << "ids no listing holds are dropped";
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(navigateAndWait(m, t.root() / "a"));
        EXPECT_EQ(m.marks().marked(), QSet<QUuid>{pairIdNamed(m, u"2.jpg"_s)});
        EXPECT_EQ(m.discard().discardableCount(), 1) << "marks are rebuilt from the copies, once";
    }
    EXPECT_FALSE(fs::exists(t.root() / "a" / "a_bside" / "1_bside.jpg"));
    EXPECT_EQ(discardAndWait(m), "Discarded 1 file");
    EXPECT_EQ(m.discard().discardableCount(), 0);
}

// A volume the Trash cannot reach (tmpfs is a system mount to GIO): the cells stay, marked, and the message
// says why.
TEST(DiscardRefused, CellsStayWithTheirMarkAndTheReasonIsShown)
{
    if (!fs::is_directory("/dev/shm"))
        GTEST_SKIP() << "no tmpfs at /dev/shm";
    const fs::path dir = "/dev/shm/vorlane-test-" + QUuid::createUuid().toString(QUuid::Id128).toStdString();
    fs::create_directories(dir);
    std::ofstream(dir / "a.jpg") << "a";
    FakeEncoder encoder;
    encoder.open();
    {
        AppModel m(nullptr, quietMachine(), encoder.function());
        ASSERT_TRUE(openAndWait(m, dir));
        const QUuid id = m.listing().pairs()[0].id();
        m.marks().toggle(id);
        ASSERT_TRUE(waitUntil([&] { return m.discard().discardableCount() == 1; }));
        const std::string prefix = "Discarded 0 files, 1 failed\nNot moved to the Trash: a.jpg: ";
        const std::string result = discardAndWait(m);
        EXPECT_TRUE(result.starts_with(prefix) && result.size() > prefix.size()) << result << " (GIO's reason follows)";
        EXPECT_EQ(m.listing().pairs().size(), 1);
        EXPECT_TRUE(m.marks().marked().contains(id));
        EXPECT_TRUE(fs::exists(dir / "a.jpg"));
    }
    fs::remove_all(dir);
}

// Two cells, their copy jobs held by the fake encoder, one at a time.
class MarkingStates : public ModelTest
{
protected:
    void SetUp() override
    {
        t.file("a.jpg", "a");
        t.file("b.jpg", "b");
        ASSERT_TRUE(openAndWait(m, t.root()));
        m.marks().scheduler().capConcurrency(1);
        a = m.listing().pairs()[0].id();
        b = m.listing().pairs()[1].id();
    }
    // Marks a and unmarks it while its job runs; the job then ends as the encoder's mode says.
    void unmarkWhileRunning(FakeEncoder::Mode mode)
    {
        encoder.setMode(mode);
        m.marks().toggle(a);
        ASSERT_TRUE(waitUntil([&] { return statusOf(m, a) == Case::Running; }));
        m.marks().toggle(a);
        encoder.open();
    }
    bool copyOfAExists() const { return fs::exists(copies() / "a_bside.jpg"); }

    QUuid a, b;
};

// Unmarking removes only the cell's own copy. A copy that names another photo (a reused name: the grey badge),
// or whose originals cannot be read right now, stays where it is, whatever the job that would have set it
// aside is doing; a folder at the copy path is no copy and no mark.
struct UnmarkRow
{
    const char *name;
    std::function<void(const fs::path &copy)> plant; // what lies at a_bside.jpg before the listing
    bool listedMarked;
    bool copyStays; // after D, D with the job still waiting
};

using Unmarking = WithRows<MarkingStates, UnmarkRow>;

TEST_P(Unmarking, RemovesOnlyTheCellsOwnCopy)
{
    const UnmarkRow &row = GetParam();
    const fs::path copy = copies() / "a_bside.jpg";
    fs::create_directories(copy.parent_path());
    row.plant(copy);
    ASSERT_TRUE(navigateAndWait(m, t.root()));
    a = id("a.jpg");
    EXPECT_EQ(m.marks().marked().contains(a), row.listedMarked);
    m.marks().toggle(a);
    EXPECT_FALSE(m.marks().copyOfAnother().contains(a)) << "marked, its own copy is on its way";
    m.marks().toggle(a);
    EXPECT_EQ(fs::exists(copy), row.copyStays);
    EXPECT_EQ(m.marks().copyOfAnother().contains(a), row.name == std::string_view("the copy of another photo under the same name"))
        << "the grey badge comes back with the other photo's copy";
    if (row.copyStays && fs::is_regular_file(copy)) {
        EXPECT_NE(readFile(copy), "") << "unchanged";
    }
}

using vorlane::test::PrintTo;
INSTANTIATE_TEST_SUITE_P(
    Rows, Unmarking,
    ::testing::Values(
        UnmarkRow{"a copy made before copies named their source",
                  [](const fs::path &copy) { std::ofstream(copy) << "an old copy"; }, true, false},
        UnmarkRow{"the copy of another photo under the same name",
                  [](const fs::path &copy) {
                      const QByteArray other = "vorlane-source size=1 head64k-sha256=" + QByteArray(64, 'a');
                      std::ofstream(copy, std::ios::binary) << CopyProvenance::withJpegComment("\xff\xd8\xff\xd9", other);
                  },
                  false, true},
        UnmarkRow{"a folder", [](const fs::path &copy) { fs::create_directory(copy); }, false, true}),
    RowName());

// A cell whose originals another program moved or deleted since the listing: its copy is all that is left of
// them, and unmarking keeps it.
TEST_F(MarkingStates, UnmarkingKeepsTheCopyOfOriginalsThatAreGone)
{
    encoder.open();
    ASSERT_TRUE(markAndWait(m, a));
    fs::remove(t.root() / "a.jpg");
    m.marks().toggle(a);
    EXPECT_TRUE(copyOfAExists());
    ASSERT_TRUE(markAndWait(m, b));
    m.marks().toggle(b);
    EXPECT_FALSE(fs::exists(copies() / "b_bside.jpg")) << "with its original there, the copy goes";
}

TEST_F(MarkingStates, UnmarkQueuedAndRunning)
{
    m.marks().toggle(a);
    m.marks().toggle(b);
    ASSERT_TRUE(waitUntil([&] { return statusOf(m, a) == Case::Running; }));
    EXPECT_EQ(statusOf(m, b), Case::Queued);
    EXPECT_EQ(m.marks().scheduler().progress().queued, 1);

    m.marks().toggle(b);
    EXPECT_FALSE(statusOf(m, b)) << "a waiting job's status goes at once";
    ASSERT_TRUE(waitUntil([&] { return m.marks().progress().total == 1 && m.marks().progress().queued == 0; }));

    m.marks().toggle(a);
    EXPECT_EQ(statusOf(m, a), Case::Running) << "a running job settles its own status";
    ASSERT_TRUE(waitUntil([&] { return !statusOf(m, a); }));
    EXPECT_FALSE(copyOfAExists());
    EXPECT_TRUE(m.marks().failed().isEmpty());

    unmarkWhileRunning(FakeEncoder::Mode::IgnoreCancel); // the job writes its copy all the same
    ASSERT_TRUE(waitUntil([&] { return !statusOf(m, a) && m.marks().progress().isIdle(); }));
    EXPECT_FALSE(copyOfAExists()) << "a copy left behind would restore a mark the user removed";
}

// A failure shows even when its cell was unmarked meanwhile, and counts in the progress until an unmark
// clears it.
TEST_F(MarkingStates, FailureShowsEvenWhenUnmarkedAndUnmarkClearsIt)
{
    unmarkWhileRunning(FakeEncoder::Mode::Fail);
    ASSERT_TRUE(waitUntil([&] { return statusOf(m, a) == Case::Failed; }));
    EXPECT_EQ(m.marks().status(a)->message(), QStringLiteral("boom"));
    EXPECT_TRUE(m.marks().failed().contains(a));
    EXPECT_FALSE(m.marks().marked().contains(a));

    m.marks().toggle(a); // marked again: a new job, which fails too
    ASSERT_TRUE(waitUntil([&] { return statusOf(m, a) == Case::Failed && m.marks().marked().contains(a); }));
    ASSERT_TRUE(waitUntil([&] { return m.marks().progress().failed == 1; }));
    m.marks().toggle(a);
    EXPECT_FALSE(statusOf(m, a));
    EXPECT_FALSE(m.marks().failed().contains(a));
    EXPECT_EQ(m.marks().progress().failed, 0);
}

TEST_F(MarkingStates, MarkInPreviewAdvancesAndUnmarkStays)
{
    encoder.open();
    m.cursor().openPreview();
    ASSERT_EQ(m.cursor().previewIndex(), 0);
    m.markCurrentAndAdvance(true);
    EXPECT_EQ(m.cursor().previewIndex(), 1);
    EXPECT_TRUE(m.marks().marked().contains(a));
    m.cursor().previewMove(-1);
    m.markCurrentAndAdvance(true);
    EXPECT_FALSE(m.marks().marked().contains(a));
    EXPECT_EQ(m.cursor().previewIndex(), 0) << "no advance after unmarking";
}

} // namespace
