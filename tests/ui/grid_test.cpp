#include "catalogue/directory_scanner.h"
#include "catalogue/media_classifier.h"
#include "media/png_codec.h"
#include "ui/browser_grid.h"
#include "ui/cell_painter.h"
#include "ui/preview_loader.h"
#include "ui/shared_thumbnail_store.h"
#include "ui/theme.h"
#include "ui/thumbnail_cache.h"
#include "ui/thumbnail_service.h"

#include "testsupport/model_support.h"

#include <QFileInfo>
#include <QMenu>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextLayout>
#include <QToolTip>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;
using Path = std::filesystem::path;

namespace {
TEST(Theme, IconLigaturesShapeToOneGlyph)
{
    for (const char *name : {Theme::Icon::trash, Theme::Icon::hourglass, Theme::Icon::sync, Theme::Icon::check,
                             Theme::Icon::warning, Theme::Icon::play, Theme::Icon::folder, Theme::Icon::tune,
                             Theme::Icon::chevron, Theme::Icon::photo, Theme::Icon::brokenImage}) {
        QTextLayout layout(QString::fromLatin1(name), Theme::iconFont(24));
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        int glyphs = 0;
        for (const QGlyphRun &run : layout.glyphRuns())
            glyphs += int(run.glyphIndexes().size());
        EXPECT_EQ(glyphs, 1) << name;
    }
}

MediaItem item(const char *path)
{
    return MediaItem(path, *MediaClassifier::classify(path), MediaClassifier::isRaw(path));
}

// A tile's badges follow its mark and its copy's status: the finished copy of an unmarked cell shows nothing,
// a failure shows even when unmarked; a file that does not decode says so, once. Its RAW label shows only without the file name.
TEST(MediaTile, BadgesAndRawLabel)
{
    using B = CellPainter::Badge;
    const MediaPair rawPair(item("/d/IMG_1.JPG"), item("/d/IMG_1.cr3")), video(item("/d/clip.mov"));
    const std::vector<std::tuple<bool, std::optional<BsideJobStatus>, bool, QList<B>>> rows{
        {true, BsideJobStatus::running(), false, {B::Marked, B::Running}},
        {false, BsideJobStatus::completed(), false, {}},
        {false, BsideJobStatus::failed(u"x"_s), false, {B::Failed}},
        {false, std::nullopt, true, {B::Undecodable}},
        {true, BsideJobStatus::queued(), true, {B::Marked, B::Queued, B::Undecodable}},
        {true, BsideJobStatus::failed(u"x"_s), true, {B::Marked, B::Failed}}};
    for (const auto &[marked, status, undecodable, badges] : rows) {
        CellPainter::MediaCell cell;
        cell.pair = &rawPair;
        cell.isMarked = marked;
        cell.jobStatus = status;
        cell.undecodable = undecodable;
        EXPECT_EQ(CellPainter::badgesFor(cell), badges);
    }
    for (const auto &[pair, showFilename, label] :
         {std::tuple(&rawPair, false, "CR3"), std::tuple(&rawPair, true, ""), std::tuple(&video, false, "")}) {
        CellPainter::MediaCell cell;
        cell.pair = pair;
        cell.showFilename = showFilename;
        cell.showRawLabel = true;
        EXPECT_EQ(CellPainter::rawLabel(cell).toStdString(), label);
    }
}

// Cached pictures are known by the file's bytes: two names that are not UTF-8 never share a thumbnail.
TEST(MediaTile, NamesThatAreNotUtf8KeepTheirOwnThumbnails)
{
    EXPECT_NE(ThumbnailCache::cacheKey(item("/d/\xff.jpg"), 160), ThumbnailCache::cacheKey(item("/d/\xfe.jpg"), 160));
}

class Grid : public ModelTest
{
protected:
    void SetUp() override
    {
        grid.resize(1000 + grid.verticalScrollBar()->sizeHint().width(), 500);
        grid.show();
        for (int i = 0; i < 200; ++i)
            t.file("IMG_" + std::to_string(i) + ".jpg", "x");
        ASSERT_TRUE(openAndWait(m, t.root()));
    }
    ThumbnailCache cache;
    BrowserGrid grid{m, cache};
};

// A thumbnail that failed (a file still being written when its folder was listed) is tried again when the
// folder is listed again. The grid writes its column count (and puts it back after another writer, the tile-size
// slider's drag, set one); a click selects; a selection scrolls the grid to centre it when the setting for how
// it was made says so.
TEST_F(Grid, ThumbnailsColumnsClicksAndScrolling)
{
    const auto first = [&] { return m.listing().pairs()[0].primary(); };
    const double size = m.settings().thumbnailSize();
    ASSERT_TRUE(waitUntil([&] { return cache.failed(first(), size); }));
    // The file that does not decode carries its badge, and the badge says why.
    const QRectF tile = grid.cellViewportRect(0);
    QHelpEvent help(QEvent::ToolTip, QPoint(int(tile.left() + size - 8), int(tile.top() + 10)), QPoint());
    QCoreApplication::sendEvent(grid.viewport(), &help);
    EXPECT_TRUE(QToolTip::text().contains(u"cannot be decoded"_s)) << QToolTip::text().toStdString();
    if (haveTool("convert")) {
        ASSERT_TRUE(makeJpeg(t.root() / "IMG_0.jpg", 400, 300));
        ASSERT_TRUE(navigateAndWait(m, t.root()));
        EXPECT_TRUE(waitUntil([&] { return !cache.cached(first(), size).isNull(); }, 10000));
    }
    const auto columnsWritten
        = [&] { return waitUntil([&] { return m.cursor().gridColumns() == grid.geometryNow().columns(); }, 2000); };
    ASSERT_TRUE(columnsWritten());
    const int before = m.cursor().gridColumns();
    m.settings().setThumbnailSize(320);
    EXPECT_LT(m.cursor().gridColumns(), before);
    m.cursor().setGridColumns(1);
    EXPECT_TRUE(columnsWritten() && m.cursor().gridColumns() > 1) << "up and down keep moving a row";

    m.cursor().move(GridCursor::Direction::Right);
    ASSERT_TRUE(m.cursor().lastSelectionByKeyboard());
    m.settings().setAutoScrollOnClick(false);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, grid.cellViewportRect(3).center().toPoint());
    EXPECT_EQ(m.cursor().selection(), m.listing().gridItems()[3]);
    EXPECT_FALSE(m.cursor().lastSelectionByKeyboard());
    m.cursor().selectByClick(m.listing().gridItems()[150]);
    EXPECT_TRUE(grid.findChildren<QPropertyAnimation *>().isEmpty())
        << "no scroll after a click when that setting is off";
    EXPECT_EQ(grid.verticalScrollBar()->value(), 0);
    m.cursor().move(GridCursor::Direction::Right);
    EXPECT_TRUE(waitUntil(
        [&] { return std::abs(grid.cellViewportRect(151).center().y() - grid.viewport()->height() / 2.0) < 2; }, 3000))
        << "the new cell ends up centred";
}

