// Bursts in the model: groups and their best frames from what the frames look like, K marks the rest of a
// group and Ctrl+Z takes that batch back, and the compare view's cursor.
#include "testsupport/model_support.h"

#include <QSignalSpy>

#include <random>

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;

namespace {

// Frames named IMG_<n>_<scene><sharpness>.jpg: the scene letter seeds the noise they look like, the digit is
// the score.
BurstFeatures::Features fakeFeatures(const std::filesystem::path &file, bool withSharpness, std::stop_token)
{
    const std::string stem = file.stem().native();
    GreyPixels scene{32, 32, std::vector<uint8_t>(32 * 32)};
    std::mt19937 noise{uint32_t(stem[stem.size() - 2])};
    for (uint8_t &pixel : scene.luma)
        pixel = uint8_t(noise());
    BurstFeatures::Features features{BurstFeatures::looksOf(scene), std::nullopt};
    if (withSharpness) {
        features.focus.emplace();
        features.focus->tiles.fill(float(stem.back() - '0'));
        features.focus->exposure = 0.5;
    }
    return features;
}

class Bursts : public ModelTest
{
protected:
    Bursts() : ModelTest(fakeFeatures) {}
    void SetUp() override
    {
        // One camera time for all, so the looks alone tell the bursts apart.
        const auto shot = t.root() / "shot.jpg";
        if (!makeJpeg(shot, 16, 16, {u"-DateTimeOriginal=2024:06:01 09:00:00"_s}))
            GTEST_SKIP() << "ImageMagick and exiftool are needed";
        for (const char *name : {"IMG_1_a3.jpg", "IMG_2_a9.jpg", "IMG_3_a5.jpg", "IMG_4_b2.jpg", "IMG_5_b4.jpg",
                                 "IMG_6_c1.jpg"})
            std::filesystem::copy_file(shot, t.root() / name);
        std::filesystem::remove(shot);
        encoder.open();
        m.bursts().setStartDelay(0);
        ASSERT_TRUE(openAndWait(m, t.root()));
        ASSERT_TRUE(waitUntil([&] { return m.bursts().isSettled(); }));
    }
};

TEST_F(Bursts, GroupsAndTheirSharpestFrame)
{
    using Place = BurstGroups::Place;
    EXPECT_EQ(m.bursts().placeOf(id("IMG_1_a3.jpg")), (Place{1, 3, false}));
    EXPECT_EQ(m.bursts().placeOf(id("IMG_2_a9.jpg")), (Place{2, 3, true}));
    EXPECT_EQ(m.bursts().placeOf(id("IMG_3_a5.jpg")), (Place{3, 3, false}));
    EXPECT_EQ(m.bursts().placeOf(id("IMG_5_b4.jpg")), (Place{2, 2, true, 1})) << "the second group";
    EXPECT_FALSE(m.bursts().placeOf(id("IMG_6_c1.jpg"))) << "a cell alone";
    EXPECT_EQ(m.bursts().membersOf(id("IMG_4_b2.jpg")), (QList<QUuid>{id("IMG_4_b2.jpg"), id("IMG_5_b4.jpg")}));
}

// K marks every other frame of the group not marked yet (their copies are made as D makes them); Ctrl+Z
// takes that batch back, copies and all, and leaves marks made by hand.
TEST_F(Bursts, KeepTheBestMarksTheRestAndUndoTakesTheBatchBack)
{
    QSignalSpy notices(&m, &AppModel::notice);
    m.marks().toggle(id("IMG_3_a5.jpg")); // marked by hand before
    m.cursor().selectByClick(GridSelection::media(id("IMG_2_a9.jpg")));
    m.keepBest(false);
    EXPECT_EQ(m.marks().marked(), (QSet<QUuid>{id("IMG_1_a3.jpg"), id("IMG_3_a5.jpg")}));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices.last().first().toString(), u"Kept this one: marked the other one of its burst (Ctrl+Z undoes)"_s);
    EXPECT_EQ(m.undoable(), AppModel::Undoable::KeepBest);
    const auto copy = copies() / "IMG_1_a3_bside.jpg";
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(copy); }));

    m.undo();
    EXPECT_EQ(m.marks().marked(), QSet<QUuid>{id("IMG_3_a5.jpg")}) << "the hand-made mark stays";
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_EQ(m.undoable(), AppModel::Undoable::Nothing);

    m.cursor().selectByClick(GridSelection::media(id("IMG_6_c1.jpg")));
    m.keepBest(false);
    EXPECT_EQ(notices.last().first().toString(), u"This photo is not in a burst"_s);
}

