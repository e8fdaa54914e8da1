#include "model_harness.h"

#include "testsupport/media_maker.h"

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;

namespace {

TEST(ModelDefaults, NewModel)
{
    AppModel m(nullptr, quietMachine());
    EXPECT_EQ(m.viewMode(), AppModel::ViewMode::Merged);
    EXPECT_EQ(m.fillMode(), AppModel::FillMode::Fill);
    EXPECT_EQ(m.sortMode(), AppModel::SortMode::Name);
    EXPECT_TRUE(m.showFilenames() && m.showRawLabel() && m.autoScrollOnNav() && m.autoScrollOnClick());
    EXPECT_FALSE(m.lastSelectionByKeyboard());
    EXPECT_EQ(m.thumbnailSize(), 160.0);
    EXPECT_EQ(m.gridColumns(), 1);
    EXPECT_FALSE(m.rootPath() || m.currentPath() || m.selection() || m.previewIndex() || m.loadError() || m.lastTrashResult());
    EXPECT_TRUE(m.pairs().isEmpty() && m.folders().isEmpty() && m.markedPairIds().isEmpty() && m.jobStatus().isEmpty());
    EXPECT_EQ(m.schedulerProgress(), BsideScheduler::Progress());
}

TEST(ModelFormatBytes, Table)
{
    const std::vector<std::pair<int64_t, const char *>> rows{
        {0, "0B"},           {-5, "-5B"},          {512, "512B"},       {1023, "1023B"},
        {1024, "1.0K"},      {1536, "1.5K"},       {10 << 20, "10M"},   {int64_t(1023.6 * 1048576), "1024M"},
        {int64_t(9.96 * 1073741824.0), "10.0G"},   {int64_t(15.5 * 1073741824.0), "16G"},
        {int64_t(1) << 40, "1.0T"}};
    for (const auto &[bytes, text] : rows)
        EXPECT_EQ(AppModel::formatBytes(bytes).toStdString(), text) << bytes;
}

TEST(ModelBreadcrumb, Rule)
{
    using P = std::filesystem::path;
    EXPECT_EQ(AppModel::breadcrumbFor("/photos/2024/trip", "/photos"), (QList<P>{"/photos", "/photos/2024", "/photos/2024/trip"}));
    EXPECT_EQ(AppModel::breadcrumbFor("/photos", "/photos"), (QList<P>{"/photos"}));
    EXPECT_EQ(AppModel::breadcrumbFor("/other/x", "/photos"), (QList<P>{"/photos", "/other", "/other/x"}));
}

class Navigation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        t.file("photos/2024/trip/a.jpg", "aa");
        t.file("photos/2024/b.jpg", "bbb");
        t.file("photos/c.jpg", "c");
        t.dir("photos/2023");
    }
    TempTree t;
    AppModel m{nullptr, quietMachine()};
};

TEST_F(Navigation, OpenEnterAndGoUpSelectsTheFolderLeft)
{
    const auto root = t.root() / "photos";
    ASSERT_TRUE(openAndWait(m, root));
    EXPECT_EQ(m.breadcrumb(), QList<std::filesystem::path>{root});
    ASSERT_EQ(m.folders().size(), 2);
    EXPECT_EQ(m.selection(), GridSelection::folder(m.folders()[0].id)) << "first folder selected";
    EXPECT_EQ(m.rootDirBytes(), 1);
    EXPECT_GT(m.freeSpaceBytes(), 0) << "measured in the background";

    ASSERT_TRUE(navigateAndWait(m, root / "2024" / "trip"));
    EXPECT_EQ(m.breadcrumb().size(), 3);
    EXPECT_EQ(m.currentDirBytes(), 2);
    EXPECT_EQ(m.rootDirBytes(), 1) << "only the root's own listing sets it";
    EXPECT_EQ(m.selection(), GridSelection::media(m.pairs()[0].id()));

    m.goUp();
    ASSERT_TRUE(waitUntil([&] { return !m.isLoading(); }));
    EXPECT_EQ(*m.currentPath(), root / "2024");
    ASSERT_EQ(m.folders().size(), 1);
    EXPECT_EQ(m.selection(), GridSelection::folder(m.folders()[0].id));

    m.goUp();
    ASSERT_TRUE(waitUntil([&] { return !m.isLoading(); }));
    const std::optional<GridSelection> atRoot = m.selection();
    m.goUp(); // at the root: nothing happens
    EXPECT_FALSE(m.isLoading());
    EXPECT_EQ(m.selection(), atRoot);
}