// The selected cell stays on screen when the tiles change size; "show in the file manager" says so when no
// file manager answers (none runs here).
TEST_F(Grid, TheSelectionStaysInViewAndASilentFileManagerIsSaid)
{
    m.cursor().selectByClick(m.listing().gridItems()[120]);
    ASSERT_TRUE(waitUntil([&] { return grid.findChildren<QPropertyAnimation *>().isEmpty(); }, 3000));
    const auto onScreen = [&] { return grid.viewport()->rect().contains(grid.cellViewportRect(120).toAlignedRect()); };
    ASSERT_TRUE(onScreen());
    for (double size : {80.0, 320.0, 160.0, 96.0}) {
        m.settings().setThumbnailSize(size);
        EXPECT_TRUE(onScreen()) << size;
    }

    QStringList notices;
    QObject::connect(&m, &AppModel::notice, &m, [&](const QString &text) { notices.append(text); });
    QMenu *menu = grid.contextMenuFor(120);
    ASSERT_NE(menu, nullptr);
    const QList<QAction *> actions = menu->actions();
    const auto show = std::find_if(actions.begin(), actions.end(),
                                   [](QAction *a) { return a->text() == u"Show in the file manager"_s; });
    ASSERT_NE(show, actions.end());
    (*show)->trigger();
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices.first().startsWith(u"No file manager answered"_s)) << notices.first().toStdString();
    delete menu;
}

