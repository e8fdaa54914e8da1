#include "model_harness.h"

#include "fake_encoder.h"
#include "testsupport/media_maker.h"

using namespace vorlane;
using namespace vorlane::test;
using Case = BsideJobStatus::Case;

namespace {

std::optional<Case> statusOf(const AppModel &m, const QUuid &id)
{
    const auto it = m.jobStatus().constFind(id);
    return it == m.jobStatus().constEnd() ? std::nullopt : std::optional<Case>(it->kind());
}

TEST(Marking, RealCopyThenRestoreAfterRestart)
{
    if (!haveTool("convert"))
        GTEST_SKIP();
    TempTree t;
    const auto card = t.dir("card");
    ASSERT_TRUE(makeJpeg(card / "IMG_1.JPG", 640, 480));
    t.file("card/IMG_1.CR2", "not decoded: the pair is copied from its JPEG");
    ASSERT_TRUE(makeJpeg(card / "b.jpg", 320, 200));
    const auto copy = card / "card_bside" / "IMG_1_bside.jpg";
    {
        AppModel m(nullptr, quietMachine());
        ASSERT_TRUE(openAndWait(m, card));
        ASSERT_EQ(pairNames(m), (std::vector<std::string>{"b.jpg", "IMG_1.CR2+JPG"}));
        const QUuid pairId = m.pairs()[1].id();
        m.moveSelection(1);
        m.markCurrentAndAdvance(false);
        EXPECT_TRUE(m.markedPairIds().contains(pairId));
        EXPECT_TRUE(statusOf(m, pairId) == Case::Queued || statusOf(m, pairId) == Case::Running);
        EXPECT_EQ(m.selection(), GridSelection::media(m.pairs()[0].id())) << "advanced with wrap-around";
        ASSERT_TRUE(waitUntil([&] { return statusOf(m, pairId) == Case::Completed; }));
        EXPECT_TRUE(std::filesystem::file_size(copy) > 0);
        ASSERT_TRUE(waitUntil([&] { return m.schedulerProgress().completed == 1 && m.schedulerProgress().isIdle(); }));
        EXPECT_EQ(m.discardableCount(), 1);
    }
    AppModel again(nullptr, quietMachine());
    ASSERT_TRUE(openAndWait(again, card));
    const QUuid restored = again.pairs()[1].id();
    EXPECT_TRUE(again.markedPairIds().contains(restored));
    EXPECT_EQ(statusOf(again, restored), Case::Completed);
    EXPECT_TRUE(again.restoredCompleted().contains(restored));
    EXPECT_FALSE(again.markedPairIds().contains(again.pairs()[0].id()));

    again.toggleMark(restored);
    EXPECT_FALSE(std::filesystem::exists(copy)) << "unmarking deletes the copy";
    EXPECT_FALSE(statusOf(again, restored));
    EXPECT_FALSE(again.restoredCompleted().contains(restored));
}

class MarkingStates : public ::testing::Test
{
protected:
    void SetUp() override
    {
        t.file("a.jpg", "a");
        t.file("b.jpg", "b");
        ASSERT_TRUE(openAndWait(m, t.root()));
        m.scheduler().capConcurrency(1);
        a = m.pairs()[0].id();
        b = m.pairs()[1].id();
    }
    std::filesystem::path copyOf(const char *name) { return t.root() / (t.root().filename().native() + "_bside") / name; }

    TempTree t;
    FakeEncoder encoder;
    AppModel m{nullptr, quietMachine(), encoder.function()};
    QUuid a, b;
};

TEST_F(MarkingStates, UnmarkQueuedAndRunning)
{
    m.toggleMark(a);
    m.toggleMark(b);
    ASSERT_TRUE(waitUntil([&] { return statusOf(m, a) == Case::Running; }));
    EXPECT_EQ(statusOf(m, b), Case::Queued);
    EXPECT_EQ(m.scheduler().progress().queued, 1) << "a job that cannot start yet sends no snapshot";

    m.toggleMark(b);
    EXPECT_FALSE(statusOf(m, b)) << "a waiting job's status goes at once";
    ASSERT_TRUE(waitUntil([&] { return m.schedulerProgress().total == 1 && m.schedulerProgress().queued == 0; }));

    m.toggleMark(a);
    EXPECT_EQ(statusOf(m, a), Case::Running) << "a running job settles its own status";
    ASSERT_TRUE(waitUntil([&] { return !statusOf(m, a); }));
    EXPECT_FALSE(std::filesystem::exists(copyOf("a_bside.jpg")));
    EXPECT_TRUE(m.failedPairIds().isEmpty());
}

TEST_F(MarkingStates, CopyFinishedAfterUnmarkIsRemoved)
{
    encoder.setMode(FakeEncoder::Mode::IgnoreCancel);
    m.toggleMark(a);
    ASSERT_TRUE(waitUntil([&] { return statusOf(m, a) == Case::Running; }));
    m.toggleMark(a);
    encoder.open();
    ASSERT_TRUE(waitUntil([&] { return !statusOf(m, a); }));
    EXPECT_FALSE(std::filesystem::exists(copyOf("a_bside.jpg")))
        << "a copy left behind would restore a mark the user removed";
}

TEST_F(MarkingStates, FailureShowsEvenWhenUnmarkedAndUnmarkClearsIt)
{
    encoder.setMode(FakeEncoder::Mode::Fail);
    m.toggleMark(a);
    ASSERT_TRUE(waitUntil([&] { return statusOf(m, a) == Case::Running; }));
    m.toggleMark(a);
    encoder.open();
    ASSERT_TRUE(waitUntil([&] { return statusOf(m, a) == Case::Failed; }));
    EXPECT_EQ(m.jobStatus().value(a, BsideJobStatus::queued()).message(), QStringLiteral("boom"));
    EXPECT_TRUE(m.failedPairIds().contains(a));
    EXPECT_FALSE(m.markedPairIds().contains(a));

    m.toggleMark(a); // marked again: a new job, which fails too
    ASSERT_TRUE(waitUntil([&] { return statusOf(m, a) == Case::Failed && m.markedPairIds().contains(a); }));
    m.toggleMark(a);
    EXPECT_FALSE(statusOf(m, a));
    EXPECT_FALSE(m.failedPairIds().contains(a));
}

TEST_F(MarkingStates, MarkInPreviewAdvancesAndUnmarkStays)
{
    encoder.open();
    m.openPreview();
    ASSERT_EQ(m.previewIndex(), 0);
    m.markCurrentAndAdvance(true);
    EXPECT_EQ(m.previewIndex(), 1);
    EXPECT_TRUE(m.markedPairIds().contains(a));
    m.previewMove(-1);
    m.markCurrentAndAdvance(true);
    EXPECT_FALSE(m.markedPairIds().contains(a));
    EXPECT_EQ(m.previewIndex(), 0) << "no advance after unmarking";
}

} // namespace
