#include "media/picture.h"
#include "media/picture_analysis.h"
#include "ui/compare_view.h"
#include "ui/info_panel.h"
#include "ui/large_image_view.h"
#include "ui/overlay_toggles.h"
#include "ui/preview_loader.h"
#include "ui/preview_overlay.h"
#include "ui/qt_multimedia_compat.h"
#include "ui/thumbnail_cache.h"
#include "ui/video_player_view.h"

#include "testsupport/model_support.h"

#include <QAudioDevice>
#include <QGraphicsVideoItem>
#include <QGraphicsView>
#include <QLabel>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QVideoSink>

#include <atomic>
#include <future>

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;

namespace {

// Grey pictures (or of the colour given), scaled to the long edge asked for: small.png is 200 x 100, any other
// file 4000 x 3000. A long edge of 0 asks for the full size, which fails for huge.jpg (past the decoder's budget);
// fullDecodes counts them.
PreviewLoader::Decode greyPictures(std::atomic<int> *fullDecodes = nullptr, QColor colour = Qt::gray)
{
    return [=](const std::filesystem::path &path, int maxLongEdge, std::stop_token) {
        const QSize full = path.filename() == "small.png" ? QSize(200, 100) : QSize(4000, 3000);
        if (maxLongEdge == 0 && fullDecodes)
            ++*fullDecodes;
        if (maxLongEdge == 0 && path.filename() == "huge.jpg")
            return PreviewLoader::Decoded{{}, u"the picture is too large to decode (30000 x 20000 pixels)"_s};
        QImage image(maxLongEdge > 0 ? full.scaled(maxLongEdge, maxLongEdge, Qt::KeepAspectRatio).boundedTo(full) : full,
                     QImage::Format_RGB888);
        image.fill(colour);
        return PreviewLoader::Decoded{image, {}};
    };
}

class Preview : public ModelTest
{
protected:
    void SetUp() override { overlay.resize(1000, 700); }
    void openPreviewAt(int index)
    {
        m.cursor().selectByClick(GridSelection::media(m.listing().pairs()[index].id()));
        m.cursor().openPreview();
        ASSERT_EQ(m.cursor().previewIndex(), index);
    }
    ThumbnailCache cache;
    PreviewOverlay overlay{m, cache};
};

TEST_F(Preview, CounterNameMarkAndStaleIndex)
{
    for (const char *name : {"IMG_1.jpg", "IMG_2.jpg", "IMG_3.jpg", "<img src=IMG_1.jpg><font color=red size=7>x.jpg"})
        t.file(name, "not really a picture");
    ASSERT_TRUE(openAndWait(m, t.root()));
    const QString markup = u"<img src=IMG_1.jpg><font color=red size=7>x.jpg"_s;
    openPreviewAt(int(m.cursor().items().indexOf(GridSelection::media(pairIdNamed(m, markup)))));
    ASSERT_EQ(overlay.nameLabel()->text(), markup);
    EXPECT_GE(overlay.nameLabel()->sizeHint().width(), overlay.nameLabel()->fontMetrics().horizontalAdvance(markup))
        << "a file name is shown as its characters, never as markup";
    m.cursor().closePreview();
    std::filesystem::remove(t.root() / "<img src=IMG_1.jpg><font color=red size=7>x.jpg");
    ASSERT_TRUE(navigateAndWait(m, t.root()));
    EXPECT_FALSE(overlay.isVisible());
    EXPECT_TRUE(overlay.testAttribute(Qt::WA_TransparentForMouseEvents)) << "clicks reach the grid while closed";

    openPreviewAt(0);
    EXPECT_TRUE(overlay.isVisible());
    EXPECT_FALSE(overlay.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(overlay.counterLabel()->text(), u"1 / 3"_s);
    EXPECT_EQ(overlay.nameLabel()->text(), u"IMG_1.jpg"_s);
    EXPECT_FALSE(overlay.markLabel()->isVisible());
    ASSERT_NE(overlay.imageView(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return !overlay.imageView()->error().isEmpty(); })) << "an undecodable file says so";
    EXPECT_FALSE(overlay.imageView()->spinnerVisible());
    QSignalSpy infoShown(&overlay, &PreviewOverlay::infoShown);
    overlay.toggleInfo();
    ASSERT_TRUE(waitUntil([&] { return infoShown.size() == 1; }));
    const QRect panel = overlay.findChild<InfoPanel *>()->geometry();
    EXPECT_FALSE(overlay.imageView()->messageArea().intersects(panel)) << "the panel leaves the message readable";
    overlay.toggleInfo();
    EXPECT_EQ(overlay.imageView()->messageArea().center(), QRectF(overlay.imageView()->rect()).center());

    m.cursor().previewMove(-1);
    EXPECT_EQ(overlay.counterLabel()->text(), u"3 / 3"_s);
    m.marks().toggle(m.listing().pairs()[2].id());
    EXPECT_TRUE(overlay.markLabel()->isVisible());
    m.marks().toggle(m.listing().pairs()[2].id());
    EXPECT_FALSE(overlay.markLabel()->isVisible());

    // A rescan that shrinks the list leaves the index past the end: nothing is shown.
    std::filesystem::remove(t.root() / "IMG_3.jpg");
    ASSERT_TRUE(navigateAndWait(m, t.root()));
    ASSERT_EQ(m.cursor().previewIndex(), 2);
    ASSERT_EQ(m.listing().pairs().size(), 2);
    EXPECT_FALSE(overlay.isVisible());
    EXPECT_EQ(overlay.imageView(), nullptr);
}

// A decode of slow.jpg held until released, so that its result arrives after the next source's.
TEST(LargeImageViewTest, ALateResultOfASupersededLoadIsDropped)
{
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    PreviewLoader loader(nullptr, [released](const std::filesystem::path &path, int, std::stop_token) {
        if (path.filename() == "slow.jpg")
            released.wait();
        return PreviewLoader::Decoded{path.filename() == "slow.jpg" ? QImage(60, 20, QImage::Format_RGB888)
                                                                    : QImage(20, 60, QImage::Format_RGB888),
                                      {}};
    });
    LargeImageView view(loader);
    view.resize(400, 300);
    QSignalSpy ready(&loader, &PreviewLoader::ready);
    view.setSource("/photos/slow.jpg");
    view.setSource("/photos/fast.jpg");
    ASSERT_TRUE(waitUntil([&] { return !view.image().isNull(); }));
    EXPECT_EQ(view.image().size(), QSize(20, 60));
    release.set_value();
    ASSERT_TRUE(waitUntil([&] { return ready.size() == 2; }));
    EXPECT_EQ(view.image().size(), QSize(20, 60)) << "the current source's picture stays";
    EXPECT_EQ(view.source(), std::filesystem::path("/photos/fast.jpg"));
}

// The loader hands each picture over already scaled to the size the view draws it at, a neighbour decoded
// ahead too, so showing it resamples nothing on the main thread; a picture smaller than the view keeps its size.
TEST(LargeImageViewTest, PicturesArriveScaledToTheirDrawnSize)
{
    PreviewLoader loader(nullptr, greyPictures());
    LargeImageView view(loader);
    view.resize(800, 600);
    const auto fitted = [&](const char *file) { return loader.fitted(file, view.decodeCap()); };
    QSize drawn;
    for (const char *file : {"/small.png", "/a.jpg"}) {
        view.setSource(file, std::nullopt, {}, {"/b.jpg"});
        ASSERT_TRUE(waitUntil([&] { return !view.image().isNull() && !view.showsPlaceholder(); }));
        drawn = (view.pictureRect().size() * view.devicePixelRatioF()).toSize();
        EXPECT_EQ(fitted(file).size(), drawn) << file;
    }
    EXPECT_LT(drawn.width(), view.image().width()) << "the decode is larger than the view";
    ASSERT_TRUE(waitUntil([&] { return !fitted("/b.jpg").isNull(); }));
    EXPECT_EQ(fitted("/b.jpg").size(), drawn);
}

// Z and a double-click: fitted <-> 100 % at the point under the mouse, from a full-size decode asked for only
// then; panning stops at the picture's edges; a step keeps the zoom and the spot; a small picture is never
// enlarged when fitted. A zoom whose full decode fails goes back to the fitted picture and says why, instead
// of spinning over it.
TEST(LargeImageViewTest, ZoomsToFullSizeAtThePointAndKeepsTheSpotAcrossSteps)
{
    std::atomic<int> fullDecodes = 0;
    PreviewLoader loader(nullptr, greyPictures(&fullDecodes));
    LargeImageView view(loader);
    view.resize(800, 600);
    const auto decoded = [&](QSize size) {
        return waitUntil([&] { return !view.showsPlaceholder() && view.image().size() == size; });
    };
    view.setSource("/burst/a.jpg");
    ASSERT_TRUE(waitUntil([&] { return !view.image().isNull() && !view.showsPlaceholder(); }));
    EXPECT_FALSE(view.isZoomed());
    EXPECT_EQ(fullDecodes, 0) << "the fitted picture is decoded at the screen's size";
    const QRectF fitted = view.pictureRect();

    QTest::mouseDClick(&view, Qt::LeftButton, {},
                       (fitted.topLeft() + QPointF(fitted.width() / 4, fitted.height() / 4)).toPoint());
    EXPECT_TRUE(view.isZoomed());
    EXPECT_DOUBLE_EQ(view.zoom(), 1.0);
    EXPECT_NEAR(view.centre().x(), 0.25, 0.01);
    EXPECT_NEAR(view.centre().y(), 0.25, 0.01);
    ASSERT_TRUE(decoded({4000, 3000})) << "100 % shows the original's pixels";
    view.pan({1e6, 1e6});
    EXPECT_NEAR(view.centre().x(), 400.0 / 4000, 1e-6) << "the left edge stops at the view's";
    EXPECT_NEAR(view.centre().y(), 300.0 / 3000, 1e-6);
    view.pan({-200, 0});
    EXPECT_NEAR(view.centre().x(), 600.0 / 4000, 1e-6);

    const QPointF spot = view.centre();
    view.setSource("/burst/b.jpg");
    ASSERT_TRUE(decoded({4000, 3000}));
    EXPECT_TRUE(view.isZoomed());
    EXPECT_EQ(view.centre(), spot) << "the next photo of the burst at the same spot";

    view.zoomBy(1);
    EXPECT_DOUBLE_EQ(view.zoom(), 2.0);
    for (int i = 0; i < 6 && view.isZoomed(); ++i)
        view.zoomBy(-1);
    EXPECT_FALSE(view.isZoomed()) << "zooming out ends fitted";

    view.setSource("/burst/small.png");
    ASSERT_TRUE(decoded({200, 100}));
    EXPECT_EQ(view.pictureRect().size(), QSizeF(200, 100)) << "shown at 100 %, not blown up";

    view.setSource("/huge.jpg");
    ASSERT_TRUE(waitUntil([&] { return !view.image().isNull() && !view.showsPlaceholder(); }));
    view.toggleZoom();
    ASSERT_TRUE(waitUntil([&] { return !view.zoomError().isEmpty(); }));
    EXPECT_EQ(view.zoomError(), u"Cannot show at 100%: the picture is too large to decode (30000 x 20000 pixels)"_s);
    EXPECT_FALSE(view.isZoomed());
    EXPECT_FALSE(view.image().isNull());
}

// The picture on screen is kept even when it alone passes the memory budget (100 % of a medium-format
// photo), and given up for the next one; a neighbour that large is not kept. A file replaced on disk (a new
// time and size) is decoded anew, never shown from the old decode.
TEST(PreviewLoaderTest, TheShownPictureIsKeptWhateverItsSizeAndAReplacedFileIsDecodedAgain)
{
    TempTree t;
    const auto a = t.file("a.jpg", "a"), b = t.file("b.jpg", "b");
    std::atomic<int> decodes = 0;
    PreviewLoader loader(
        nullptr,
        [&](const std::filesystem::path &path, int, std::stop_token) {
            ++decodes;
            QImage image(1000, 1000 + int(std::filesystem::file_size(path)), QImage::Format_RGB888); // 3 MB
            image.fill(Qt::gray);
            return PreviewLoader::Decoded{image, {}};
        },
        1 << 20);
    const auto decoded = [&](const std::filesystem::path &file) {
        return waitUntil([&] { return !loader.picture(file, 0).isNull(); }, 10000);
    };
    loader.want(a, 0, {b});
    ASSERT_TRUE(decoded(a)) << "over the whole budget, and still shown";
    ASSERT_TRUE(waitUntil([&] { return decodes == 2; }));
    QTest::qWait(50);
    EXPECT_TRUE(loader.picture(b, 0).isNull()) << "a neighbour that large is not kept";
    loader.want(b, 0);
    ASSERT_TRUE(decoded(b));
    EXPECT_TRUE(loader.picture(a, 0).isNull()) << "given up for the next one";

    const std::string replaced = "another picture under the same name";
    t.file("b.jpg", replaced);
    EXPECT_TRUE(loader.picture(b, 0).isNull());
    loader.want(b, 0);
    ASSERT_TRUE(decoded(b));
    EXPECT_EQ(loader.picture(b, 0).height(), 1000 + int(replaced.size()));
}

// A portrait photo stands upright, decoded no larger than the screen shows and fitted within the padding. A
// step shows the next cell's thumbnail at once, never the previous picture under the next name, then its
// full picture in the same view.
TEST_F(Preview, PhotosStandUprightAndAStepShowsTheNextThumbnailAtOnce)
{
    VORLANE_REQUIRE_TOOLS("convert", "exiftool");
    // Stored 3000 × 1500 on its side; the EXIF Orientation turns it a quarter clockwise to 1500 × 3000.
    ASSERT_TRUE(makeJpeg(t.root() / "IMG_1.JPG", 3000, 1500, {u"-Orientation#=6"_s}));
    ASSERT_TRUE(makeJpeg(t.root() / "IMG_2.JPG", 1200, 600));
    ASSERT_TRUE(openAndWait(m, t.root()));
    overlay.loader().setPrefetching(false); // else the next picture may be decoded before the step
    const MediaItem second = m.listing().pairs()[1].primary();
    cache.request(second, m.settings().thumbnailSize(), 1.0); // as the grid does for cells on screen
    ASSERT_TRUE(waitUntil([&] { return !cache.cached(second, m.settings().thumbnailSize()).isNull(); }));
    openPreviewAt(0);
    LargeImageView *view = overlay.imageView();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(waitUntil([&] { return !view->image().isNull() && !view->showsPlaceholder(); }));
    EXPECT_LT(view->image().width(), view->image().height()) << "orientation applied";
    EXPECT_EQ(view->image().height(), std::min(3000, view->decodeCap())) << "decoded no larger than the screen shows";
    EXPECT_LE(view->decodeCap(), LargeImageView::kMaxLongEdge);
    const QRectF shown = view->pictureRect();
    EXPECT_TRUE(QRectF(view->rect()).adjusted(40, 40, -40, -40).contains(shown));
    EXPECT_NEAR(shown.height(), view->height() - 80, 1) << "a tall picture fills the height";

    m.cursor().previewMove(1);
    EXPECT_EQ(overlay.imageView(), view);
    EXPECT_EQ(overlay.nameLabel()->text(), u"IMG_2.JPG"_s);
    EXPECT_TRUE(view->showsPlaceholder());
    EXPECT_GT(view->image().width(), view->image().height()) << "the named cell's own thumbnail";
    ASSERT_TRUE(waitUntil([&] { return !view->showsPlaceholder(); }));
    const int width = std::min(1200, view->decodeCap());
    EXPECT_EQ(view->image().size(), QSize(width, width / 2)) << "the full picture, up to the screen's size";
}

// I: what the photo's EXIF records, in a photographer's units, fields it lacks left out; the panel follows
// the preview to the next cell, and stays asked for when the preview closes on a photo and opens on a clip,
// until the next I.
TEST_F(Preview, InfoPanelShowsWhatTheFileRecordsAndFollowsTheCells)
{
    VORLANE_REQUIRE_TOOLS("convert", "exiftool", "ffmpeg");
    ASSERT_TRUE(makeJpeg(t.root() / "IMG_1.JPG", 600, 400,
                         {u"-DateTimeOriginal=2024:05:01 10:20:30"_s, u"-Make=NIKON CORPORATION"_s,
                          u"-Model=NIKON D7100"_s, u"-ExposureTime=1/250"_s, u"-FNumber=2.8"_s, u"-ISO=400"_s,
                          u"-FocalLength=50"_s, u"-ExposureCompensation=-0.7"_s}));
    ASSERT_TRUE(makeJpeg(t.root() / "IMG_2.JPG", 300, 200));
    ASSERT_TRUE(ffmpeg(testPattern("192x108", 1) + QStringList{u"-pix_fmt"_s, u"yuv420p"_s}, t.root() / "IMG_3.mp4"));
    ASSERT_TRUE(openAndWait(m, t.root()));
    openPreviewAt(0);
    QSignalSpy shown(&overlay, &PreviewOverlay::infoShown);
    overlay.toggleInfo();
    ASSERT_TRUE(waitUntil([&] { return shown.size() == 1; }));
    const QList<QPair<QString, QString>> expected{
        {u"Taken"_s, u"2024-05-01 10:20:30"_s}, {u"Camera"_s, u"NIKON D7100"_s},  {u"Shutter"_s, u"1/250 s"_s},
        {u"Aperture"_s, u"f/2.8"_s},            {u"ISO"_s, u"400"_s},             {u"Focal length"_s, u"50 mm"_s},
        {u"Exposure compensation"_s, u"-0.7 EV"_s}, {u"Size"_s, u"600 × 400"_s}};
    EXPECT_EQ(overlay.infoRows().mid(0, expected.size()), expected);
    ASSERT_EQ(overlay.infoRows().size(), expected.size() + 2);
    EXPECT_EQ(overlay.infoRows()[expected.size()].first, u"File size"_s);
    EXPECT_EQ(overlay.infoRows().last().first, u"File"_s);

    m.cursor().previewMove(1);
    ASSERT_TRUE(waitUntil([&] { return shown.size() == 2; }));
    EXPECT_EQ(overlay.infoRows().first(), (QPair<QString, QString>{u"Size"_s, u"300 × 200"_s}))
        << "nothing the file lacks";
    m.cursor().closePreview();
    openPreviewAt(2);
    ASSERT_NE(overlay.videoView(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return shown.size() == 3; }));
    EXPECT_TRUE(overlay.infoVisible());
    EXPECT_TRUE(overlay.infoRows().contains(QPair<QString, QString>{u"Resolution"_s, u"192 × 108"_s}));
    overlay.toggleInfo();
    EXPECT_FALSE(overlay.infoVisible()) << "the first I after it hides it";
}