// The grid's thumbnails: the cache of decoded thumbnails and the desktop's shared thumbnail store.
MediaItem itemAt(const Path &p) { return MediaItem(p, MediaKind::Image, false); }

// A file's modification time in whole seconds, as the shared store's Thumb::MTime key holds it.
QByteArray mtimeOf(const Path &file)
{
    return QByteArray::number(QFileInfo(qpath(file)).lastModified().toSecsSinceEpoch());
}

// Writes a red thumbnail of the given long edge at thumb as another program would: the standard's two
// required keys for photo as it is now, then the keys given.
void plant(const Path &photo, const Path &thumb, int edge, const QList<std::pair<QByteArray, QByteArray>> &more)
{
    QImage red(edge, edge * 2 / 3, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QList<std::pair<QByteArray, QByteArray>> keys
        = QList<std::pair<QByteArray, QByteArray>>{{"Thumb::URI", SharedThumbnailStore::uriFor(photo)},
                                                   {"Thumb::MTime", mtimeOf(photo)}}
        + more;
    std::filesystem::create_directories(thumb.parent_path());
    const QByteArray png = PngCodec::encode(red, keys);
    std::ofstream(thumb, std::ios::binary).write(png.constData(), png.size());
}

// Photos, and a thumbnail cache whose shared store lives in a folder of the test's own.
class Thumbnails : public ::testing::Test
{
protected:
    void SetUp() override
    {
        VORLANE_REQUIRE_TOOLS("convert", "exiftool");
    }
    std::vector<Path> photos(int count, int side)
    {
        std::vector<Path> files;
        for (int i = 0; i < count; ++i) {
            files.push_back(t.root() / ("p" + std::to_string(i) + ".jpg"));
            EXPECT_TRUE(makeJpeg(files.back(), side, side));
        }
        return files;
    }
    // Gives photo a camera's EXIF thumbnail, lime green all over.
    bool giveExifThumbnail(const Path &photo)
    {
        const Path green = t.root() / "green.jpg";
        return (std::filesystem::exists(green) || magick({u"-size"_s, u"160x160"_s, u"xc:lime"_s}, green))
            && setExif(photo, {u"-ThumbnailImage<="_s + qpath(green)});
    }
    Path sharedPath(const Path &photo, int size) const
    {
        return store.thumbnailPath(photo, *SharedThumbnailStore::flavourFor(size));
    }
    // Waits until the cache holds the file's sharp thumbnail of that size and runs no job.
    bool sharpAndIdle(const MediaItem &file, double size = 160)
    {
        return waitUntil([&] { return cache.isSharp(file, size) && cache.jobsRunning() == 0; });
    }
    TempTree t, cacheRoot;
    const SharedThumbnailStore store{cacheRoot.root()};
    std::shared_ptr<ThumbnailService> service = std::make_shared<ThumbnailService>(store);
    ThumbnailCache cache{nullptr, ThumbnailCache::kDefaultBudgetBytes, service};
};

// Requests for one key are merged; a failure stays failed until a new listing clears the failures.
TEST_F(Thumbnails, RequestsForOneKeyMergeAndFailuresRetryAfterClearing)
{
    const auto files = photos(2, 800);
    const MediaItem broken = itemAt(t.file("broken.jpg", "not a jpeg"));
    cache.request(itemAt(files[0]), 160, 1.0);
    ASSERT_TRUE(sharpAndIdle(itemAt(files[0])));
    const int perKey = cache.jobsStarted();
    for (double size : {160.0, 160.0, 160.5})
        cache.request(itemAt(files[1]), size, 1.0);
    ASSERT_TRUE(sharpAndIdle(itemAt(files[1])));
    EXPECT_EQ(cache.jobsStarted(), 2 * perKey) << "one key's requests share its jobs";
    EXPECT_EQ(cache.cached(itemAt(files[1]), 160).height(), 160);

    cache.request(broken, 160, 1.0);
    ASSERT_TRUE(waitUntil([&] { return cache.failed(broken, 160) && cache.jobsRunning() == 0; }));
    EXPECT_TRUE(cache.cached(broken, 160).isNull());
    const int afterFailure = cache.jobsStarted();
    cache.request(broken, 160, 1.0);
    EXPECT_EQ(cache.jobsStarted(), afterFailure) << "a failure is not tried again by itself";
    cache.clearFailures();
    cache.request(broken, 160, 1.0);
    EXPECT_GT(cache.jobsStarted(), afterFailure) << "a failure is tried again after a new listing";
    EXPECT_EQ(ThumbnailCache::pixelDimension(20, 2.0), 64) << "never less than 64 pixels";
    EXPECT_EQ(ThumbnailCache::pixelDimension(160, 0), 320) << "no screen scale counts as 2x";
}

TEST_F(Thumbnails, MemoryStaysWithinTheBudgetAndTheNewestStays)
{
    const auto files = photos(6, 600);
    const qint64 budget = 600 * 1024; // room for about two 320 x 320 thumbnails
    ThumbnailCache small(nullptr, budget, service);
    QSignalSpy ready(&small, &ThumbnailCache::ready);
    for (const auto &p : files)
        small.request(itemAt(p), 320, 1.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.count() == 6; }, 60000));
    EXPECT_LE(small.bytesHeld(), budget);
    const QString newest = ready.last().first().toString();
    const auto newestPhoto = std::find_if(files.begin(), files.end(),
                                          [&](const auto &p) { return ThumbnailCache::cacheKey(itemAt(p), 320) == newest; });
    ASSERT_NE(newestPhoto, files.end());
    EXPECT_FALSE(small.cached(itemAt(*newestPhoto), 320).isNull());
}

