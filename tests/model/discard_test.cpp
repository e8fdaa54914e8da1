#include "model_harness.h"

#include "fake_encoder.h"
#include "testsupport/media_maker.h"

#include <QProcess>
#include <QSemaphore>
#include <QThreadPool>

#include <fstream>

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;

namespace {

QString trashList()
{
    QByteArray out;
    runTool(u"trash-list"_s, {}, &out);
    return QString::fromUtf8(out);
}

class Discard : public ::testing::Test
{
protected:
    void SetUp() override
    {
        t.dir("sub");
        t.file("IMG_1.JPG", "jpg1");
        t.file("IMG_1.CR2", "raw1");
        t.file("b.jpg", "b");
        t.file("c%20 odd.jpg", "c");
        encoder.open();
        ASSERT_TRUE(openAndWait(m, t.root()));
    }
    void markAndWait(const char *name)
    {
        const auto id = pairIdNamed(m, QString::fromUtf8(name));
        ASSERT_TRUE(id);
        m.marks().toggle(*id);
        ASSERT_TRUE(waitUntil([&] {
            const auto it = m.marks().statuses().constFind(*id);
            return it != m.marks().statuses().constEnd() && it->kind() == BsideJobStatus::Case::Completed;
        }));
    }
    bool discardAndWait()
    {
        m.discardOriginals();
        return waitUntil([&] { return !m.discard().isTrashing() && m.discard().lastResult(); });
    }

    TempTree t;
    FakeEncoder encoder;
    AppModel m{nullptr, quietMachine(), encoder.function()};
};

TEST_F(Discard, MovesOriginalsOfCompletedPairsToTheTrash)
{
    if (!haveTool("trash-list"))
        GTEST_SKIP() << "trash-cli is needed";
    markAndWait("IMG_1.CR2+JPG");
    markAndWait("c%20 odd.jpg");
    const auto pairId = pairIdNamed(m, u"IMG_1.CR2+JPG"_s);
    m.cursor().selectByClick(GridSelection::media(*pairId));
    ASSERT_TRUE(discardAndWait());
    EXPECT_EQ(*m.discard().lastResult(), u"已丢弃 3 个文件"_s);
    EXPECT_FALSE(std::filesystem::exists(t.root() / "IMG_1.JPG"));
    EXPECT_FALSE(std::filesystem::exists(t.root() / "IMG_1.CR2"));
    EXPECT_TRUE(std::filesystem::exists(t.root() / "b.jpg"));
    EXPECT_TRUE(std::filesystem::exists(t.root() / (t.root().filename().native() + "_bside") / "IMG_1_bside.jpg"));
    EXPECT_EQ(pairNames(m), (std::vector<std::string>{"b.jpg"}));
    EXPECT_EQ(m.cursor().selection(), GridSelection::folder(m.listing().folders()[0].id)) << "selection moves to the first cell";
    EXPECT_TRUE(m.marks().marked().isEmpty());

    const QString listed = trashList();
    EXPECT_TRUE(listed.contains(QString::fromUtf8((t.root() / "IMG_1.CR2").c_str())));
    EXPECT_TRUE(listed.contains(QString::fromUtf8((t.root() / "c%20 odd.jpg").c_str())))
        << "a name with % must be listed as it is: " << listed.toStdString();
}

TEST_F(Discard, OnlyCompletedPairsAndSecondPressIgnored)
{
    markAndWait("b.jpg");
    m.marks().scheduler().capConcurrency(1);
    m.discardOriginals();
    EXPECT_TRUE(m.discard().isTrashing());
    m.discardOriginals(); // ignored while a run is under way
    ASSERT_TRUE(waitUntil([&] { return !m.discard().isTrashing(); }));
    EXPECT_EQ(*m.discard().lastResult(), u"已丢弃 1 个文件"_s);

    m.discard().clearLastResult();
    m.discardOriginals(); // nothing eligible: no run, no message
    EXPECT_FALSE(m.discard().isTrashing());
    EXPECT_FALSE(m.discard().lastResult());
}

TEST_F(Discard, CopyGoneMissingKeepsTheOriginals)
{
    markAndWait("IMG_1.CR2+JPG");
    markAndWait("b.jpg");
    std::filesystem::remove(t.root() / (t.root().filename().native() + "_bside") / "IMG_1_bside.jpg");
    ASSERT_TRUE(discardAndWait());
    EXPECT_EQ(*m.discard().lastResult(), u"已丢弃 1 个文件，2 个失败\n未移到废纸篓：IMG_1.JPG：它的副本已不存在 等 2 个文件"_s);
    EXPECT_TRUE(std::filesystem::exists(t.root() / "IMG_1.JPG"));
    EXPECT_TRUE(std::filesystem::exists(t.root() / "IMG_1.CR2"));
    EXPECT_FALSE(std::filesystem::exists(t.root() / "b.jpg"));
    EXPECT_EQ(pairNames(m), (std::vector<std::string>{"c%20 odd.jpg", "IMG_1.CR2+JPG"})) << "the cell stays";
    EXPECT_TRUE(m.marks().marked().contains(*pairIdNamed(m, u"IMG_1.CR2+JPG"_s))) << "with its mark";
}

TEST_F(Discard, FileThatCannotMoveIsCountedAndTheRestMove)
{
    markAndWait("IMG_1.CR2+JPG");
    std::filesystem::remove(t.root() / "IMG_1.CR2"); // gone before the run
    ASSERT_TRUE(discardAndWait());
    EXPECT_TRUE(m.discard().lastResult()->startsWith(u"已丢弃 1 个文件，1 个失败\n未移到废纸篓：IMG_1.CR2："_s));
    EXPECT_EQ(pairNames(m), (std::vector<std::string>{"b.jpg", "c%20 odd.jpg", "IMG_1.CR2"}))
        << "what did not move stays, as a cell of its own";
    const auto rest = pairIdNamed(m, u"IMG_1.CR2"_s);
    EXPECT_TRUE(m.marks().marked().contains(*rest));
    EXPECT_EQ(m.discard().discardableCount(), 1);
}

} // namespace