// The compare view's information panels stay asked for while it is closed, and show the cells it opens on
// next, never the ones it showed last; a pane that cannot show its file keeps the reason clear of its panel.
TEST_F(Preview, TheCompareInfoPanelsFollowTheCellsItOpensOn)
{
    VORLANE_REQUIRE_TOOLS("convert");
    for (const char *name : {"a.jpg", "b.jpg"})
        ASSERT_TRUE(makeJpeg(t.root() / name, 300, 200));
    t.file("c.jpg", "not a picture");
    ASSERT_TRUE(openAndWait(m, t.root()));
    CompareView compare(m, cache, overlay.loader());
    compare.resize(1000, 700);
    const QList<InfoPanel *> panels = compare.findChildren<InfoPanel *>();
    ASSERT_EQ(panels.size(), 2);
    const auto shows = [&](int pane, const QString &file) {
        return panels[pane]->rows().contains(QPair<QString, QString>{u"File"_s, file});
    };
    m.cursor().selectByClick(GridSelection::media(pairIdNamed(m, u"a.jpg"_s)));
    m.cursor().openCompare();
    compare.toggleInfo();
    ASSERT_TRUE(waitUntil([&] { return shows(0, u"a.jpg"_s) && shows(1, u"b.jpg"_s); }));
    m.cursor().closeCompare();
    m.cursor().selectByClick(GridSelection::media(pairIdNamed(m, u"c.jpg"_s)));
    m.cursor().openCompare();
    EXPECT_TRUE(compare.infoVisible());
    EXPECT_TRUE(waitUntil([&] { return shows(0, u"c.jpg"_s) && shows(1, u"a.jpg"_s); }, 5000))
        << "the panels name the cells compared now";
    const LargeImageView *reference = compare.findChildren<LargeImageView *>().constFirst();
    ASSERT_TRUE(waitUntil([&] { return !reference->error().isEmpty(); }));
    EXPECT_FALSE(reference->messageArea().intersects(panels[0]->geometry().translated(-reference->pos())))
        << "the panel leaves the message readable";
    EXPECT_GE(reference->messageArea().width(), 320);
}

