#include "model_harness.h"

using namespace vorlane;
using namespace vorlane::test;
using Dir = AppModel::GridDirection;

namespace {

// 3 folders and 10 pairs in a 4-column grid.
class Selection : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *f : {"f1", "f2", "f3"})
            t.dir(f);
        for (int i = 1; i <= 10; ++i)
            t.file("IMG_" + std::to_string(i) + ".jpg", "x");
        ASSERT_TRUE(openAndWait(m, t.root()));
        m.setGridColumns(4);
    }
    int index() const { return int(m.gridItems().indexOf(*m.selection())); }
    void selectIndex(int i) { m.selectByClick(m.gridItems()[i]); }

    TempTree t;
    AppModel m{nullptr, quietMachine()};
};

struct MoveRow
{
    int from;
    Dir dir;
    int to;
    bool flagWritten;
};

TEST_F(Selection, ArrowMovesClamp)
{
    ASSERT_EQ(m.gridItems().size(), 13);
    const std::vector<MoveRow> rows{{2, Dir::Down, 6, true},  {11, Dir::Down, 12, true}, {3, Dir::Up, 0, true},
                                    {0, Dir::Left, 0, false}, {12, Dir::Right, 12, false}, {5, Dir::Left, 4, true},
                                    {5, Dir::Right, 6, true}, {12, Dir::Down, 12, false}};
    for (const MoveRow &r : rows) {
        selectIndex(r.from);
        m.moveSelection(r.dir);
        EXPECT_EQ(index(), r.to) << r.from;
        EXPECT_EQ(m.lastSelectionByKeyboard(), r.flagWritten) << r.from;
    }
}

TEST_F(Selection, ColumnsBelowOneActAsOne)
{
    for (int cols : {0, -3}) {
        m.setGridColumns(cols);
        selectIndex(5);
        m.moveSelection(Dir::Down);
        EXPECT_EQ(index(), 6);
    }
}

TEST_F(Selection, StaleSelectionCountsAsIndexZero)
{
    m.selectByClick(GridSelection::media(QUuid::createUuid()));
    m.moveSelection(Dir::Right);
    EXPECT_EQ(index(), 1);
    m.selectByClick(GridSelection::media(QUuid::createUuid()));
    m.moveSelection(Dir::Left);
    EXPECT_FALSE(m.gridItems().contains(*m.selection())) << "left at index 0 changes nothing";
    m.moveSelection(1);
    EXPECT_EQ(index(), 1);
}

TEST_F(Selection, WrappingStepsAndPreview)
{
    selectIndex(12);
    m.moveSelection(1);
    EXPECT_EQ(index(), 0);

    m.openPreview(); // a folder is selected
    EXPECT_FALSE(m.previewIndex());
    selectIndex(3);
    m.openPreview();
    ASSERT_EQ(m.previewIndex(), 0);
    m.previewMove(-1);
    EXPECT_EQ(m.previewIndex(), 9);
    EXPECT_EQ(m.selection(), GridSelection::media(m.pairs()[9].id()));
    m.closePreview();
    EXPECT_FALSE(m.previewIndex());
    EXPECT_EQ(index(), 12) << "the grid keeps the pair shown last";
}

TEST_F(Selection, OpenSelectedFolder)
{
    selectIndex(1);
    m.openSelectedFolder();
    ASSERT_TRUE(waitUntil([&] { return !m.isLoading(); }));
    EXPECT_EQ(*m.currentPath(), t.root() / "f2");
}

} // namespace