// Once the grid says which cells it wants, waits for the others are dropped before they start: when the pool
// has drained, only the jobs already running then and the wanted cell's have run.
TEST_F(Thumbnails, ScrolledAwayRequestsAreDropped)
{
    const int threads = std::max(2, QThread::idealThreadCount()); // the cache's pool starts this many at once
    const auto files = photos(threads + 6, 64);
    for (const Path &p : files)
        cache.request(itemAt(p), 100, 1.0);
    cache.setWanted({ThumbnailCache::cacheKey(itemAt(files.back()), 100)});
    ASSERT_TRUE(sharpAndIdle(itemAt(files.back()), 100));
    EXPECT_LE(cache.jobsStarted(), threads + 2) << "waits for cells no longer wanted never start";
}

// A cell shows the camera's own EXIF thumbnail (green here) as soon as it is read, and the sharp thumbnail
// (grey) replaces it; a photo without one goes straight to the sharp thumbnail. Cells asked for later (a
// scroll) get their stand-ins before the decodes still waiting for earlier cells start. Arrivals are logged as the
// cache announces them: several can land between two looks at the cache.
TEST_F(Thumbnails, TheExifThumbnailStandsInUntilTheSharpOneIsMade)
{
    std::vector<Path> files;
    for (int i = 0; i < 7; ++i) {
        files.push_back(t.root() / ("grey" + std::to_string(i) + ".jpg"));
        ASSERT_TRUE(magick({u"-size"_s, u"3000x3000"_s, u"xc:gray50"_s}, files.back()));
        ASSERT_TRUE(i == 4 || giveExifThumbnail(files.back()));
    }
    const auto isGreen = [&](const Path &p) {
        const QImage image = cache.cached(itemAt(p), 160).toImage();
        const QColor c = image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
        return c.green() > 200 && c.red() < 80;
    };
    const auto sharp = [&](const Path &p) { return cache.isSharp(itemAt(p), 160); };
    std::vector<std::pair<size_t, bool>> arrivals; // (file, sharp), as announced
    QObject::connect(&cache, &ThumbnailCache::ready, &cache, [&](const QString &key) {
        for (size_t i = 0; i < files.size(); ++i) {
            if (key == ThumbnailCache::cacheKey(itemAt(files[i]), 160)) {
                arrivals.emplace_back(i, sharp(files[i]));
                EXPECT_TRUE(sharp(files[i]) || isGreen(files[i])) << "a stand-in is the EXIF thumbnail";
            }
        }
    });
    const auto at = [&](size_t file, bool sharpOne) {
        const auto it = std::find(arrivals.begin(), arrivals.end(), std::pair(file, sharpOne));
        return it == arrivals.end() ? -1 : int(it - arrivals.begin());
    };
    for (size_t i = 0; i < 5; ++i)
        cache.request(itemAt(files[i]), 160, 1.0);
    ASSERT_TRUE(waitUntil([&] { return at(0, false) >= 0 && at(3, false) >= 0; }));
    const int running = cache.jobsRunning(), asked = int(arrivals.size());
    for (size_t i = 5; i < 7; ++i)
        cache.request(itemAt(files[i]), 160, 1.0);
    ASSERT_TRUE(
        waitUntil([&] { return cache.jobsRunning() == 0 && std::all_of(files.begin(), files.end(), sharp); }, 60000));
    EXPECT_TRUE(std::none_of(files.begin(), files.end(), isGreen));
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(at(i, false) < 0, i == 4) << "every photo but the one without a thumbnail had a stand-in";
    // Until the first later stand-in lands, a freed thread can only have taken a stand-in step; what follows it
    // depends on the threads' pace, not on the queue.
    const int firstStandIn = std::min(at(5, false), at(6, false));
    ASSERT_GE(firstStandIn, asked);
    EXPECT_LE(std::count_if(arrivals.begin() + asked, arrivals.begin() + firstStandIn, [](auto &a) { return a.second; }),
              running)
        << "only the decodes already running came before the later stand-ins";
}

