#include "testsupport/model_support.h"
#include "core/format_bytes.h"

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;
using Path = std::filesystem::path;
using Dir = GridCursor::Direction;

namespace {

TEST(ModelRules, FormatBytesAndBreadcrumb)
{
    const std::vector<std::pair<int64_t, const char *>> sizes{
        {0, "0B"}, {-5, "-5B"}, {512, "512B"}, {1023, "1023B"}, {1024, "1.0K"}, {1536, "1.5K"}, {10 << 20, "10M"},
        {int64_t(1023.6 * 1048576), "1024M"}, {int64_t(9.96 * 1073741824.0), "10.0G"},
        {int64_t(15.5 * 1073741824.0), "16G"}, {int64_t(1) << 40, "1.0T"}};
    for (const auto &[bytes, text] : sizes)
        EXPECT_EQ(formatBytes(bytes).toStdString(), text) << bytes;
    EXPECT_EQ(FolderListing::breadcrumbFor("/photos/2024/trip", "/photos"),
              (QList<Path>{"/photos", "/photos/2024", "/photos/2024/trip"}));
    EXPECT_EQ(FolderListing::breadcrumbFor("/photos", "/photos"), (QList<Path>{"/photos"}));
    EXPECT_EQ(FolderListing::breadcrumbFor("/other/x", "/photos"), (QList<Path>{"/photos", "/other", "/other/x"}));
}

class Navigation : public ModelTest
{
protected:
    void SetUp() override
    {
        t.file("photos/2024/trip/a.jpg", "aa");
        t.file("photos/2024/b.jpg", "bbb");
        t.file("photos/c.jpg", "c");
        t.dir("photos/2023");
    }
    Path root = t.root() / "photos";
};

// Opening a folder selects its first cell, entering one selects the first there, going up selects the folder
// the user came from, and a breadcrumb click up several folders the one the user came through, not the first;
// at the root going up does nothing, and a folder that cannot be read empties the listing and keeps the
// selection. The capacity figures count everything below, so a card's root that holds only folders does not
// read 0B.
TEST_F(Navigation, OpenEnterGoUpFailAndCountTheTree)
{
    ASSERT_TRUE(openAndWait(m, root));
    EXPECT_EQ(m.listing().breadcrumb(), QList<Path>{root});
    ASSERT_EQ(m.listing().folders().size(), 2);
    EXPECT_EQ(m.cursor().selection(), GridSelection::folder(m.listing().folders()[0].id)) << "first folder selected";
    EXPECT_EQ(m.listing().rootDirBytes(), 1);
    EXPECT_EQ(m.listing().rootTreeBytes(), 6) << "2 + 3 + 1 bytes in the tree";
    EXPECT_TRUE(waitUntil([&] { return m.listing().freeSpaceBytes() > 0; })) << "measured in the background";

    ASSERT_TRUE(navigateAndWait(m, root / "2024" / "trip"));
    EXPECT_EQ(m.listing().breadcrumb().size(), 3);
    EXPECT_EQ(m.listing().currentDirBytes(), 2);
    EXPECT_EQ(m.listing().currentTreeBytes(), 2);
    EXPECT_EQ(m.listing().rootDirBytes(), 1) << "only the root's own listing sets it";
    EXPECT_EQ(m.cursor().selection(), GridSelection::media(m.listing().pairs()[0].id()));

    ASSERT_TRUE(navigateAndWait(m, root));
    ASSERT_EQ(m.listing().folders().size(), 2);
    EXPECT_EQ(m.listing().folders()[0].path, root / "2023");
    EXPECT_EQ(m.cursor().selection(), GridSelection::folder(m.listing().folders()[1].id)) << "2024, the way back";
    const std::optional<GridSelection> atRoot = m.cursor().selection();
    m.goUp(); // at the root: nothing happens
    EXPECT_FALSE(m.listing().isLoading());
    EXPECT_EQ(m.cursor().selection(), atRoot);

    ASSERT_TRUE(navigateAndWait(m, root / "missing")); // an error empties the listing and keeps the selection
    const QString error = m.listing().loadError().value_or(QString()), prefix = u"Cannot read the folder: "_s;
    EXPECT_TRUE(error.startsWith(prefix) && error.size() > prefix.size()) << "the system's reason follows";
    EXPECT_TRUE(m.listing().pairs().isEmpty() && m.listing().folders().isEmpty());
    EXPECT_EQ(m.cursor().selection(), atRoot);

    ASSERT_TRUE(navigateAndWait(m, root / "2024" / "trip"));
    m.goUp();
    ASSERT_TRUE(waitUntil([&] { return !m.listing().isLoading(); }));
    EXPECT_EQ(*m.listing().currentPath(), root / "2024");
    ASSERT_EQ(m.listing().folders().size(), 1);
    EXPECT_EQ(m.cursor().selection(), GridSelection::folder(m.listing().folders()[0].id));

    TempTree card;
    card.file("DCIM/100CANON/IMG_1.JPG", "12345");
    ASSERT_TRUE(openAndWait(m, card.root()));
    EXPECT_EQ(m.listing().currentDirBytes(), 0);
    EXPECT_EQ(m.listing().currentTreeBytes(), 5);
    EXPECT_EQ(m.listing().rootTreeBytes(), 5);
}

// "Open with" on a photo opens its folder with that photo's cell selected, a RAW of a pair included.
TEST_F(Navigation, OpeningAFileSelectsItsCell)
{
    t.file("photos/IMG_1.JPG", "j");
    t.file("photos/IMG_1.CR2", "r");
    for (const char *file : {"c.jpg", "IMG_1.CR2"}) {
        m.openRoot(root, root / file);
        ASSERT_TRUE(waitUntil([&] { return !m.listing().isLoading(); }));
        ASSERT_TRUE(m.cursor().selectedPairId()) << file;
        const QList<MediaItem> originals = m.listing().pair(*m.cursor().selectedPairId())->allOriginals();
        EXPECT_TRUE(
            std::any_of(originals.begin(), originals.end(), [&](const MediaItem &i) { return i.path == root / file; }));
    }
}

TEST_F(Navigation, OnlyTheNewestNavigationIsApplied)
{
    ASSERT_TRUE(openAndWait(m, root));
    for (int round = 0; round < 10; ++round) {
        const bool tripLast = round % 2;
        m.navigate(tripLast ? root / "2023" : root / "2024" / "trip");
        m.navigate(tripLast ? root / "2024" / "trip" : root / "2023");
        EXPECT_TRUE(m.listing().isLoading());
        ASSERT_TRUE(waitUntil([&] { return !m.listing().isLoading(); }));
        QTest::qWait(0);
        EXPECT_EQ(m.listing().pairs().size(), tripLast ? 1 : 0);
    }
}

using ModelSort = ModelTest;
TEST_F(ModelSort, DateAndNameOrdersAreStable)
{
    VORLANE_REQUIRE_TOOLS("convert", "exiftool");
    for (const auto &[name, year] : {std::pair{"b.jpg", 2020}, {"a.jpg", 2021}, {"d.jpg", 2020}, {"c.jpg", 2020}})
        ASSERT_TRUE(makeJpeg(t.root() / name, 16, 16, {u"-DateTimeOriginal=%1:01:01 00:00:00"_s.arg(year)}));
    m.listing().setSortMode(FolderListing::SortMode::Date);
    ASSERT_TRUE(openAndWait(m, t.root()));
    const std::vector<std::string> byDate{"b.jpg", "c.jpg", "d.jpg", "a.jpg"},
        byName{"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
    EXPECT_EQ(pairNames(m), byDate);
    m.listing().setSortMode(FolderListing::SortMode::Name);
    EXPECT_EQ(pairNames(m), byName);
    m.listing().setSortMode(FolderListing::SortMode::Date);
    EXPECT_EQ(pairNames(m), byDate);
}

// The cursor walks items handed to it: no folder needs to be listed.
// 3 folders and 10 pairs in a 4-column grid.
class Cursor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < 13; ++i)
            items.append(i < 3 ? GridSelection::folder(QUuid::createUuid())
                               : GridSelection::media(QUuid::createUuid()));
        c.setItems(items);
        c.setGridColumns(4);
    }
    int index() const { return int(items.indexOf(*c.selection())); }
    // -1: a cell that is not among the items.
    void selectIndex(int i) { c.selectByClick(i < 0 ? GridSelection::media(QUuid::createUuid()) : items[i]); }

    QList<GridSelection> items;
    GridCursor c;
};