// A WebM clip shows its length from the container even where the player does not know it (Qt 6.4).
TEST(VideoPlayer, AWebmClipShowsItsLength)
{
    VORLANE_REQUIRE_TOOLS("ffmpeg");
    TempTree t;
    ASSERT_TRUE(ffmpeg(testPattern("160x90", 3) + QStringList{u"-c:v"_s, u"libvpx"_s, u"-b:v"_s, u"200k"_s},
                       t.root() / "clip.webm"));
    VideoPlayerView view;
    view.resize(640, 400);
    view.setSource(t.root() / "clip.webm");
    EXPECT_TRUE(view.timeText().endsWith(u"0:03"_s)) << view.timeText().toStdString();
    QTest::qWait(500);
    EXPECT_TRUE(view.timeText().endsWith(u"0:03"_s)) << view.timeText().toStdString();
}

TEST_F(Preview, VideoPlaysTurnedUprightAndStopsOnClose)
{
    VORLANE_REQUIRE_TOOLS("ffmpeg");
    // Frames stored 192 × 108; the display matrix turns clip_a upright to 108 × 192.
    const QStringList clip
        = testPattern("192x108", 3) + tone() + QStringList{u"-pix_fmt"_s, u"yuv420p"_s, u"-c:a"_s, u"aac"_s};
    ASSERT_TRUE(ffmpeg(clip, t.root() / "clip_a.mp4") && rotateClip(t.root() / "clip_a.mp4", 90));
    ASSERT_TRUE(ffmpeg(clip, t.root() / "clip_b.mp4"));
    ASSERT_TRUE(openAndWait(m, t.root()));
    openPreviewAt(0);
    VideoPlayerView *view = overlay.videoView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(overlay.imageView(), nullptr);
    EXPECT_EQ(view->hasAudioOutput(), !QMediaDevices::audioOutputs().isEmpty())
        << "sound only when the system has an output";
    EXPECT_EQ(view->displayRotation(), QtMultimediaCompat::kPlayerAppliesDisplayMatrix ? 0 : 270)
        << "turned once: by the player or by the view";
    QSignalSpy frames(view->videoItem()->videoSink(), &QVideoSink::videoFrameChanged);
    ASSERT_TRUE(waitUntil([&] { return frames.size() >= 5; }, 20000)) << "frames arrive offscreen";
    EXPECT_EQ(view->player()->playbackState(), QMediaPlayer::PlayingState);
    const QImage shown = view->graphicsView()->grab().toImage();
    QRect lit; // every pixel brighter than the backdrop
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x)
            lit |= qGray(shown.pixel(x, y)) > 20 ? QRect(x, y, 1, 1) : QRect();
    }
    ASSERT_FALSE(lit.isEmpty()) << "the view shows the picture";
    EXPECT_GT(lit.height(), lit.width()) << "the portrait clip stands upright";

    // The same file again keeps the running player; another file gets a new one.
    QPointer<QMediaPlayer> first = view->player();
    m.marks().toggle(m.listing().pairs()[0].id());
    EXPECT_EQ(view->player(), first.data());
    m.cursor().previewMove(1);
    ASSERT_EQ(overlay.videoView(), view);
    EXPECT_TRUE(first.isNull()) << "the previous player is gone";
    QPointer<QMediaPlayer> second = view->player();
    ASSERT_FALSE(second.isNull());
    EXPECT_EQ(view->displayRotation(), 0);
    ASSERT_TRUE(waitUntil([&] { return second->playbackState() == QMediaPlayer::PlayingState; }, 20000));

    m.cursor().closePreview();
    EXPECT_EQ(overlay.videoView(), nullptr);
    EXPECT_TRUE(second.isNull()) << "closing the preview ends playback";
    EXPECT_FALSE(overlay.isVisible());
}

