#include "model_harness.h"

#include "testsupport/media_maker.h"

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;

namespace {

TEST(ModelDefaults, NewModel)
{
    AppModel m(nullptr, quietMachine());
    EXPECT_EQ(m.settings().viewMode(), ViewSettings::ViewMode::Merged);
    EXPECT_EQ(m.settings().fillMode(), ViewSettings::FillMode::Fill);
    EXPECT_EQ(m.listing().sortMode(), FolderListing::SortMode::Name);
    EXPECT_TRUE(m.settings().showFilenames() && m.settings().showRawLabel() && m.settings().autoScrollOnNav() && m.settings().autoScrollOnClick());
    EXPECT_FALSE(m.cursor().lastSelectionByKeyboard());
    EXPECT_EQ(m.settings().thumbnailSize(), 160.0);
    EXPECT_EQ(m.cursor().gridColumns(), 1);
    EXPECT_FALSE(m.listing().rootPath() || m.listing().currentPath() || m.cursor().selection() || m.cursor().previewIndex() || m.listing().loadError() || m.discard().lastResult());
    EXPECT_TRUE(m.listing().pairs().isEmpty() && m.listing().folders().isEmpty() && m.marks().marked().isEmpty() && m.marks().statuses().isEmpty());
    EXPECT_EQ(m.marks().progress(), BsideScheduler::Progress());
}

TEST(ModelFormatBytes, Table)
{
    const std::vector<std::pair<int64_t, const char *>> rows{
        {0, "0B"},           {-5, "-5B"},          {512, "512B"},       {1023, "1023B"},
        {1024, "1.0K"},      {1536, "1.5K"},       {10 << 20, "10M"},   {int64_t(1023.6 * 1048576), "1024M"},
        {int64_t(9.96 * 1073741824.0), "10.0G"},   {int64_t(15.5 * 1073741824.0), "16G"},
        {int64_t(1) << 40, "1.0T"}};
    for (const auto &[bytes, text] : rows)
        EXPECT_EQ(formatBytes(bytes).toStdString(), text) << bytes;
}

TEST(ModelBreadcrumb, Rule)
{
    using P = std::filesystem::path;
    EXPECT_EQ(FolderListing::breadcrumbFor("/photos/2024/trip", "/photos"), (QList<P>{"/photos", "/photos/2024", "/photos/2024/trip"}));
    EXPECT_EQ(FolderListing::breadcrumbFor("/photos", "/photos"), (QList<P>{"/photos"}));
    EXPECT_EQ(FolderListing::breadcrumbFor("/other/x", "/photos"), (QList<P>{"/photos", "/other", "/other/x"}));
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
    EXPECT_EQ(m.listing().breadcrumb(), QList<std::filesystem::path>{root});
    ASSERT_EQ(m.listing().folders().size(), 2);
    EXPECT_EQ(m.cursor().selection(), GridSelection::folder(m.listing().folders()[0].id)) << "first folder selected";
    EXPECT_EQ(m.listing().rootDirBytes(), 1);
    EXPECT_GT(m.listing().freeSpaceBytes(), 0) << "measured in the background";

    ASSERT_TRUE(navigateAndWait(m, root / "2024" / "trip"));
    EXPECT_EQ(m.listing().breadcrumb().size(), 3);
    EXPECT_EQ(m.listing().currentDirBytes(), 2);
    EXPECT_EQ(m.listing().rootDirBytes(), 1) << "only the root's own listing sets it";
    EXPECT_EQ(m.cursor().selection(), GridSelection::media(m.listing().pairs()[0].id()));

    m.goUp();
    ASSERT_TRUE(waitUntil([&] { return !m.listing().isLoading(); }));
    EXPECT_EQ(*m.listing().currentPath(), root / "2024");
    ASSERT_EQ(m.listing().folders().size(), 1);
    EXPECT_EQ(m.cursor().selection(), GridSelection::folder(m.listing().folders()[0].id));

    m.goUp();
    ASSERT_TRUE(waitUntil([&] { return !m.listing().isLoading(); }));
    const std::optional<GridSelection> atRoot = m.cursor().selection();
    m.goUp(); // at the root: nothing happens
    EXPECT_FALSE(m.listing().isLoading());
    EXPECT_EQ(m.cursor().selection(), atRoot);
}

// "Open with" on a photo opens its folder with that photo's cell selected, a RAW of a pair included.
TEST_F(Navigation, OpeningAFileSelectsItsCell)
{
    t.file("photos/IMG_1.JPG", "j");
    t.file("photos/IMG_1.CR2", "r");
    const auto root = t.root() / "photos";
    for (const char *file : {"c.jpg", "IMG_1.CR2"}) {
        m.openRoot(root, root / file);
        ASSERT_TRUE(waitUntil([&] { return !m.listing().isLoading(); }));
        ASSERT_TRUE(m.cursor().selectedPairId()) << file;
        const auto selected = m.listing().pair(*m.cursor().selectedPairId());
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
        EXPECT_TRUE(m.listing().isLoading());
        ASSERT_TRUE(waitUntil([&] { return !m.listing().isLoading(); }));
        QTest::qWait(0);
        EXPECT_EQ(m.listing().pairs().size(), tripLast ? 1 : 0);
    }
}

TEST_F(Navigation, LoadErrorKeepsTheSelection)
{
    ASSERT_TRUE(openAndWait(m, t.root() / "photos"));
    const auto before = m.cursor().selection();
    ASSERT_TRUE(navigateAndWait(m, t.root() / "photos" / "missing"));
    ASSERT_TRUE(m.listing().loadError().has_value());
    EXPECT_TRUE(m.listing().loadError()->startsWith(u"无法读取目录："_s));
    EXPECT_GT(m.listing().loadError()->size(), 7);
    EXPECT_TRUE(m.listing().pairs().isEmpty() && m.listing().folders().isEmpty());
    EXPECT_EQ(m.cursor().selection(), before);
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
    m.listing().setSortMode(FolderListing::SortMode::Date);
    ASSERT_TRUE(openAndWait(m, t.root()));
    EXPECT_EQ(pairNames(m), (std::vector<std::string>{"b.jpg", "c.jpg", "d.jpg", "a.jpg"}));
    m.listing().setSortMode(FolderListing::SortMode::Name);
    EXPECT_EQ(pairNames(m), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
    m.listing().setSortMode(FolderListing::SortMode::Date);
    EXPECT_EQ(pairNames(m), (std::vector<std::string>{"b.jpg", "c.jpg", "d.jpg", "a.jpg"}));
}

} // namespace