// The desktop's shared cache: made at its flavour's size, mode 0600, with the URI and modification time another
// reader checks; served while valid, not for a larger request, and no longer once the file changed.
TEST_F(Thumbnails, SharedCacheEntryFollowsTheStandard)
{
    const auto photo = t.root() / "shared 100%.jpg";
    ASSERT_TRUE(makeJpeg(photo, 1000, 500));
    EXPECT_EQ(ThumbnailService(store).make(photo, 200).width(), 256) << "made at the flavour size";
    const auto thumb = sharedPath(photo, 200);
    EXPECT_EQ(thumb.parent_path().filename(), "large");
    EXPECT_EQ(std::filesystem::status(thumb).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    QByteArray out;
    ASSERT_EQ(runTool(u"exiftool"_s, {u"-s3"_s, u"-ThumbURI"_s, u"-ThumbMTime"_s, qpath(thumb)}, &out), 0);
    EXPECT_EQ(out.trimmed().split('\n'), (QList<QByteArray>{SharedThumbnailStore::uriFor(photo), mtimeOf(photo)}));
    EXPECT_TRUE(SharedThumbnailStore::uriFor(photo).endsWith("shared%20100%25.jpg"));
    EXPECT_FALSE(store.lookup(photo, 200).isNull());
    EXPECT_TRUE(store.lookup(photo, 300).isNull()) << "too small for a larger request";
    std::filesystem::last_write_time(photo, std::filesystem::last_write_time(photo) + std::chrono::seconds(5));
    EXPECT_TRUE(store.lookup(photo, 200).isNull());
}

// What lies at a thumbnail's name in the shared cache is another program's as much as ours: a file rewritten
// with its time kept, a FIFO, a link to a device, a huge sparse file or a planted PNG without the file's size
// gives no picture, at once, and never blocks or fills the memory.
TEST_F(Thumbnails, TheSharedCacheIsCheckedNotTrusted)
{
    const auto photo = t.root() / "IMG_0001.JPG";
    ASSERT_TRUE(makeJpeg(photo, 600, 400));
    const auto thumb = sharedPath(photo, 200);
    const std::vector<std::pair<const char *, std::function<void()>>> rows{
        {"the file rewritten with its time kept",
         [&] {
             const auto time = std::filesystem::last_write_time(photo);
             ASSERT_TRUE(makeJpeg(photo, 640, 400));
             std::filesystem::last_write_time(photo, time);
         }},
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(thumb.c_str(), 0600), 0); }},
        {"a link to /dev/zero", [&] { std::filesystem::create_symlink("/dev/zero", thumb); }},
        {"a 3 GB sparse file",
         [&] {
             std::ofstream{thumb};
             ASSERT_EQ(::truncate(thumb.c_str(), off_t(3) << 30), 0);
         }},
        {"a planted PNG with the URI and time but another size",
         [&] { plant(photo, thumb, 256, {{"Thumb::Size", "12"}}); }},
        {"a planted PNG larger than its flavour", [&] { plant(photo, thumb, 300, {}); }},
    };
    for (const auto &[name, tamper] : rows) {
        SCOPED_TRACE(name);
        std::filesystem::remove(thumb);
        ASSERT_FALSE(ThumbnailService(store).make(photo, 200).isNull());
        ASSERT_FALSE(store.lookup(photo, 200).isNull()) << "valid before";
        if (std::string_view(name).substr(0, 8) != "the file")
            std::filesystem::remove(thumb); // something else takes its name
        tamper();
        EXPECT_TRUE(store.lookup(photo, 200).isNull());
    }
}