// "Open with" on a photo opens its folder with that photo's cell selected, a RAW of a pair included.
TEST_F(Navigation, OpeningAFileSelectsItsCell)
{
    t.file("photos/IMG_1.JPG", "j");
    t.file("photos/IMG_1.CR2", "r");
    const auto root = t.root() / "photos";
    for (const char *file : {"c.jpg", "IMG_1.CR2"}) {
        m.openRoot(root, root / file);
        ASSERT_TRUE(waitUntil([&] { return !m.isLoading(); }));
        ASSERT_TRUE(m.selectedPairId()) << file;
        const auto selected = m.pair(*m.selectedPairId());
        const QList<MediaItem> originals = selected->allOriginals();
        EXPECT_TRUE(std::any_of(originals.begin(), originals.end(), [&](const MediaItem &i) { return i.path == root / file; }));
    }
}

TEST_F(Navigation, OnlyTheNewestNavigationIsApplied)
{
    const auto root = t.root() / "photos";
    ASSERT_TRUE(openAndWait(m, root));
    for (int round = 0; round < 10; ++round) {
        const bool tripLast = round % 2;
        m.navigate(tripLast ? root / "2023" : root / "2024" / "trip");
        m.navigate(tripLast ? root / "2024" / "trip" : root / "2023");
        EXPECT_TRUE(m.isLoading());
        ASSERT_TRUE(waitUntil([&] { return !m.isLoading(); }));
        QTest::qWait(0);
        EXPECT_EQ(m.pairs().size(), tripLast ? 1 : 0);
    }
}

TEST_F(Navigation, LoadErrorKeepsTheSelection)
{
    ASSERT_TRUE(openAndWait(m, t.root() / "photos"));
    const auto before = m.selection();
    ASSERT_TRUE(navigateAndWait(m, t.root() / "photos" / "missing"));
    ASSERT_TRUE(m.loadError().has_value());
    EXPECT_TRUE(m.loadError()->startsWith(u"无法读取目录："_s));
    EXPECT_GT(m.loadError()->size(), 7);
    EXPECT_TRUE(m.pairs().isEmpty() && m.folders().isEmpty());
    EXPECT_EQ(m.selection(), before);
}

TEST(ModelSort, DateAndNameOrdersAreStable)
{
    if (!haveTool("convert") || !haveTool("exiftool"))
        GTEST_SKIP();
    TempTree t;
    ASSERT_TRUE(makeJpeg(t.root() / "b.jpg", 16, 16, {u"-DateTimeOriginal=2020:01:01 00:00:00"_s}));
    ASSERT_TRUE(makeJpeg(t.root() / "a.jpg", 16, 16, {u"-DateTimeOriginal=2021:01:01 00:00:00"_s}));
    ASSERT_TRUE(makeJpeg(t.root() / "d.jpg", 16, 16, {u"-DateTimeOriginal=2020:01:01 00:00:00"_s}));
    ASSERT_TRUE(makeJpeg(t.root() / "c.jpg", 16, 16, {u"-DateTimeOriginal=2020:01:01 00:00:00"_s}));
    AppModel m(nullptr, quietMachine());
    m.setSortMode(AppModel::SortMode::Date);
    ASSERT_TRUE(openAndWait(m, t.root()));
    EXPECT_EQ(pairNames(m), (std::vector<std::string>{"b.jpg", "c.jpg", "d.jpg", "a.jpg"}));
    m.setSortMode(AppModel::SortMode::Name);
    EXPECT_EQ(pairNames(m), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
    m.setSortMode(AppModel::SortMode::Date);
    EXPECT_EQ(pairNames(m), (std::vector<std::string>{"b.jpg", "c.jpg", "d.jpg", "a.jpg"}));
}

} // namespace