// Arrows move by a cell or a row and PageUp / PageDown by the rows on screen (two here), clamped to the ends;
// Home and End go to the ends. Only a real move counts as the keyboard's. A selection that is not among the
// items (-1) counts as index 0.
TEST_F(Cursor, KeysMoveClampedAndOnlyARealMoveCountsAsKeyboard)
{
    const std::vector<std::tuple<int, Dir, int, bool>> rows{
        {2, Dir::Down, 6, true},     {11, Dir::Down, 12, true}, {3, Dir::Up, 0, true},    {0, Dir::Left, 0, false},
        {12, Dir::Right, 12, false}, {5, Dir::Left, 4, true},   {5, Dir::Right, 6, true}, {12, Dir::Down, 12, false},
        {-1, Dir::Right, 1, true},   {-1, Dir::Left, -1, false}};
    for (const auto &[from, dir, to, byKeyboard] : rows) {
        selectIndex(from);
        c.move(dir);
        EXPECT_EQ(index(), to) << from;
        EXPECT_EQ(c.lastSelectionByKeyboard(), byKeyboard) << from;
    }
    c.setPageRows(2);
    const std::vector<std::tuple<int, int, int, bool>> pages{
        {1, 1, 9, true}, {9, 1, 12, true}, {12, 1, 12, false}, {10, -1, 2, true}, {5, -1, 0, true}};
    for (const auto &[from, by, to, byKeyboard] : pages) {
        selectIndex(from);
        c.movePage(by);
        EXPECT_EQ(index(), to) << from << " by " << by;
        EXPECT_EQ(c.lastSelectionByKeyboard(), byKeyboard) << from << " by " << by;
    }
    c.moveToFirst();
    EXPECT_EQ(index(), 0);
    c.moveToLast();
    EXPECT_EQ(index(), 12);
    EXPECT_TRUE(c.lastSelectionByKeyboard());
    for (int columns : {0, -3}) {
        c.setGridColumns(columns);
        selectIndex(5);
        c.move(Dir::Down);
        EXPECT_EQ(index(), 6) << "fewer than one column counts as one";
    }
}