namespace {

// photo.jpg and photo.png would share the plain copy path photo_bside.jpg: each cell has its own instead, a
// copy left at the shared path restores neither, and a discard moves only what was marked.
TEST(SameStemDiscard, OnlyTheMarkedCellIsRestoredAndMoved)
{
    TempTree t;
    const auto card = t.dir("card");
    t.file("card/photo.jpg", "jpeg");
    t.file("card/photo.png", "png");
    t.file("card/card_bside/photo_bside.jpg", "a copy from before, of one of them");
    FakeEncoder encoder;
    encoder.open();
    {
        AppModel m(nullptr, quietMachine(), encoder.function());
        ASSERT_TRUE(openAndWait(m, card));
        EXPECT_TRUE(m.marks().marked().isEmpty()) << "a path that two cells could claim restores no mark";
        m.marks().toggle(*pairIdNamed(m, u"photo.png"_s));
        ASSERT_TRUE(waitUntil([&] { return m.discard().discardableCount() == 1; }));
    }
    EXPECT_TRUE(std::filesystem::exists(card / "card_bside" / "photo_png_bside.jpg"));

    AppModel m(nullptr, quietMachine(), encoder.function());
    ASSERT_TRUE(openAndWait(m, card));
    ASSERT_EQ(m.marks().marked().size(), 1);
    EXPECT_TRUE(m.marks().marked().contains(*pairIdNamed(m, u"photo.png"_s)));
    m.discardOriginals();
    ASSERT_TRUE(waitUntil([&] { return !m.discard().isTrashing() && m.discard().lastResult(); }));
    EXPECT_EQ(*m.discard().lastResult(), u"已丢弃 1 个文件"_s);
    EXPECT_TRUE(std::filesystem::exists(card / "photo.jpg"));
    EXPECT_FALSE(std::filesystem::exists(card / "photo.png"));
}

// Thumbnails and previews decode on the shared pool; a decode that never returns must leave listing and
// discarding working.
TEST(BusySharedPool, ListingAndDiscardStillRun)
{
    QThreadPool *shared = QThreadPool::globalInstance();
    QSemaphore release;
    for (int i = 0; i < shared->maxThreadCount(); ++i)
        shared->start([&release] { release.acquire(); });

    TempTree t;
    t.file("a.jpg", "a");
    FakeEncoder encoder;
    encoder.open();
    AppModel m(nullptr, quietMachine(), encoder.function());
    m.openRoot(t.root());
    const bool listed = waitUntil([&] { return !m.listing().isLoading() && m.listing().pairs().size() == 1; }, 10000);
    bool discarded = false;
    if (listed) {
        m.marks().toggle(m.listing().pairs()[0].id());
        discarded = waitUntil([&] { return m.discard().discardableCount() == 1; }, 10000);
        m.discardOriginals();
        discarded = discarded && waitUntil([&] { return m.discard().lastResult().has_value(); }, 10000);
    }
    release.release(shared->maxThreadCount());
    shared->waitForDone();
    EXPECT_TRUE(listed);
    EXPECT_TRUE(discarded);
}

} // namespace

