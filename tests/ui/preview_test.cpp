#include "app/main_window.h"
#include "ui/large_image_view.h"
#include "ui/preview_overlay.h"
#include "ui/thumbnail_cache.h"
#include "ui/video_player_view.h"

#include "chrome_test_support.h"
#include "model_harness.h"

#include <QGraphicsVideoItem>
#include <QGraphicsView>
#include <QLabel>
#include <QSignalSpy>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QVideoSink>

#include <condition_variable>
#include <mutex>

using namespace vorlane;
using namespace vorlane::test;

namespace {

class PreviewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(1000, 700);
        window.show();
    }
    PreviewOverlay *overlay() { return window.findChild<PreviewOverlay *>(); }
    void openPreviewAt(int index)
    {
        m.cursor().selectByClick(GridSelection::media(m.listing().pairs()[index].id()));
        m.cursor().openPreview();
        ASSERT_EQ(m.cursor().previewIndex(), index);
    }
    TempTree t;
    AppModel m{nullptr, quietMachine()};
    ThumbnailCache cache;
    MainWindow window{m, cache};
};

TEST_F(PreviewTest, CounterNameMarkAndStaleIndex)
{
    for (const char *name : {"IMG_1.jpg", "IMG_2.jpg", "IMG_3.jpg"})
        t.file(name, "not really a picture");
    ASSERT_TRUE(openAndWait(m, t.root()));
    PreviewOverlay *o = overlay();
    EXPECT_FALSE(o->isVisible());
    EXPECT_TRUE(o->testAttribute(Qt::WA_TransparentForMouseEvents)) << "clicks reach the grid while closed";

    openPreviewAt(0);
    EXPECT_TRUE(o->isVisible());
    EXPECT_FALSE(o->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(o->counterLabel()->text(), QStringLiteral("1 / 3"));
    EXPECT_EQ(o->nameLabel()->text(), QStringLiteral("IMG_1.jpg"));
    EXPECT_EQ(o->hintLabel()->text(), QStringLiteral("空格关闭 · ←→ 切换 · D 标记"));
    EXPECT_FALSE(o->markLabel()->isVisible());
    ASSERT_NE(o->imageView(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return !o->imageView()->error().isEmpty(); })) << "an undecodable file says so";
    EXPECT_FALSE(o->imageView()->spinnerVisible());
    saveScreenshot(window, "preview-undecodable.png");

    m.cursor().previewMove(-1);
    EXPECT_EQ(o->counterLabel()->text(), QStringLiteral("3 / 3"));
    m.marks().toggle(m.listing().pairs()[2].id());
    EXPECT_TRUE(o->markLabel()->isVisible());
    m.marks().toggle(m.listing().pairs()[2].id());
    EXPECT_FALSE(o->markLabel()->isVisible());

    // A rescan that shrinks the list leaves the index past the end: nothing is shown.
    std::filesystem::remove(t.root() / "IMG_3.jpg");
    ASSERT_TRUE(navigateAndWait(m, t.root()));
    ASSERT_EQ(m.cursor().previewIndex(), 2);
    ASSERT_EQ(m.listing().pairs().size(), 2);
    EXPECT_FALSE(o->isVisible());
    EXPECT_EQ(o->imageView(), nullptr);
}

// A decoder that holds the first file's decode until released, so its result arrives after the second's.
class GatedDecoder
{
public:
    LargeImageView::Decode function()
    {
        return [this](const std::filesystem::path &path, int, std::stop_token) {
            if (path.filename() == "slow.jpg") {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_open; });
                return LargeImageView::Picture{QImage(60, 20, QImage::Format_RGB888), {}};
            }
            return LargeImageView::Picture{QImage(20, 60, QImage::Format_RGB888), {}};
        };
    }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

TEST(LargeImageViewTest, ALateResultOfASupersededLoadIsDropped)
{
    GatedDecoder decoder;
    LargeImageView view(nullptr, decoder.function());
    view.resize(400, 300);
    QSignalSpy finished(&view, &LargeImageView::decodeFinished);
    view.setSource("/photos/slow.jpg");
    view.setSource("/photos/fast.jpg");
    ASSERT_TRUE(waitUntil([&] { return !view.image().isNull(); }));
    EXPECT_EQ(view.image().size(), QSize(20, 60));
    decoder.open();
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 2; }));
    EXPECT_EQ(view.image().size(), QSize(20, 60)) << "the current source's picture stays";
    EXPECT_EQ(view.source(), std::filesystem::path("/photos/fast.jpg"));
}