// A 4:3 JPEG whose maker notes (a real camera's, from the corpus) put the AF point at x, y.
bool jpegFocusedAt(const std::filesystem::path &fixtures, const std::filesystem::path &out, double x, double y)
{
    return magick({u"-size"_s, u"400x300"_s, u"xc:gray"_s}, out)
        && setExif(out, {u"-ExifByteOrder=II"_s, u"-Make=Panasonic"_s})
        && setExif(out, {u"-TagsFromFile"_s, qpath(fixtures / "formats/rw2/Panasonic.rw2"), u"-MakerNotes"_s})
        && setExif(out, {u"-AFPointPosition=%1 %2"_s.arg(x).arg(y)});
}

// Z zooms to where the camera focused; stepping on, the spot follows each photo's own point until the user
// pans; Z again follows again.
TEST(ZoomToFocus, TheSpotFollowsEachFramesFocusUntilThePan)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    TempTree t;
    const auto a = t.dir("burst") / "a.jpg", b = t.dir("burst") / "b.jpg";
    ASSERT_TRUE(jpegFocusedAt(fixtures, a, 0.78, 0.3));
    ASSERT_TRUE(jpegFocusedAt(fixtures, b, 0.25, 0.7));
    PreviewLoader loader(nullptr, greyPictures());
    LargeImageView view(loader);
    view.resize(800, 600);
    const auto show = [&](const std::filesystem::path &file) {
        view.setSource(file);
        return waitUntil([&] { return !view.image().isNull() && !view.showsPlaceholder() && view.overlays().pointsRead(); });
    };
    const auto at = [&](double x, double y) {
        return std::abs(view.centre().x() - x) < 0.01 && std::abs(view.centre().y() - y) < 0.01;
    };
    ASSERT_TRUE(show(a));
    view.toggleZoom();
    EXPECT_TRUE(at(0.78, 0.3)) << view.centre().x() << ", " << view.centre().y();
    ASSERT_TRUE(show(b));
    EXPECT_TRUE(waitUntil([&] { return at(0.25, 0.7); })) << "the next frame's own point";
    view.pan({-40, 0});
    const QPointF panned = view.centre();
    ASSERT_TRUE(show(a));
    EXPECT_EQ(view.centre(), panned) << "after a pan the spot is the user's";
    view.toggleZoom();
    view.toggleZoom();
    EXPECT_TRUE(at(0.78, 0.3));
}

