#include "model_harness.h"

#include "fake_encoder.h"
#include "testsupport/media_maker.h"

using namespace vorlane;
using namespace vorlane::test;
using Case = BsideJobStatus::Case;

namespace {

std::optional<Case> statusOf(const AppModel &m, const QUuid &id)
{
    const auto it = m.marks().statuses().constFind(id);
    return it == m.marks().statuses().constEnd() ? std::nullopt : std::optional<Case>(it->kind());
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
        const QUuid pairId = m.listing().pairs()[1].id();
        m.cursor().step(1);
        m.markCurrentAndAdvance(false);
        EXPECT_TRUE(m.marks().marked().contains(pairId));
        EXPECT_TRUE(statusOf(m, pairId) == Case::Queued || statusOf(m, pairId) == Case::Running);
        EXPECT_EQ(m.cursor().selection(), GridSelection::media(m.listing().pairs()[0].id())) << "advanced with wrap-around";
        ASSERT_TRUE(waitUntil([&] { return statusOf(m, pairId) == Case::Completed; }));
        EXPECT_TRUE(std::filesystem::file_size(copy) > 0);
        ASSERT_TRUE(waitUntil([&] { return m.marks().progress().completed == 1 && m.marks().progress().isIdle(); }));
        EXPECT_EQ(m.discard().discardableCount(), 1);
    }
    AppModel again(nullptr, quietMachine());
    ASSERT_TRUE(openAndWait(again, card));
    const QUuid restored = again.listing().pairs()[1].id();
    EXPECT_TRUE(again.marks().marked().contains(restored));
    EXPECT_EQ(statusOf(again, restored), Case::Completed);
    EXPECT_FALSE(again.marks().marked().contains(again.listing().pairs()[0].id()));

    again.marks().toggle(restored);
    EXPECT_FALSE(std::filesystem::exists(copy)) << "unmarking deletes the copy";
    EXPECT_FALSE(statusOf(again, restored));
}

class MarkingStates : public ::testing::Test
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
    std::filesystem::path copyOf(const char *name) { return t.root() / (t.root().filename().native() + "_bside") / name; }

    TempTree t;
    FakeEncoder encoder;
    AppModel m{nullptr, quietMachine(), encoder.function()};
    QUuid a, b;
};

TEST_F(MarkingStates, UnmarkQueuedAndRunning)
{
    m.marks().toggle(a);
    m.marks().toggle(b);
    ASSERT_TRUE(waitUntil([&] { return statusOf(m, a) == Case::Running; }));
    EXPECT_EQ(statusOf(m, b), Case::Queued);
    EXPECT_EQ(m.marks().scheduler().progress().queued, 1) << "a job that cannot start yet sends no snapshot";

    m.marks().toggle(b);
    EXPECT_FALSE(statusOf(m, b)) << "a waiting job's status goes at once";
    ASSERT_TRUE(waitUntil([&] { return m.marks().progress().total == 1 && m.marks().progress().queued == 0; }));

    m.marks().toggle(a);
    EXPECT_EQ(statusOf(m, a), Case::Running) << "a running job settles its own status";
    ASSERT_TRUE(waitUntil([&] { return !statusOf(m, a); }));
    EXPECT_FALSE(std::filesystem::exists(copyOf("a_bside.jpg")));
    EXPECT_TRUE(m.marks().failed().isEmpty());
}

TEST_F(MarkingStates, CopyFinishedAfterUnmarkIsRemoved)
{
    encoder.setMode(FakeEncoder::Mode::IgnoreCancel);
    m.marks().toggle(a);
    ASSERT_TRUE(waitUntil([&] { return statusOf(m, a) == Case::Running; }));
    m.marks().toggle(a);
    encoder.open();
    ASSERT_TRUE(waitUntil([&] { return !statusOf(m, a); }));
    EXPECT_FALSE(std::filesystem::exists(copyOf("a_bside.jpg")))
        << "a copy left behind would restore a mark the user removed";
}

TEST_F(MarkingStates, FailureShowsEvenWhenUnmarkedAndUnmarkClearsIt)
{
    encoder.setMode(FakeEncoder::Mode::Fail);
    m.marks().toggle(a);
    ASSERT_TRUE(waitUntil([&] { return statusOf(m, a) == Case::Running; }));
    m.marks().toggle(a);
    encoder.open();
    ASSERT_TRUE(waitUntil([&] { return statusOf(m, a) == Case::Failed; }));
    EXPECT_EQ(m.marks().statuses().value(a, BsideJobStatus::queued()).message(), QStringLiteral("boom"));
    EXPECT_TRUE(m.marks().failed().contains(a));
    EXPECT_FALSE(m.marks().marked().contains(a));

    m.marks().toggle(a); // marked again: a new job, which fails too
    ASSERT_TRUE(waitUntil([&] { return statusOf(m, a) == Case::Failed && m.marks().marked().contains(a); }));
    m.marks().toggle(a);
    EXPECT_FALSE(statusOf(m, a));
    EXPECT_FALSE(m.marks().failed().contains(a));
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
