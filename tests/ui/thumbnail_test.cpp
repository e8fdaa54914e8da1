#include "ui/shared_thumbnail_store.h"
#include "ui/thumbnail_cache.h"
#include "ui/thumbnail_service.h"
#include "ui/large_image_view.h"

#include "testsupport/media_maker.h"
#include "testsupport/temp_tree.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;

namespace {

MediaItem itemAt(const std::filesystem::path &p) { return MediaItem(p, MediaKind::Image, false); }

TEST(ThumbnailCacheKeys, KeyAndDimensionRules)
{
    EXPECT_EQ(ThumbnailCache::cacheKey("/Volumes/Card/DCIM/IMG_0042.JPG", 180.7), u"/Volumes/Card/DCIM/IMG_0042.JPG|180"_s);
    EXPECT_EQ(ThumbnailCache::cacheKey("/a.jpg", 120), ThumbnailCache::cacheKey("/a.jpg", 120.9));
    EXPECT_NE(ThumbnailCache::cacheKey("/a.jpg", 120), ThumbnailCache::cacheKey("/a.jpg", 121));
    EXPECT_EQ(ThumbnailCache::pixelDimension(20, 2.0), 64);
    EXPECT_EQ(ThumbnailCache::pixelDimension(160, 2.0), 320);
    EXPECT_EQ(ThumbnailCache::pixelDimension(160, 0), 320) << "no screen scale counts as 2x";
}

class Thumbnails : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!haveTool("convert"))
            GTEST_SKIP();
    }
    TempTree t;
    TempTree cacheRoot;
};

TEST_F(Thumbnails, ConcurrentRequestsMergeAndFailuresResolve)
{
    const auto photo = t.root() / "a.jpg";
    ASSERT_TRUE(makeJpeg(photo, 800, 600));
    const auto broken = t.file("broken.jpg", "not a jpeg");
    ThumbnailCache cache(nullptr, ThumbnailCache::kDefaultBudgetBytes,
                         std::make_shared<ThumbnailService>(SharedThumbnailStore(cacheRoot.root())));
    QSignalSpy ready(&cache, &ThumbnailCache::ready);
    cache.request(itemAt(photo), std::nullopt, 160, 1.0);
    cache.request(itemAt(photo), std::nullopt, 160, 1.0);
    cache.request(itemAt(photo), std::nullopt, 160.5, 1.0);
    cache.request(itemAt(broken), std::nullopt, 160, 1.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.count() == 2; }, 30000));
    EXPECT_EQ(cache.jobsStarted(), 2) << "one job per key";
    const QPixmap thumb = cache.cached(itemAt(photo), std::nullopt, 160);
    ASSERT_FALSE(thumb.isNull());
    EXPECT_EQ(std::min(thumb.width(), thumb.height()), 160);
    EXPECT_TRUE(cache.failed(itemAt(broken), std::nullopt, 160));
    EXPECT_TRUE(cache.cached(itemAt(broken), std::nullopt, 160).isNull());

    cache.clearFailures();
    cache.request(itemAt(broken), std::nullopt, 160, 1.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.count() == 3; }, 30000));
    EXPECT_EQ(cache.jobsStarted(), 3) << "a failure is tried again after a new listing";
}

TEST_F(Thumbnails, MemoryStaysWithinTheBudget)
{
    std::vector<std::filesystem::path> photos;
    for (int i = 0; i < 6; ++i) {
        photos.push_back(t.root() / ("p" + std::to_string(i) + ".jpg"));
        ASSERT_TRUE(makeJpeg(photos.back(), 600, 600));
    }
    const qint64 budget = 600 * 1024; // room for about two 320 x 320 thumbnails
    ThumbnailCache cache(nullptr, budget, std::make_shared<ThumbnailService>(SharedThumbnailStore(cacheRoot.root())));
    QSignalSpy ready(&cache, &ThumbnailCache::ready);
    for (const auto &p : photos)
        cache.request(itemAt(p), std::nullopt, 320, 1.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.count() == 6; }, 60000));
    EXPECT_LE(cache.bytesHeld(), budget);
    const QString newest = ready.last().first().toString();
    const auto newestPhoto = std::find_if(photos.begin(), photos.end(), [&](const std::filesystem::path &p) {
        return ThumbnailCache::cacheKey(p, 320) == newest;
    });
    ASSERT_NE(newestPhoto, photos.end());
    EXPECT_FALSE(cache.cached(itemAt(*newestPhoto), std::nullopt, 320).isNull()) << "the newest stays";
}

