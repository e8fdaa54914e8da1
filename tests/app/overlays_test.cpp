#include "app/key_map.h"
#include "media/picture.h"
#include "media/picture_analysis.h"
#include "ui/compare_view.h"
#include "ui/large_image_view.h"
#include "ui/overlay_toggles.h"
#include "ui/preview_loader.h"
#include "ui/preview_overlay.h"
#include "ui/thumbnail_cache.h"

#include "testsupport/model_support.h"

#include <QKeyEvent>
#include <QPainter>

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;

namespace {

// Pictures of one colour, 4000 x 3000 at full size, scaled to the long edge asked for.
PreviewLoader::Decode flatPictures(QColor colour)
{
    return [=](const std::filesystem::path &, int maxLongEdge, std::stop_token) {
        const QSize full(4000, 3000);
        QImage image(maxLongEdge > 0 ? full.scaled(maxLongEdge, maxLongEdge, Qt::KeepAspectRatio) : full,
                     QImage::Format_RGB888);
        image.fill(colour);
        return PreviewLoader::Decoded{image, {}};
    };
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
    PreviewLoader loader(nullptr, flatPictures(Qt::gray));
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
    PreviewLoader loader(nullptr, flatPictures(Qt::white));
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

// F, P, H and O turn the aids on and off in the preview (and compare), once a press; in the grid they are not
// taken.
TEST(PictureAidsTest, KeysToggleTheAidsInThePreviewOnly)
{
    TempTree t;
    t.file("a.jpg", "x");
    AppModel m{nullptr, quietMachine()};
    ASSERT_TRUE(openAndWait(m, t.root()));
    KeyMap keys{m};
    keys.setActive(true);
    OverlayToggles toggles;
    keys.setOverlayToggles(&toggles);
    const auto tap = [&](int key, bool repeat = false) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, {}, repeat);
        const bool used = keys.handle(press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        keys.released(release);
        return used;
    };
    EXPECT_FALSE(tap(Qt::Key_P)) << "the grid has no picture to peak";
    EXPECT_FALSE(toggles.isOn(OverlayToggles::Peaking));
    m.cursor().selectByClick(GridSelection::media(m.listing().pairs()[0].id()));
    m.cursor().openPreview();
    const std::pair<int, OverlayToggles::Overlay> rows[] = {{Qt::Key_F, OverlayToggles::FocusPoints},
                                                            {Qt::Key_P, OverlayToggles::Peaking},
                                                            {Qt::Key_H, OverlayToggles::Histogram},
                                                            {Qt::Key_O, OverlayToggles::Clipping}};
    for (const auto &[key, overlay] : rows) {
        EXPECT_TRUE(tap(key));
        EXPECT_TRUE(toggles.isOn(overlay)) << key;
        tap(key, true);
        EXPECT_TRUE(toggles.isOn(overlay)) << "a held key acts once";
        tap(key);
        EXPECT_FALSE(toggles.isOn(overlay)) << key;
    }
}

} // namespace