TEST_F(PreviewTest, PortraitPhotoStandsUprightWithinTheScreenCap)
{
    if (!haveTool("convert") || !haveTool("exiftool"))
        GTEST_SKIP();
    // Stored 3000 × 1500 on its side; the EXIF Orientation turns it a quarter clockwise to 1500 × 3000.
    const auto photo = t.root() / "IMG_0001.JPG";
    ASSERT_TRUE(makeJpeg(photo, 3000, 1500));
    ASSERT_TRUE(setExif(photo, {QStringLiteral("-Orientation#=6")}));
    ASSERT_TRUE(makeJpeg(t.root() / "IMG_0002.JPG", 900, 600));
    ASSERT_TRUE(openAndWait(m, t.root()));
    openPreviewAt(0);
    LargeImageView *view = overlay()->imageView();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(waitUntil([&] { return !view->image().isNull(); }));
    const QImage &image = view->image();
    EXPECT_LT(image.width(), image.height()) << "orientation applied";
    EXPECT_EQ(image.height(), std::min(3000, view->decodeCap())) << "decoded no larger than the screen shows";
    EXPECT_LE(view->decodeCap(), LargeImageView::kMaxLongEdge);
    const QRectF shown = view->pictureRect();
    EXPECT_TRUE(QRectF(view->rect()).adjusted(40, 40, -40, -40).contains(shown));
    EXPECT_NEAR(shown.height(), view->height() - 80, 1) << "a tall picture fills the height";
    QTest::qWait(50);
    saveScreenshot(window, "preview-image.png");

    // Moving to another picture keeps the view and shows the new picture once decoded.
    m.cursor().previewMove(1);
    EXPECT_EQ(overlay()->imageView(), view);
    ASSERT_TRUE(waitUntil([&] { return view->image().width() > view->image().height(); }));
}

// A step shows the next cell's thumbnail at once, never the previous picture under the next name, then the
// full picture.
TEST_F(PreviewTest, StepShowsTheNextThumbnailAtOnceThenItsPicture)
{
    if (!haveTool("convert"))
        GTEST_SKIP();
    ASSERT_TRUE(makeJpeg(t.root() / "IMG_1.jpg", 1600, 800));
    ASSERT_TRUE(makeJpeg(t.root() / "IMG_2.jpg", 600, 1200));
    ASSERT_TRUE(openAndWait(m, t.root()));
    const MediaPair second = m.listing().pairs()[1];
    ASSERT_TRUE(waitUntil([&] { return !cache.cached(second.primary(), std::nullopt, m.settings().thumbnailSize()).isNull(); }))
        << "the grid has made the thumbnails of the cells on screen";
    openPreviewAt(0);
    LargeImageView *view = overlay()->imageView();
    ASSERT_TRUE(waitUntil([&] { return !view->image().isNull() && !view->showsPlaceholder(); }));
    ASSERT_GT(view->image().width(), view->image().height());

    m.cursor().previewMove(1);
    EXPECT_EQ(overlay()->nameLabel()->text(), QStringLiteral("IMG_2.jpg"));
    EXPECT_TRUE(view->showsPlaceholder());
    EXPECT_LT(view->image().width(), view->image().height()) << "the named cell's own thumbnail";
    ASSERT_TRUE(waitUntil([&] { return !view->showsPlaceholder(); }));
    const int height = std::min(1200, view->decodeCap());
    EXPECT_EQ(view->image().size(), QSize(height / 2, height)) << "the full picture, up to the screen's size";
}

TEST_F(PreviewTest, VideoPlaysTurnedUprightAndStopsOnClose)
{
    if (!haveTool("ffmpeg"))
        GTEST_SKIP();
    // Frames stored 192 × 108; the display matrix turns them upright to 108 × 192.
    ASSERT_TRUE(makeClip(t.root() / "clip_a.mp4", 192, 108, 90));
    ASSERT_TRUE(makeClip(t.root() / "clip_b.mp4", 192, 108));
    ASSERT_TRUE(openAndWait(m, t.root()));
    openPreviewAt(0);
    VideoPlayerView *view = overlay()->videoView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(overlay()->imageView(), nullptr);
    EXPECT_EQ(view->hasAudioOutput(), !QMediaDevices::audioOutputs().isEmpty())
        << "sound only when the system has an output";
    EXPECT_EQ(view->displayRotation(), 270);

    QSignalSpy frames(view->videoItem()->videoSink(), &QVideoSink::videoFrameChanged);
    ASSERT_TRUE(waitUntil([&] { return frames.size() >= 5; }, 20000)) << "frames arrive offscreen";
    EXPECT_EQ(view->player()->playbackState(), QMediaPlayer::PlayingState);
    QTest::qWait(50);
    const QImage grabbed = view->graphicsView()->grab().toImage();
    const QRect lit = litArea(grabbed);
    ASSERT_FALSE(lit.isEmpty()) << "the view shows the picture";
    EXPECT_GT(lit.height(), lit.width()) << "the portrait clip stands upright";
    saveScreenshot(grabbed, "preview-video-view.png");
    saveScreenshot(window, "preview-video.png");

    // The same file again keeps the running player; another file gets a new one.
    QPointer<QMediaPlayer> first = view->player();
    m.marks().toggle(m.listing().pairs()[0].id());
    EXPECT_EQ(view->player(), first.data());
    m.cursor().previewMove(1);
    ASSERT_EQ(overlay()->videoView(), view);
    EXPECT_TRUE(first.isNull()) << "the previous player is gone";
    QPointer<QMediaPlayer> second = view->player();
    ASSERT_FALSE(second.isNull());
    EXPECT_EQ(view->displayRotation(), 0);
    ASSERT_TRUE(waitUntil([&] { return second->playbackState() == QMediaPlayer::PlayingState; }, 20000));

    m.cursor().closePreview();
    EXPECT_EQ(overlay()->videoView(), nullptr);
    EXPECT_TRUE(second.isNull()) << "closing the preview ends playback";
    EXPECT_FALSE(overlay()->isVisible());
}

} // namespace