TEST_F(Thumbnails, ScrolledAwayRequestsAreDropped)
{
    std::vector<std::filesystem::path> photos;
    for (int i = 0; i < 8; ++i) {
        photos.push_back(t.root() / ("p" + std::to_string(i) + ".jpg"));
        ASSERT_TRUE(makeJpeg(photos.back(), 64, 64));
    }
    ThumbnailCache cache(nullptr, ThumbnailCache::kDefaultBudgetBytes,
                         std::make_shared<ThumbnailService>(SharedThumbnailStore(cacheRoot.root())));
    for (const auto &p : photos)
        cache.request(itemAt(p), std::nullopt, 100, 1.0);
    cache.setWanted({ThumbnailCache::cacheKey(photos.back(), 100)});
    QTest::qWait(50);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !cache.cached(itemAt(photos.back()), std::nullopt, 100).isNull(); }, 30000));
    QTest::qWait(200);
    EXPECT_LT(cache.jobsStarted(), 8) << "waits for cells no longer wanted never start";
}

TEST_F(Thumbnails, SharedCacheEntryFollowsTheStandard)
{
    if (!haveTool("exiftool"))
        GTEST_SKIP();
    const auto photo = t.root() / "shared 100%.jpg";
    ASSERT_TRUE(makeJpeg(photo, 1000, 500));
    const SharedThumbnailStore store(cacheRoot.root());
    const ThumbnailService service(store);
    const QImage made = service.make(photo, 200);
    ASSERT_FALSE(made.isNull());
    EXPECT_EQ(std::max(made.width(), made.height()), 256) << "made at the flavour size";

    const auto thumb = store.thumbnailPath(photo, *SharedThumbnailStore::flavourFor(200));
    EXPECT_EQ(thumb.parent_path().filename(), "large");
    struct stat st {};
    ASSERT_EQ(::stat(thumb.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Another reader sees the standard's keys.
    QByteArray out;
    ASSERT_EQ(runTool(u"exiftool"_s, {u"-s"_s, u"-s"_s, u"-s"_s, u"-ThumbURI"_s, u"-ThumbMTime"_s,
                                     QString::fromUtf8(thumb.c_str())}, &out), 0);
    const QList<QByteArray> lines = out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << out.toStdString();
    EXPECT_EQ(lines[0].trimmed(), SharedThumbnailStore::uriFor(photo));
    EXPECT_TRUE(SharedThumbnailStore::uriFor(photo).endsWith("shared%20100%25.jpg"));
    struct stat src {};
    ::stat(photo.c_str(), &src);
    EXPECT_EQ(lines[1].trimmed().toLongLong(), src.st_mtim.tv_sec);

    // Served from the shared cache while valid; a changed file invalidates it.
    EXPECT_FALSE(store.lookup(photo, 200).isNull());
    EXPECT_TRUE(store.lookup(photo, 300).isNull()) << "too small for a larger request";
    const std::filesystem::file_time_type later = std::filesystem::last_write_time(photo) + std::chrono::seconds(5);
    std::filesystem::last_write_time(photo, later);
    EXPECT_TRUE(store.lookup(photo, 200).isNull());
}

TEST_F(Thumbnails, VideoFramesAndRotation)
{
    if (!haveTool("ffmpeg"))
        GTEST_SKIP();
    const auto plain = t.root() / "plain.mp4";
    const auto clip = t.root() / "clip.mp4";
    ASSERT_EQ(runTool(u"ffmpeg"_s, {u"-loglevel"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                                    u"testsrc2=size=320x180:rate=10"_s, u"-t"_s, u"2"_s, u"-pix_fmt"_s, u"yuv420p"_s,
                                    QString::fromUtf8(plain.c_str())}),
              0);
    // A phone's portrait clip: frames stored landscape, a quarter turn in the display matrix.
    ASSERT_EQ(runTool(u"ffmpeg"_s, {u"-loglevel"_s, u"error"_s, u"-i"_s, QString::fromUtf8(plain.c_str()), u"-c"_s,
                                    u"copy"_s, u"-metadata:s:v:0"_s, u"rotate=90"_s, QString::fromUtf8(clip.c_str())}),
              0);
    const QImage frame = ThumbnailService::decode(clip, 160);
    ASSERT_FALSE(frame.isNull());
    EXPECT_LT(frame.width(), frame.height()) << "a rotated clip's thumbnail stands upright";
    EXPECT_EQ(frame.height(), 160);
}

} // namespace

namespace {

// Clips that crash or stall the EXIF library, renamed as stills and RAWs: the grid's thumbnail and the
// preview's picture both give up with nothing to show, at once.
TEST(HostileFiles, ThumbnailAndPreviewGiveUp)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    TempTree t;
    int n = 0;
    for (const auto &entry : std::filesystem::directory_iterator(fixtures / "broken" / "exiv2-crash")) {
        ++n;
        for (const char *ext : {"jpg", "CR2", "heic", "png", "tif"}) {
            const auto file = t.root() / ("clip" + std::to_string(n) + "." + ext);
            std::filesystem::copy_file(entry.path(), file);
            EXPECT_TRUE(ThumbnailService::decode(file, 256).isNull()) << file;
            const LargeImageView::Picture picture = LargeImageView::decodeFile(file, 2560, {});
            EXPECT_TRUE(picture.image.isNull()) << file;
            EXPECT_FALSE(picture.error.isEmpty()) << "the preview says why";
        }
    }
    EXPECT_GT(n, 0);
}

} // namespace