// A file manager's thumbnail with only the keys the standard requires (GNOME's: URI, time and Software) is
// shown without decoding the photo, and never overwritten; a larger request is made and stored beside it.
TEST_F(Thumbnails, AFileManagersThumbnailIsUsedAndLeftAsItIs)
{
    const auto photo = t.file("IMG_0001.JPG", "no decoder reads this");
    const auto thumb = sharedPath(photo, 200);
    plant(photo, thumb, 256, {{"Software", "GNOME::ThumbnailFactory"}});
    const std::string planted = readFile(thumb);
    const QImage shown = ThumbnailService(store).make(photo, 200);
    ASSERT_FALSE(shown.isNull()) << "the photo itself cannot be decoded: the file manager's thumbnail was shown";
    EXPECT_GT(shown.pixelColor(shown.rect().center()).red(), 200);
    QImage blue(256, 170, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    EXPECT_FALSE(store.store(photo, 200, blue));
    EXPECT_EQ(readFile(thumb), planted) << "left as it was";

    ASSERT_TRUE(makeJpeg(photo, 800, 600));
    EXPECT_FALSE(ThumbnailService(store).make(photo, 400).isNull());
    EXPECT_TRUE(std::filesystem::exists(sharedPath(photo, 400)));
}

// A photo cut short in the copy decodes to nothing, and the grid says so even where a thumbnail stands in for
// it: the camera's own (read from the file's start, which is whole) or a file manager's made from what the
// file held. A whole photo's shared thumbnail is shown as it is, and so is that of a photo carrying more after
// its picture (a motion photo's clip) once its decode says it is whole. The preview's failure says so too.
TEST_F(Thumbnails, AFileThatDoesNotDecodeSaysSoWhateverStandsInForIt)
{
    // A photo with the camera's thumbnail or none, cut short or with bytes after its picture, and a file
    // manager's thumbnail or none.
    const auto make = [&](const char *name, bool exifThumbnail, bool cutShort, const std::string &after, bool planted) {
        const Path photo = t.root() / name;
        EXPECT_TRUE(magick({u"-size"_s, u"1200x900"_s, u"plasma:fractal"_s, u"-quality"_s, u"92"_s}, photo));
        EXPECT_TRUE(!exifThumbnail || giveExifThumbnail(photo));
        if (cutShort)
            std::filesystem::resize_file(photo, std::filesystem::file_size(photo) * 3 / 5);
        std::ofstream(photo, std::ios::binary | std::ios::app) << after;
        if (planted)
            plant(photo, sharedPath(photo, 320), 256, {});
        return photo;
    };
    // name, photo, undecodable
    const std::vector<std::tuple<const char *, Path, bool>> rows{
        {"whole, a file manager's thumbnail", make("whole.jpg", false, false, {}, true), false},
        {"cut short, the camera's thumbnail", make("cut.jpg", true, true, {}, false), true},
        {"cut short, a file manager's thumbnail", make("cut-planted.jpg", false, true, {}, true), true},
        {"a clip after the picture",
         make("motion.jpg", false, false, std::string(3, '\0') + "\x18" + "ftypmp42 and a clip", true), false}};
    for (const auto &[name, photo, undecodable] : rows)
        cache.request(itemAt(photo), 160, 2.0);
    ASSERT_TRUE(waitUntil([&] {
        return cache.jobsRunning() == 0 && std::all_of(rows.begin(), rows.end(), [&](const auto &row) {
                   const MediaItem item = itemAt(std::get<Path>(row));
                   return cache.isSharp(item, 160) || cache.failed(item, 160);
               });
    }, 30000));
    for (const auto &[name, photo, undecodable] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(cache.isUndecodable(itemAt(photo)), undecodable);
        EXPECT_FALSE(cache.cached(itemAt(photo), 160).isNull()) << "a picture still stands in";
    }

    const Path cut = make("previewed.jpg", false, true, {}, false);
    PreviewLoader loader;
    QObject::connect(&loader, &PreviewLoader::undecodable, &cache, &ThumbnailCache::markUndecodable);
    QSignalSpy found(&cache, &ThumbnailCache::undecodableFound);
    loader.want(cut, 0);
    ASSERT_TRUE(waitUntil([&] { return !loader.error(cut, 0).isEmpty(); }));
    EXPECT_EQ(found.size(), 1);
    MediaItem listed = itemAt(cut); // as a listing finds it: its size and time
    const FileKey now = FileKey::now(cut);
    listed.bytes = now.bytes;
    listed.modifiedNs = now.modifiedNs;
    EXPECT_TRUE(cache.isUndecodable(listed)) << "the key the preview gives is the listing's";
}

// A file replaced since its thumbnail was made (a new modification time and size) gets its own picture once
// listed again, never the old one under its name.
TEST_F(Thumbnails, AReplacedFileShowsItsOwnPicture)
{
    const auto photo = t.root() / "IMG_0001.JPG";
    ASSERT_TRUE(magick({u"-size"_s, u"400x300"_s, u"xc:red"_s}, photo));
    const auto pictureOf = [&](const MediaItem &item) {
        cache.request(item, 160, 1.0);
        EXPECT_TRUE(sharpAndIdle(item));
        const QImage image = cache.cached(item, 160).toImage();
        return image.isNull() ? QColor() : image.pixelColor(image.rect().center());
    };
    EXPECT_GT(pictureOf(DirectoryScanner::scan(t.root()).media[0]).red(), 200);
    ASSERT_TRUE(magick({u"-size"_s, u"400x300"_s, u"xc:blue"_s}, photo)); // within the same second, likely
    const QColor after = pictureOf(DirectoryScanner::scan(t.root()).media[0]);
    EXPECT_GT(after.blue(), 200);
    EXPECT_LT(after.red(), 60);
}

} // namespace
