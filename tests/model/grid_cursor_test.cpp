// The cursor walks items handed to it: no folder needs to be listed.
#include "model/grid_cursor.h"

#include <gtest/gtest.h>

using namespace vorlane;
using Dir = GridCursor::Direction;

namespace {

// 3 folders and 10 pairs in a 4-column grid.
class Cursor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < 13; ++i)
            items.append(i < 3 ? GridSelection::folder(QUuid::createUuid()) : GridSelection::media(QUuid::createUuid()));
        c.setItems(items);
        c.setGridColumns(4);
    }
    int index() const { return int(items.indexOf(*c.selection())); }
    void selectIndex(int i) { c.selectByClick(items[i]); }

    QList<GridSelection> items;
    GridCursor c;
};

struct MoveRow
{
    int from;
    Dir dir;
    int to;
    bool byKeyboard;
};

TEST_F(Cursor, ArrowMovesClampAndOnlyARealMoveCountsAsKeyboard)
{
    const std::vector<MoveRow> rows{{2, Dir::Down, 6, true},  {11, Dir::Down, 12, true}, {3, Dir::Up, 0, true},
                                    {0, Dir::Left, 0, false}, {12, Dir::Right, 12, false}, {5, Dir::Left, 4, true},
                                    {5, Dir::Right, 6, true}, {12, Dir::Down, 12, false}};
    for (const MoveRow &r : rows) {
        selectIndex(r.from);
        c.move(r.dir);
        EXPECT_EQ(index(), r.to) << r.from;
        EXPECT_EQ(c.lastSelectionByKeyboard(), r.byKeyboard) << r.from;
    }
    for (int columns : {0, -3}) {
        c.setGridColumns(columns);
        selectIndex(5);
        c.move(Dir::Down);
        EXPECT_EQ(index(), 6) << "fewer than one column counts as one";
    }
}

TEST_F(Cursor, StaleSelectionCountsAsIndexZero)
{
    c.selectByClick(GridSelection::media(QUuid::createUuid()));
    c.move(Dir::Right);
    EXPECT_EQ(index(), 1);
    c.selectByClick(GridSelection::media(QUuid::createUuid()));
    c.move(Dir::Left);
    EXPECT_FALSE(items.contains(*c.selection())) << "left at index 0 changes nothing";
    c.step(1);
    EXPECT_EQ(index(), 1);
}

TEST_F(Cursor, WrappingStepsAndThePreview)
{
    selectIndex(12);
    c.step(1);
    EXPECT_EQ(index(), 0);

    c.openPreview(); // a folder is selected
    EXPECT_FALSE(c.previewIndex());
    selectIndex(3);
    c.openPreview();
    ASSERT_EQ(c.previewIndex(), 0);
    c.previewMove(-1);
    EXPECT_EQ(c.previewIndex(), 9);
    EXPECT_EQ(c.previewedPairId(), items[12].id);
    c.closePreview();
    EXPECT_FALSE(c.previewIndex());
    EXPECT_EQ(index(), 12) << "the grid keeps the pair shown last";

    c.openPreview();
    c.setItems(items.mid(0, 12)); // a listing with one pair fewer: the index is past the end
    EXPECT_FALSE(c.previewedPairId());
}

} // namespace
