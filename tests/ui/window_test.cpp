#include "app/key_map.h"
#include "app/main_window.h"
#include "app/toast.h"
#include "ui/browser_grid.h"
#include "ui/thumbnail_cache.h"

#include "model_harness.h"
#include "testsupport/media_maker.h"

#include <QDir>
#include <QScrollBar>
#include <QMouseEvent>

using namespace vorlane;
using namespace vorlane::test;

namespace {

void saveScreenshot(QWidget &w, const char *name)
{
    QDir().mkpath(QStringLiteral(VORLANE_SCREENSHOT_DIR));
    w.grab().save(QStringLiteral(VORLANE_SCREENSHOT_DIR "/") + QString::fromLatin1(name));
}

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.setDirectoryPicker([this](const QString &) { return picked; });
        window.resize(1016 + 20, 700);
        window.show();
    }
    TempTree t;
    std::optional<std::filesystem::path> picked;
    AppModel m{nullptr, quietMachine()};
    ThumbnailCache cache;
    MainWindow window{m, cache};
};

TEST_F(WindowTest, StartScreenUntilAFolderIsChosen)
{
    EXPECT_FALSE(window.showsBrowser());
    EXPECT_FALSE(window.keyMap()->isActive());
    picked = t.root() / "missing";
    window.pickDirectory();
    EXPECT_FALSE(m.listing().rootPath()) << "a path that is not a folder is ignored";
    picked = t.root();
    window.pickDirectory();
    EXPECT_TRUE(window.showsBrowser());
    EXPECT_TRUE(window.keyMap()->isActive());
    saveScreenshot(window, "empty-folder.png");
}

TEST_F(WindowTest, GridWritesColumnsAndClickSelects)
{
    for (int i = 0; i < 12; ++i)
        t.file("IMG_" + std::to_string(i) + ".jpg", "x");
    ASSERT_TRUE(openAndWait(m, t.root()));
    BrowserGrid *grid = window.grid();
    grid->resize(1000 + grid->verticalScrollBar()->width(), 500);
    QApplication::processEvents();
    EXPECT_EQ(m.cursor().gridColumns(), grid->geometryNow().columns());
    const int before = m.cursor().gridColumns();
    m.settings().setThumbnailSize(320);
    EXPECT_LT(m.cursor().gridColumns(), before);

    m.cursor().move(GridCursor::Direction::Right);
    ASSERT_TRUE(m.cursor().lastSelectionByKeyboard());
    const QPoint inside = grid->cellViewportRect(3).center().toPoint();
    QMouseEvent click(QEvent::MouseButtonPress, inside, grid->viewport()->mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid->viewport(), &click);
    EXPECT_EQ(m.cursor().selection(), m.listing().gridItems()[3]);
    EXPECT_FALSE(m.cursor().lastSelectionByKeyboard());
}

// A file still being written when its folder was listed: listing the folder again tries its thumbnail again.
TEST_F(WindowTest, FailedThumbnailIsRetriedWhenTheFolderIsListedAgain)
{
    if (!haveTool("convert"))
        GTEST_SKIP();
    const auto photo = t.file("IMG_1.jpg", "the first bytes of a photo being copied");
    ASSERT_TRUE(openAndWait(m, t.root()));
    const auto item = [&] { return m.listing().pairs()[0].primary(); };
    ASSERT_TRUE(waitUntil([&] { return cache.failed(item(), std::nullopt, m.settings().thumbnailSize()); }));
    ASSERT_TRUE(makeJpeg(photo, 400, 300));
    ASSERT_TRUE(navigateAndWait(m, t.root()));
    EXPECT_TRUE(waitUntil([&] { return !cache.cached(item(), std::nullopt, m.settings().thumbnailSize()).isNull(); }, 10000));
}

TEST_F(WindowTest, KeyboardScrollFollowsTheSettings)
{
    for (int i = 0; i < 200; ++i)
        t.file("IMG_" + std::to_string(i) + ".jpg", "x");
    ASSERT_TRUE(openAndWait(m, t.root()));
    QApplication::processEvents();
    QScrollBar *bar = window.grid()->verticalScrollBar();
    m.settings().setAutoScrollOnClick(false);
    m.cursor().selectByClick(m.listing().gridItems()[150]);
    QTest::qWait(200);
    EXPECT_EQ(bar->value(), 0) << "no scroll after a click when that setting is off";
    m.cursor().move(GridCursor::Direction::Right);
    // The new cell ends up centred in the viewport.
    ASSERT_TRUE(waitUntil([&] {
        const QRectF cell = window.grid()->cellViewportRect(151);
        return std::abs(cell.center().y() - window.grid()->viewport()->height() / 2.0) < 2;
    }, 3000));
}

TEST_F(WindowTest, ScreenshotOfRealPhotos)
{
    if (!haveTool("convert"))
        GTEST_SKIP();
    t.dir("2024");
    t.file("2024/x.bin", std::string(5000, 'x'));
    ASSERT_TRUE(makeJpeg(t.root() / "IMG_1.JPG", 600, 400));
    t.file("IMG_1.CR2", "raw");
    ASSERT_TRUE(makeJpeg(t.root() / "IMG_2.JPG", 400, 600));
    ASSERT_TRUE(makeJpeg(t.root() / "IMG_3.JPG", 600, 400));
    ASSERT_TRUE(openAndWait(m, t.root()));
    m.cursor().step(1);
    m.markCurrentAndAdvance(false);
    ASSERT_TRUE(waitUntil([&] { return m.discard().discardableCount() == 1; }));
    ASSERT_TRUE(waitUntil([&] { return cache.bytesHeld() > 0 && !cache.cached(m.listing().pairs()[2].primary(), std::nullopt, 160).isNull(); }));
    QTest::qWait(100);
    saveScreenshot(window, "grid.png");
    m.settings().setShowFilenames(false);
    QTest::qWait(50);
    saveScreenshot(window, "grid-no-names.png");
}

} // namespace