// K means keep this frame: a marked frame is unmarked (so a discard never takes it), in the marked view too,
// and Ctrl+Z marks it again. Batches undo one by one, newest first, and the stack says when it is empty.
TEST_F(Bursts, KeepsTheChosenFrameAndUndoesBatchByBatch)
{
    QSignalSpy notices(&m, &AppModel::notice);
    for (const char *name : {"IMG_1_a3.jpg", "IMG_2_a9.jpg", "IMG_3_a5.jpg"})
        m.marks().toggle(id(name));
    m.settings().setFolderView(ViewSettings::FolderView::Marked);
    m.cursor().selectByClick(GridSelection::media(id("IMG_2_a9.jpg")));
    m.keepBest(false);
    EXPECT_EQ(m.marks().marked(), (QSet<QUuid>{id("IMG_1_a3.jpg"), id("IMG_3_a5.jpg")})) << "the kept frame is unmarked";
    m.settings().setFolderView(ViewSettings::FolderView::All);
    m.cursor().selectByClick(GridSelection::media(id("IMG_4_b2.jpg")));
    m.keepBest(false);
    EXPECT_TRUE(m.marks().marked().contains(id("IMG_5_b4.jpg")));

    m.undo();
    EXPECT_FALSE(m.marks().marked().contains(id("IMG_5_b4.jpg"))) << "the newest batch first";
    EXPECT_TRUE(m.marks().marked().contains(id("IMG_1_a3.jpg")));
    m.undo();
    EXPECT_EQ(m.marks().marked(), (QSet<QUuid>{id("IMG_1_a3.jpg"), id("IMG_2_a9.jpg"), id("IMG_3_a5.jpg")}))
        << "the kept frame is marked again; the frames marked before the press stay marked";
    m.undo();
    EXPECT_EQ(notices.last().first().toString(), u"Nothing more to undo"_s);
}

// Ctrl+Z takes a batch back from another folder: the jobs stop and the copies made go, and it says how many.
TEST_F(Bursts, UndoWorksFromAnotherFolder)
{
    QSignalSpy notices(&m, &AppModel::notice);
    m.cursor().selectByClick(GridSelection::media(id("IMG_2_a9.jpg")));
    m.keepBest(false);
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(copies() / "IMG_1_a3_bside.jpg"); }));
    ASSERT_TRUE(navigateAndWait(m, t.dir("elsewhere")));
    m.undo();
    EXPECT_EQ(notices.last().first().toString(), u"Undid keep this one: unmarked 2"_s);
    ASSERT_TRUE(waitUntil([&] { return m.marks().unfinished().isEmpty(); }));
    ASSERT_TRUE(navigateAndWait(m, t.root()));
    EXPECT_TRUE(m.marks().marked().isEmpty()) << "no copy is left to mark them again";
}

// In a burst the compare view's candidate walks the burst's frames only, wrapping, and R keeps it there;
// Esc selects it. A reference alone walks every cell, as D does there.
TEST_F(Bursts, CompareStaysInTheBurst)
{
    GridCursor &c = m.cursor();
    const auto candidate = [&] { return nameOf(m, *c.compareCandidate()); };
    c.selectByClick(GridSelection::media(id("IMG_3_a5.jpg")));
    c.openCompare();
    EXPECT_EQ(candidate(), "IMG_1_a3.jpg") << "after the last frame, the burst's first";
    c.compareMove(1);
    EXPECT_EQ(candidate(), "IMG_2_a9.jpg");
    c.compareMove(1);
    EXPECT_EQ(candidate(), "IMG_1_a3.jpg") << "passing over the reference";
    c.compareMove(-1);
    c.compareSwap();
    EXPECT_EQ(nameOf(m, *c.compareReference()), "IMG_2_a9.jpg");
    EXPECT_EQ(candidate(), "IMG_3_a5.jpg");
    c.compareSwap();
    EXPECT_EQ(candidate(), "IMG_1_a3.jpg") << "R on the last frame keeps the candidate in the burst";
    m.markCandidateAndAdvance();
    EXPECT_EQ(candidate(), "IMG_2_a9.jpg") << "D steps on within the burst";
    c.closeCompare();
    EXPECT_EQ(c.selectedPairId(), id("IMG_2_a9.jpg")) << "Esc selects the candidate";

    c.selectByClick(GridSelection::media(id("IMG_6_c1.jpg")));
    c.openCompare();
    EXPECT_EQ(candidate(), "IMG_1_a3.jpg") << "a cell alone compares with the next cell, wrapping";
    c.compareMove(-1);
    EXPECT_EQ(candidate(), "IMG_5_b4.jpg");
}