// The same listing in another order, or with cells gone: the selection and the preview stay on their cells,
// and a cell gone gives way to the one that took its place (the next, else the last).
TEST_F(Cursor, ItemsOfTheSameListingKeepThePlace)
{
    selectIndex(5);
    c.openPreview();
    ASSERT_EQ(c.previewIndex(), 2);
    QList<GridSelection> reordered = items.mid(0, 3);
    for (qsizetype i = items.size() - 1; i >= 3; --i)
        reordered.append(items[i]);
    c.setItems(reordered, true);
    EXPECT_EQ(c.previewedPairId(), items[5].id) << "a new order: the same picture";
    EXPECT_EQ(c.selection(), items[5]);
    c.closePreview();

    c.setItems(items, true);
    selectIndex(5);
    QList<GridSelection> fewer = items;
    fewer.removeAt(5);
    fewer.removeAt(4);
    c.setItems(fewer, true);
    EXPECT_EQ(c.selection(), items[6]) << "the next cell takes the place";
    c.selectByClick(fewer.last());
    c.setItems(fewer.mid(0, fewer.size() - 1), true);
    EXPECT_EQ(c.selection(), fewer[fewer.size() - 2]) << "the last gone: the one before";
    c.setItems({}, true);
    EXPECT_FALSE(c.selection());
}

// A step walks on, wrapping around; from a selection that is not among the items it counts from index 0. The
// preview wraps too, and the grid keeps the pair shown last.
TEST_F(Cursor, WrappingStepsAndThePreview)
{
    for (const auto &[from, to] : {std::pair{12, 0}, {-1, 1}}) {
        selectIndex(from);
        c.step(1);
        EXPECT_EQ(index(), to) << from;
    }
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
