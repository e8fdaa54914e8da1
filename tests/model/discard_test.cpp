#include "model_harness.h"

#include "fake_encoder.h"
#include "testsupport/media_maker.h"

#include <QProcess>
#include <QSemaphore>
#include <QThreadPool>

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
        m.toggleMark(*id);
        ASSERT_TRUE(waitUntil([&] {
            const auto it = m.jobStatus().constFind(*id);
            return it != m.jobStatus().constEnd() && it->kind() == BsideJobStatus::Case::Completed;
        }));
    }
    bool discardAndWait()
    {
        m.discardOriginals();
        return waitUntil([&] { return !m.isTrashing() && m.lastTrashResult(); });
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
    m.selectByClick(GridSelection::media(*pairId));
    ASSERT_TRUE(discardAndWait());
    EXPECT_EQ(*m.lastTrashResult(), u"已丢弃 3 个文件"_s);
    EXPECT_FALSE(std::filesystem::exists(t.root() / "IMG_1.JPG"));
    EXPECT_FALSE(std::filesystem::exists(t.root() / "IMG_1.CR2"));
    EXPECT_TRUE(std::filesystem::exists(t.root() / "b.jpg"));
    EXPECT_TRUE(std::filesystem::exists(t.root() / (t.root().filename().native() + "_bside") / "IMG_1_bside.jpg"));
    EXPECT_EQ(pairNames(m), (std::vector<std::string>{"b.jpg"}));
    EXPECT_EQ(m.selection(), GridSelection::folder(m.folders()[0].id)) << "selection moves to the first cell";
    EXPECT_TRUE(m.markedPairIds().isEmpty());

    const QString listed = trashList();
    EXPECT_TRUE(listed.contains(QString::fromUtf8((t.root() / "IMG_1.CR2").c_str())));
    EXPECT_TRUE(listed.contains(QString::fromUtf8((t.root() / "c%20 odd.jpg").c_str())))
        << "a name with % must be listed as it is: " << listed.toStdString();
}

TEST_F(Discard, OnlyCompletedPairsAndSecondPressIgnored)
{
    markAndWait("b.jpg");
    m.scheduler().capConcurrency(1);
    m.discardOriginals();
    EXPECT_TRUE(m.isTrashing());
    m.discardOriginals(); // ignored while a run is under way
    ASSERT_TRUE(waitUntil([&] { return !m.isTrashing(); }));
    EXPECT_EQ(*m.lastTrashResult(), u"已丢弃 1 个文件"_s);

    m.clearLastTrashResult();
    m.discardOriginals(); // nothing eligible: no run, no message
    EXPECT_FALSE(m.isTrashing());
    EXPECT_FALSE(m.lastTrashResult());
}

TEST_F(Discard, CopyGoneMissingKeepsTheOriginals)
{
    markAndWait("IMG_1.CR2+JPG");
    markAndWait("b.jpg");
    std::filesystem::remove(t.root() / (t.root().filename().native() + "_bside") / "IMG_1_bside.jpg");
    ASSERT_TRUE(discardAndWait());
    EXPECT_EQ(*m.lastTrashResult(), u"已丢弃 1 个文件，2 个失败"_s);
    EXPECT_TRUE(std::filesystem::exists(t.root() / "IMG_1.JPG"));
    EXPECT_TRUE(std::filesystem::exists(t.root() / "IMG_1.CR2"));
    EXPECT_FALSE(std::filesystem::exists(t.root() / "b.jpg"));
}

TEST_F(Discard, FileThatCannotMoveIsCountedAndTheRestMove)
{
    markAndWait("IMG_1.CR2+JPG");
    std::filesystem::remove(t.root() / "IMG_1.CR2"); // gone before the run
    ASSERT_TRUE(discardAndWait());
    EXPECT_EQ(*m.lastTrashResult(), u"已丢弃 1 个文件，1 个失败"_s);
    EXPECT_TRUE(pairNames(m) == (std::vector<std::string>{"b.jpg", "c%20 odd.jpg"}));
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
        EXPECT_TRUE(m.markedPairIds().isEmpty()) << "a path that two cells could claim restores no mark";
        m.toggleMark(*pairIdNamed(m, u"photo.png"_s));
        ASSERT_TRUE(waitUntil([&] { return m.discardableCount() == 1; }));
    }
    EXPECT_TRUE(std::filesystem::exists(card / "card_bside" / "photo_png_bside.jpg"));

    AppModel m(nullptr, quietMachine(), encoder.function());
    ASSERT_TRUE(openAndWait(m, card));
    ASSERT_EQ(m.markedPairIds().size(), 1);
    EXPECT_TRUE(m.markedPairIds().contains(*pairIdNamed(m, u"photo.png"_s)));
    m.discardOriginals();
    ASSERT_TRUE(waitUntil([&] { return !m.isTrashing() && m.lastTrashResult(); }));
    EXPECT_EQ(*m.lastTrashResult(), u"已丢弃 1 个文件"_s);
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
    const bool listed = waitUntil([&] { return !m.isLoading() && m.pairs().size() == 1; }, 10000);
    bool discarded = false;
    if (listed) {
        m.toggleMark(m.pairs()[0].id());
        discarded = waitUntil([&] { return m.discardableCount() == 1; }, 10000);
        m.discardOriginals();
        discarded = discarded && waitUntil([&] { return m.lastTrashResult().has_value(); }, 10000);
    }
    release.release(shared->maxThreadCount());
    shared->waitForDone();
    EXPECT_TRUE(listed);
    EXPECT_TRUE(discarded);
}

} // namespace