// Highlights with a channel at 255 and shadows at 0 in every channel are coloured; edges in focus are peaked, the
// same edges blurred are not; the histogram counts every pixel.
TEST(PictureAnalysisTest, ClippingPeakingAndHistogram)
{
    QImage tones(4, 1, QImage::Format_RGB32);
    const QRgb pixels[] = {qRgb(255, 10, 10), qRgb(0, 0, 0), qRgb(1, 0, 0), qRgb(128, 128, 128)};
    for (int x = 0; x < 4; ++x)
        tones.setPixel(x, 0, pixels[x]);
    const QImage clipped = PictureAnalysis::overlay(tones, {}, true, false);
    EXPECT_EQ(clipped.pixel(0, 0), PictureAnalysis::kClippedColour);
    EXPECT_EQ(clipped.pixel(1, 0), PictureAnalysis::kBlockedColour);
    EXPECT_EQ(qAlpha(clipped.pixel(2, 0)), 0);
    EXPECT_EQ(qAlpha(PictureAnalysis::overlay(tones, {}, false, false).pixel(0, 0)), 0) << "clipping off";
    const Histogram h = PictureAnalysis::histogram(tones);
    EXPECT_EQ(h.pixels, 4u);
    EXPECT_EQ(h.counts[Histogram::Red][255], 1u);
    EXPECT_EQ(h.counts[Histogram::Luma][128], 1u);
    EXPECT_EQ(h.counts[Histogram::Blue][0], 2u);

    // Fine stripes, sharp and then blurred as a lens out of focus would.
    QImage sharp(200, 200, QImage::Format_RGB32);
    sharp.fill(Qt::black);
    QPainter(&sharp).fillRect(QRect(100, 0, 100, 200), QColor(200, 200, 200));
    for (int x = 0; x < 100; x += 4)
        QPainter(&sharp).fillRect(QRect(x, 0, 2, 200), QColor(160, 160, 160));
    const QImage soft = sharp.scaled(25, 25, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .scaled(200, 200, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const auto peaked = [](const QImage &image) {
        const QImage layer = PictureAnalysis::overlay(image, QRect(0, 0, 200, 200), false, true);
        int n = 0;
        for (int y = 0; y < layer.height(); ++y)
            for (int x = 0; x < layer.width(); ++x)
                n += layer.pixel(x, y) == PictureAnalysis::kPeakingColour;
        return n;
    };
    EXPECT_GT(peaked(sharp), 2000);
    EXPECT_EQ(peaked(soft), 0) << "a soft picture has no edge in focus, however its own contrast is spread";
    EXPECT_EQ(PictureAnalysis::overlay(sharp, QRect(50, 60, 30, 20), false, true).size(), QSize(30, 20));
}

// With the aids on, the shown picture is analysed in the background: its clipped pixels are coloured and its
// histogram drawn; the stage behind the preview and compare is opaque and neutral.
TEST(PictureAidsTest, TheShownPictureIsAnalysedOnAnOpaqueStage)
{
    OverlayToggles toggles;
    for (const auto o : {OverlayToggles::Clipping, OverlayToggles::Histogram, OverlayToggles::FocusPoints})
        toggles.toggle(o);
    PreviewLoader loader(nullptr, greyPictures(nullptr, Qt::white));
    LargeImageView view(loader);
    view.overlays().setToggles(&toggles);
    view.resize(800, 600);
    view.setSource("/card/white.jpg");
    ASSERT_TRUE(waitUntil([&] { return !view.showsPlaceholder() && !view.image().isNull() && view.overlays().analysed(); }));
    ASSERT_FALSE(view.overlays().layer().isNull());
    EXPECT_EQ(view.overlays().layer().pixel(10, 10), PictureAnalysis::kClippedColour);
    EXPECT_EQ(view.overlays().histogram().counts[Histogram::Luma][255], view.overlays().histogram().pixels);
    const QImage drawn = view.grab().toImage();
    EXPECT_EQ(QColor(drawn.pixel(view.pictureRect().center().toPoint())), QColor(PictureAnalysis::kClippedColour));

    TempTree t;
    AppModel m{nullptr, quietMachine()};
    ThumbnailCache cache;
    PreviewOverlay preview(m, cache);
    CompareView compare(m, cache, loader);
    for (QWidget *stage : {static_cast<QWidget *>(&preview), static_cast<QWidget *>(&compare)}) {
        stage->resize(600, 400);
        EXPECT_EQ(stage->grab().toImage().pixelColor(20, 200), QColor(40, 40, 40)) << stage->metaObject()->className();
    }
}

// The histogram of a RAW tells when its picture is the camera's embedded preview: the flag survives the decode.
TEST(PictureAidsTest, ARawShownFromItsEmbeddedPreviewSaysSo)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    EXPECT_TRUE(Picture::isEmbeddedPreview(Picture::still(fixtures / "formats/cr2/Canon_EOS-1Ds_Mark_III_head.cr2", 1000)));
    EXPECT_TRUE(Picture::isEmbeddedPreview(Picture::rawPreview(fixtures / "formats/cr2/Canon_EOS-1Ds_Mark_III_head.cr2", 500)));
    EXPECT_FALSE(Picture::isEmbeddedPreview(Picture::still(fixtures / "formats/jpg/big_ben.jpg", 1000)));
}

} // namespace