namespace {

bool completed(const AppModel &m, const QUuid &id)
{
    const auto it = m.marks().statuses().constFind(id);
    return it != m.marks().statuses().constEnd() && it->kind() == BsideJobStatus::Case::Completed;
}

// The count is what a press moves now: marks of a folder left behind are not counted in the next one,
// and entering a folder again does not count its cells twice.
TEST(DiscardCount, FollowsTheListingShown)
{
    TempTree t;
    t.file("a/1.jpg", "1");
    t.file("a/2.jpg", "2");
    t.file("b/3.jpg", "3");
    FakeEncoder encoder;
    encoder.open();
    AppModel m(nullptr, quietMachine(), encoder.function());
    ASSERT_TRUE(openAndWait(m, t.root() / "a"));
    for (const MediaPair &p : m.listing().pairs())
        m.marks().toggle(p.id());
    ASSERT_TRUE(waitUntil([&] { return m.discard().discardableCount() == 2; }));
    ASSERT_TRUE(navigateAndWait(m, t.root() / "b"));
    EXPECT_EQ(m.discard().discardableCount(), 0);
    EXPECT_TRUE(m.marks().marked().isEmpty()) << "ids no listing holds are dropped";
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(navigateAndWait(m, t.root() / "a"));
        EXPECT_EQ(m.discard().discardableCount(), 2) << "marks are rebuilt from the copies, once";
    }
    m.discardOriginals();
    ASSERT_TRUE(waitUntil([&] { return m.discard().lastResult().has_value(); }));
    EXPECT_EQ(*m.discard().lastResult(), u"已丢弃 2 个文件"_s);
    EXPECT_EQ(m.discard().discardableCount(), 0);
}

// A cell listed again while its copy is being made shows marked and copying; unmarking it then cancels
// that very job, so no copy comes back to mark it again.
TEST(CopyJobsAcrossListings, FollowTheirCellAndObeyItsUnmark)
{
    TempTree t;
    t.file("a/1.jpg", "1");
    t.dir("b");
    FakeEncoder encoder; // holds every job until opened
    AppModel m(nullptr, quietMachine(), encoder.function());
    ASSERT_TRUE(openAndWait(m, t.root() / "a"));
    m.marks().toggle(m.listing().pairs()[0].id());
    ASSERT_TRUE(waitUntil([&] { return encoder.started() == 1; }));
    ASSERT_TRUE(navigateAndWait(m, t.root() / "b"));
    ASSERT_TRUE(navigateAndWait(m, t.root() / "a"));
    const QUuid again = m.listing().pairs()[0].id();
    EXPECT_TRUE(m.marks().marked().contains(again));
    EXPECT_EQ(m.marks().statuses().value(again, BsideJobStatus::queued()).kind(), BsideJobStatus::Case::Running);

    m.marks().toggle(again);
    encoder.open();
    ASSERT_TRUE(waitUntil([&] { return m.marks().progress().isIdle() && m.marks().statuses().isEmpty(); }));
    ASSERT_TRUE(navigateAndWait(m, t.root() / "a"));
    EXPECT_TRUE(m.marks().marked().isEmpty());
    EXPECT_FALSE(std::filesystem::exists(t.root() / "a" / "a_bside" / "1_bside.jpg"));
}

// A copy finished for a folder the user has left is kept: the mark comes back when the folder is listed.
TEST(CopyJobsAcrossListings, FinishedInAFolderLeftBehindKeepItsMark)
{
    TempTree t;
    t.file("a/1.jpg", "1");
    t.dir("b");
    FakeEncoder encoder;
    AppModel m(nullptr, quietMachine(), encoder.function());
    ASSERT_TRUE(openAndWait(m, t.root() / "a"));
    m.marks().toggle(m.listing().pairs()[0].id());
    ASSERT_TRUE(waitUntil([&] { return encoder.started() == 1; }));
    ASSERT_TRUE(navigateAndWait(m, t.root() / "b"));
    encoder.open();
    ASSERT_TRUE(waitUntil([&] { return m.marks().progress().isIdle() && m.marks().progress().completed == 1; }));
    ASSERT_TRUE(navigateAndWait(m, t.root() / "a"));
    EXPECT_EQ(m.discard().discardableCount(), 1);
}