// Collapsed bursts: one cell per burst, its best frame, standing for the frames the view shows; Return opens
// one burst in place and G folds it again; the selection follows a frame folded away to its cell.
TEST_F(Bursts, CollapsedBurstsStandForTheFramesTheViewShows)
{
    const auto standsFor = [&](const char *name) {
        std::string names;
        for (const QUuid &frame : m.framesShownAs(id(name)))
            names += (names.empty() ? "" : " ") + nameOf(m, frame);
        return names;
    };
    GridCursor &c = m.cursor();
    c.selectByClick(GridSelection::media(id("IMG_3_a5.jpg")));
    m.toggleBurstsCollapsed();
    EXPECT_EQ(shownNames(m), "IMG_2_a9.jpg IMG_5_b4.jpg IMG_6_c1.jpg");
    EXPECT_EQ(standsFor("IMG_2_a9.jpg"), "IMG_1_a3.jpg IMG_2_a9.jpg IMG_3_a5.jpg");
    EXPECT_EQ(standsFor("IMG_6_c1.jpg"), "") << "a cell alone stands for nothing more";
    EXPECT_EQ(nameOf(m, c.selectedPairId()), "IMG_2_a9.jpg") << "the selection goes to the burst's cell";

    EXPECT_TRUE(m.expandSelectedBurst());
    EXPECT_EQ(shownNames(m), "IMG_1_a3.jpg IMG_2_a9.jpg IMG_3_a5.jpg IMG_5_b4.jpg IMG_6_c1.jpg");
    c.step(1);
    EXPECT_FALSE(m.expandSelectedBurst()) << "an open burst's frame opens nothing";
    m.toggleBurstsCollapsed();
    EXPECT_EQ(shownNames(m), "IMG_2_a9.jpg IMG_5_b4.jpg IMG_6_c1.jpg") << "G folds the open burst again";
    EXPECT_TRUE(m.burstsCollapsed());
    m.openCompare();
    EXPECT_EQ(nameOf(m, c.compareCandidate()), "IMG_3_a5.jpg") << "C on a collapsed burst compares its frames";
    c.closeCompare();
    m.toggleBurstsCollapsed();
    EXPECT_EQ(nameOf(m, c.selectedPairId()), "IMG_2_a9.jpg") << "G folds it again onto its cell";

    m.markCurrentAndAdvance(false);
    EXPECT_TRUE(m.marks().marked().contains(id("IMG_2_a9.jpg"))) << "D marks the best frame";
    EXPECT_EQ(nameOf(m, c.selectedPairId()), "IMG_5_b4.jpg") << "and moves on to the next burst";
    m.settings().setFolderView(ViewSettings::FolderView::Unmarked);
    EXPECT_EQ(shownNames(m), "IMG_1_a3.jpg IMG_5_b4.jpg IMG_6_c1.jpg");
    EXPECT_EQ(standsFor("IMG_1_a3.jpg"), "IMG_1_a3.jpg IMG_3_a5.jpg") << "the frames this view shows";
    m.settings().setFolderView(ViewSettings::FolderView::Marked);
    EXPECT_EQ(shownNames(m), "IMG_2_a9.jpg");
    EXPECT_EQ(standsFor("IMG_2_a9.jpg"), "") << "one frame of a burst shown is just that frame";

    m.settings().setFolderView(ViewSettings::FolderView::All);
    m.toggleBurstsCollapsed();
    EXPECT_FALSE(m.burstsCollapsed());
    EXPECT_EQ(shownNames(m), "IMG_1_a3.jpg IMG_2_a9.jpg IMG_3_a5.jpg IMG_4_b2.jpg IMG_5_b4.jpg IMG_6_c1.jpg");
}

// A burst of hundreds (or thousands): the press returns with every mark set, and the jobs reach the scheduler a few hundred
// at a time from the event loop, so the window is never held for all of them.
TEST(BurstBatch, MarksAtOnceAndHandsTheJobsOverInBatches)
{
    TempTree t;
    const auto shot = t.root() / "shot.jpg";
    ASSERT_TRUE(makeJpeg(shot, 16, 16, {u"-DateTimeOriginal=2024:06:01 09:00:00"_s}));
    constexpr int kFrames = 600;
    for (int i = 0; i < kFrames; ++i)
        std::filesystem::create_hard_link(shot, t.root() / ("IMG_" + std::to_string(i) + "_a5.jpg"));
    std::filesystem::remove(shot);
    FakeEncoder encoder; // never opened: the jobs wait
    AppModel m{nullptr, quietMachine(), encoder.function(), fakeFeatures};
    m.bursts().setStartDelay(0);
    ASSERT_TRUE(openAndWait(m, t.root()));
    ASSERT_TRUE(waitUntil([&] { return m.bursts().isSettled(); }, 120000));
    ASSERT_EQ(m.bursts().membersOf(m.listing().pairs()[0].id()).size(), kFrames);
    m.cursor().select(GridSelection::media(m.listing().pairs()[0].id()));
    m.keepBest(false);
    EXPECT_EQ(m.marks().marked().size(), kFrames - 1);
    EXPECT_LT(m.marks().scheduler().progress().total, kFrames - 1) << "not every job was handed over at once";
    EXPECT_EQ(m.marks().progress().total, kFrames - 1) << "the status line counts the jobs still to be handed over";
    EXPECT_TRUE(waitUntil([&] { return m.marks().scheduler().progress().total == kFrames - 1; }));
}

} // namespace