// Unmarking a cell whose originals are on their way to the Trash would delete its only copy.
TEST_F(Discard, MarksOfCellsBeingDiscardedCannotChange)
{
    markAndWait("b.jpg");
    const QUuid id = *pairIdNamed(m, u"b.jpg"_s);
    m.discardOriginals();
    ASSERT_TRUE(m.discard().isTrashing());
    m.marks().toggle(id); // the result is applied only once events run again: the run is still under way
    m.cursor().selectByClick(GridSelection::media(id));
    m.markCurrentAndAdvance(false);
    EXPECT_TRUE(m.marks().marked().contains(id));
    EXPECT_TRUE(std::filesystem::exists(t.root() / (t.root().filename().native() + "_bside") / "b_bside.jpg"));
    ASSERT_TRUE(waitUntil([&] { return !m.discard().isTrashing(); }));
    EXPECT_EQ(*m.discard().lastResult(), u"已丢弃 1 个文件"_s);
}

TEST_F(Discard, SkippedCellsAreCountedWithTheirReason)
{
    markAndWait("b.jpg");
    encoder.setMode(FakeEncoder::Mode::Fail);
    m.marks().toggle(*pairIdNamed(m, u"c%20 odd.jpg"_s));
    ASSERT_TRUE(waitUntil([&] { return !m.marks().failed().isEmpty(); }));
    m.marks().scheduler().capConcurrency(0);
    m.marks().toggle(*pairIdNamed(m, u"IMG_1.CR2+JPG"_s)); // stays queued: no job may run
    const int64_t before = m.listing().currentDirBytes();
    ASSERT_TRUE(discardAndWait());
    EXPECT_EQ(*m.discard().lastResult(), u"已丢弃 1 个文件\n跳过 2 个已标记项：副本未完成 1，副本失败 1"_s);
    EXPECT_EQ(m.listing().currentDirBytes(), before - 1) << "the size figure follows the file that left";
}

// The failures shown are those that still stand.
TEST_F(Discard, FailureCountFollowsTheFailedCells)
{
    encoder.setMode(FakeEncoder::Mode::Fail);
    const QUuid id = *pairIdNamed(m, u"b.jpg"_s);
    m.marks().toggle(id);
    ASSERT_TRUE(waitUntil([&] { return m.marks().progress().failed == 1; }));
    m.marks().toggle(id);
    EXPECT_EQ(m.marks().progress().failed, 0);
}

// A volume the Trash cannot reach (tmpfs is a system mount to GIO): the cells stay, marked, and the
// message says why.
TEST(DiscardRefused, CellsStayWithTheirMarkAndTheReasonIsShown)
{
    const std::filesystem::path shm = "/dev/shm";
    if (!std::filesystem::is_directory(shm))
        GTEST_SKIP() << "no tmpfs at /dev/shm";
    const auto dir = shm / ("vorlane-test-" + QUuid::createUuid().toString(QUuid::Id128).toStdString());
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "a.jpg") << "a";
    FakeEncoder encoder;
    encoder.open();
    {
        AppModel m(nullptr, quietMachine(), encoder.function());
        ASSERT_TRUE(openAndWait(m, dir));
        const QUuid id = m.listing().pairs()[0].id();
        m.marks().toggle(id);
        ASSERT_TRUE(waitUntil([&] { return completed(m, id); }));
        m.discardOriginals();
        ASSERT_TRUE(waitUntil([&] { return m.discard().lastResult().has_value(); }));
        EXPECT_TRUE(m.discard().lastResult()->startsWith(u"已丢弃 0 个文件，1 个失败\n未移到废纸篓：a.jpg："_s))
            << m.discard().lastResult()->toStdString();
        EXPECT_GT(m.discard().lastResult()->size(), 30) << "GIO's reason follows";
        EXPECT_EQ(m.listing().pairs().size(), 1);
        EXPECT_TRUE(m.marks().marked().contains(id));
        EXPECT_TRUE(std::filesystem::exists(dir / "a.jpg"));
    }
    std::filesystem::remove_all(dir);
}

} // namespace
