#include "copies/copy_error.h"
#include "copies/video_compressor.h"

#include "media/cancellation.h"
#include "copies/media_probe.h"
#include "testsupport/media_maker.h"
#include "testsupport/temp_tree.h"

#include <QFile>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <thread>

using namespace Qt::StringLiterals;
using namespace vorlane;
using namespace vorlane::test;
using Reason = CopyError::Reason;

namespace {

QString q(const std::filesystem::path &p) { return QFile::decodeName(QByteArray::fromStdString(p.native())); }

// Makes a short clip with the ffmpeg command line: inputs and codec arguments as given, then the file.
void makeClip(const std::filesystem::path &file, const QStringList &args)
{
    QStringList all{u"-v"_s, u"error"_s, u"-y"_s};
    all += args;
    all += q(file);
    ASSERT_EQ(runTool(u"ffmpeg"_s, all), 0) << "ffmpeg could not make " << file;
}

QStringList testVideo(const char *size, double seconds = 1)
{
    return {u"-f"_s, u"lavfi"_s, u"-i"_s,
            u"testsrc2=size=%1:rate=30:duration=%2"_s.arg(QLatin1StringView(size)).arg(seconds)};
}

QStringList sineAudio(int rate, double seconds = 1)
{
    return {u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=frequency=440:sample_rate=%1:duration=%2"_s.arg(rate).arg(seconds)};
}

const QStringList fastH264{u"-c:v"_s, u"libx264"_s, u"-preset"_s, u"ultrafast"_s};

std::string readAll(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> namesIn(const std::filesystem::path &folder)
{
    std::vector<std::string> names;
    if (std::filesystem::is_directory(folder)) {
        for (const auto &entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class VideoCompressorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!haveTool("ffmpeg") || !haveTool("ffprobe"))
            GTEST_SKIP() << "ffmpeg / ffprobe not installed";
    }

    TempTree tree;
    std::filesystem::path bside = tree.root() / "clips" / "clips_bside";
    std::filesystem::path destination = bside / "clip_bside.mp4";
};

// ---- output size rule --------------------------------------------------------------------------------------

struct SizeRow
{
    double w, h;
    int rotation;
    int expectedW, expectedH;
};

class OutputSizeTest : public ::testing::TestWithParam<SizeRow>
{
};

TEST_P(OutputSizeTest, ScalesTheShownLongEdgeAndKeepsSidesEven)
{
    const SizeRow row = GetParam();
    EXPECT_EQ(VideoCompressor::outputSize(row.w, row.h, row.rotation), std::pair(row.expectedW, row.expectedH));
}

INSTANTIATE_TEST_SUITE_P(Rows, OutputSizeTest,
                         ::testing::Values(SizeRow{1920, 1080, 0, 1280, 720}, SizeRow{3840, 2160, 0, 1280, 720},
                                           // quarter turns: the shown 1080 × 1920 becomes 720 × 1280, stored 1280 × 720
                                           SizeRow{1920, 1080, 90, 1280, 720}, SizeRow{1920, 1080, -90, 1280, 720},
                                           SizeRow{1080, 1920, 270, 720, 1280}, SizeRow{1934, 2160, 0, 1146, 1280},
                                           // odd sides are made even by the smallest change, also unscaled
                                           SizeRow{1000, 563, 0, 1000, 564}, SizeRow{563, 1000, 90, 564, 1000},
                                           SizeRow{1281, 721, 0, 1280, 720}, SizeRow{1280, 720, 180, 1280, 720},
                                           SizeRow{719.5, 405, 0, 720, 406}, SizeRow{0.4, 0, 0, 2, 2}));

// ---- made clips through the whole encoder ------------------------------------------------------------------

struct ClipRow
{
    const char *name;
    const char *sourceName;
    QStringList args;     // ffmpeg arguments that make the source
    const char *rotateTag; // written afterwards as the stream's "rotate" tag; nullptr for none
    int width, height;     // expected coded size of the copy
    bool audio;
};

void PrintTo(const ClipRow &row, std::ostream *os) { *os << row.name; }

class ClipTest : public VideoCompressorTest, public ::testing::WithParamInterface<ClipRow>
{
};

TEST_P(ClipTest, CopyHasTheExpectedStreamsAndReplacesAnEarlierCopy)
{
    const ClipRow &row = GetParam();
    std::filesystem::path source = tree.dir("clips") / row.sourceName;
    makeClip(source, row.args);
    if (row.rotateTag) {
        const std::filesystem::path rotated = source.parent_path() / ("rotated-" + source.filename().string());
        makeClip(rotated, {u"-i"_s, q(source), u"-c"_s, u"copy"_s, u"-metadata:s:v:0"_s,
                           u"rotate="_s + QLatin1StringView(row.rotateTag)});
        std::filesystem::rename(rotated, source);
    }
    const auto sourceProbe = probeMedia(source);
    ASSERT_TRUE(sourceProbe);
    tree.file("clips/clips_bside/clip_bside.mp4", "an earlier copy");

    const auto info = VideoCompressor::compress(source, destination, {}, 1);

    const auto copy = probeMedia(destination);
    ASSERT_TRUE(copy) << "ffprobe cannot read the copy";
    EXPECT_TRUE(copy->format.value("format_name"_L1).toString().contains("mp4"_L1));
    EXPECT_EQ(copy->videoString("codec_name"), u"h264"_s);
    EXPECT_EQ(copy->videoString("profile"), u"High"_s);
    EXPECT_EQ(copy->videoString("pix_fmt"), u"yuv420p"_s);
    EXPECT_EQ(copy->videoInt("width"), row.width);
    EXPECT_EQ(copy->videoInt("height"), row.height);
    EXPECT_EQ(copy->rotation(), sourceProbe->rotation());
    EXPECT_EQ(info, (VideoCompressor::CopyInfo{row.width, row.height, int64_t(std::filesystem::file_size(destination))}));
    if (row.audio) {
        EXPECT_EQ(copy->audioString("codec_name"), u"aac"_s);
        EXPECT_EQ(copy->audioInt("channels"), 2);
        EXPECT_EQ(copy->audioInt("sample_rate"), 44100);
    } else {
        EXPECT_EQ(copy->audioStreams, 0);
    }
    const auto boxes = topLevelBoxes(destination);
    const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
    EXPECT_LT(moov, std::find(boxes.begin(), boxes.end(), "mdat")) << "moov must come first (+faststart)";
    EXPECT_EQ(namesIn(bside), std::vector<std::string>{"clip_bside.mp4"}) << "no temporary file may be left";
}

const QStringList yuv420{u"-pix_fmt"_s, u"yuv420p"_s};

INSTANTIATE_TEST_SUITE_P(
    Rows, ClipTest,
    ::testing::Values(
        ClipRow{"Landscape1080pStereo48k", "a.mp4",
                testVideo("1920x1080") + sineAudio(48000) + fastH264 + yuv420 + QStringList{u"-ac"_s, u"2"_s, u"-c:a"_s, u"aac"_s},
                nullptr, 1280, 720, true},
        ClipRow{"Hd720VideoOnlyNotScaled", "b.mp4", testVideo("1280x720") + fastH264 + yuv420, nullptr, 1280, 720, false},
        // 4:4:4 H.264 can carry the odd height (testsrc2 itself only makes even sizes, hence the scale).
        ClipRow{"OddHeightMadeEven", "c.mp4",
                testVideo("1000x564", 0.5) + fastH264 + QStringList{u"-vf"_s, u"scale=1000:563,setsar=1,format=yuv444p"_s},
                nullptr, 1000, 564, false},
        ClipRow{"MonoEightBit22k", "d.mov",
                testVideo("320x240") + sineAudio(22050) + fastH264 + yuv420 + QStringList{u"-c:a"_s, u"pcm_u8"_s},
                nullptr, 320, 240, true},
        ClipRow{"FivePointOneFloat48k", "e.mkv",
                testVideo("320x240") + sineAudio(48000) + fastH264 + yuv420
                    + QStringList{u"-ac"_s, u"6"_s, u"-c:a"_s, u"pcm_f32le"_s},
                nullptr, 320, 240, true},
        // A phone held upright: stored landscape with a quarter-turn display matrix.
        ClipRow{"PhonePortrait1080p", "f.mp4", testVideo("1920x1080") + sineAudio(44100) + fastH264 + yuv420, "270",
                1280, 720, true},
        ClipRow{"UpsideDown", "g.mp4", testVideo("640x360") + fastH264 + yuv420, "180", 640, 360, false},
        ClipRow{"QuarterTurnOtherWay", "h.mp4", testVideo("640x360") + fastH264 + yuv420, "90", 640, 360, false}),
    [](const auto &row) { return std::string(row.param.name); });

// A copy is never encoded above its source's own video bit rate, which 2 Mbit/s caps; the rate of a WebM,
// which records none per stream, is measured from its packets.
struct BitrateRow
{
    const char *name;
    const char *file;
    QStringList args;
    bool capped; // the source runs above 2 Mbit/s
};
class BitrateTest : public VideoCompressorTest, public ::testing::WithParamInterface<BitrateRow>
{
};
TEST_P(BitrateTest, CopyStaysAtOrUnderTheSourceRate)
{
    const BitrateRow row = GetParam();
    const auto source = tree.dir("clips") / row.file;
    makeClip(source, testVideo("640x360", 6) + row.args);
    VideoCompressor::compress(source, destination, {});
    const auto copy = probeMedia(destination);
    ASSERT_TRUE(copy && copy->video);
    const double copyKbps = copy->videoString("bit_rate").toDouble() / 1000;
    if (row.capped) {
        EXPECT_GT(copyKbps, 1200);
        EXPECT_LT(copyKbps, 2300);
        return;
    }
    // The source holds 6 s of video and nothing else.
    const double sourceKbps = double(std::filesystem::file_size(source)) * 8 / 6 / 1000;
    ASSERT_GT(sourceKbps, 100);
    EXPECT_LT(copyKbps, sourceKbps * 1.15) << "x264's average may overshoot its target a little, never 2 Mbit/s";
}
INSTANTIATE_TEST_SUITE_P(
    Rows, BitrateTest,
    ::testing::Values(
        BitrateRow{"LowRateMp4", "low.mp4", fastH264 + yuv420 + QStringList{u"-b:v"_s, u"250k"_s}, false},
        BitrateRow{"LowRateWebm", "low.webm", {u"-c:v"_s, u"libvpx"_s, u"-b:v"_s, u"250k"_s}, false},
        BitrateRow{"HighRateIsCapped", "high.mp4", fastH264 + yuv420 + QStringList{u"-qp"_s, u"4"_s}, true}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(VideoCompressorTest, KeyFramesAreAtMostSixtyFramesApart)
{
    const auto source = tree.dir("clips") / "long.mp4";
    makeClip(source, testVideo("320x180", 5) + fastH264 + yuv420 + QStringList{u"-g"_s, u"300"_s});
    VideoCompressor::compress(source, destination, {});

    const std::vector<bool> keys = videoKeyFlags(destination);
    ASSERT_EQ(keys.size(), 150u);
    ASSERT_TRUE(keys.front());
    size_t last = 0;
    for (size_t i = 1; i < keys.size(); ++i) {
        if (keys[i]) {
            EXPECT_LE(i - last, 60u);
            last = i;
        }
    }
    EXPECT_LE(keys.size() - last, 60u);
}

TEST_F(VideoCompressorTest, VariableFrameRateKeepsEveryTimestampAndTheAudioInStep)
{
    // 30 fps with a one-second hole in the middle (frames 15 to 44 dropped), over two seconds of sound.
    const auto source = tree.dir("clips") / "vfr.mkv";
    makeClip(source, testVideo("320x240", 2) + sineAudio(48000, 2)
                         + QStringList{u"-vf"_s, u"select='not(between(n\\,15\\,44))'"_s, u"-fps_mode"_s,
                                       u"passthrough"_s}
                         + fastH264 + yuv420 + QStringList{u"-c:a"_s, u"aac"_s});
    VideoCompressor::compress(source, destination, {});

    // Both streams move by the file's start (the AAC priming makes it slightly negative), nothing else.
    const auto original = probeMedia(source);
    ASSERT_TRUE(original);
    const double start = original->format.value("start_time"_L1).toString().toDouble();
    const auto sourceTimes = packetTimes(source, "v");
    const auto copyTimes = packetTimes(destination, "v");
    ASSERT_EQ(sourceTimes.size(), 30u);
    ASSERT_EQ(copyTimes.size(), sourceTimes.size());
    for (size_t i = 0; i < copyTimes.size(); ++i)
        EXPECT_NEAR(copyTimes[i], sourceTimes[i] - start, 0.002) << "frame " << i;
    const auto audioTimes = packetTimes(destination, "a");
    ASSERT_FALSE(audioTimes.empty());
    EXPECT_NEAR(audioTimes.front(), 0.0, 0.05);
    EXPECT_NEAR(audioTimes.back(), 2.0, 0.05);
}

// ---- inputs that yield no copy: nothing appears, an earlier copy stays ------------------------------------

struct RefusalRow
{
    const char *name;
    Reason reason;
    const char *messageStart;
};

void PrintTo(const RefusalRow &row, std::ostream *os) { *os << row.name; }

class RefusalTest : public VideoCompressorTest, public ::testing::WithParamInterface<RefusalRow>
{
};

TEST_P(RefusalTest, FailsWithItsErrorAndLeavesNothingBehind)
{
    const RefusalRow &row = GetParam();
    const std::string name = row.name;
    std::filesystem::path source = tree.dir("clips") / "source.mp4";
    if (name == "AudioOnly")
        makeClip(source, sineAudio(44100) + QStringList{u"-c:a"_s, u"aac"_s, u"-f"_s, u"mp4"_s});
    else if (name == "EmptyFile")
        tree.file("clips/source.mp4");
    else if (name == "NotAVideo")
        tree.file("clips/source.mp4", std::string(4096, 'x'));
    else {
        const auto fixtures = fixturesDir();
        if (!fixtures)
            GTEST_SKIP() << "fixtures folder not present";
        source = *fixtures / "broken" / name;
    }
    const bool earlierCopy = row.reason != Reason::NoVideoTrack;
    if (earlierCopy)
        tree.file("clips/clips_bside/clip_bside.mp4", "an earlier copy");

    try {
        VideoCompressor::compress(source, destination, {});
        FAIL() << "expected a CopyError";
    } catch (const CopyError &error) {
        EXPECT_EQ(error.reason(), row.reason);
        EXPECT_TRUE(std::string_view(error.what()).starts_with(row.messageStart)) << error.what();
    }
    if (earlierCopy) {
        EXPECT_EQ(readAll(destination), "an earlier copy");
        EXPECT_EQ(namesIn(bside), std::vector<std::string>{"clip_bside.mp4"});
    } else {
        EXPECT_FALSE(std::filesystem::exists(bside)) << "no folder is made for a file without video";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RefusalTest,
    ::testing::Values(RefusalRow{"AudioOnly", Reason::NoVideoTrack, ""},
                      RefusalRow{"EmptyFile", Reason::NoVideoTrack, ""},
                      RefusalRow{"NotAVideo", Reason::ReadFailed,
                                 "reader: Invalid data found when processing input"},
                      // moov in place but the media data cut short: an interrupted transfer
                      RefusalRow{"VID_20191220_170832_truncated.mp4", Reason::ReadFailed, "reader: "},
                      // cut before the moov atom
                      RefusalRow{"portrait_4k60_truncated.mp4", Reason::ReadFailed, "reader: "},
                      // index without any media data
                      RefusalRow{"sony-a7-xavc.MP4", Reason::ReadFailed, "reader: "}),
    [](const auto &row) {
        std::string name = row.param.name;
        std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

TEST_F(VideoCompressorTest, CancelledMidwayLeavesTheEarlierCopyAndNoTemporaryFile)
{
    const auto source = tree.dir("clips") / "long.mp4";
    makeClip(source, testVideo("640x360", 10) + sineAudio(48000, 10) + fastH264 + yuv420);
    tree.file("clips/clips_bside/clip_bside.mp4", "an earlier copy");

    std::stop_source stop;
    std::exception_ptr failure;
    std::jthread worker([&] {
        try {
            VideoCompressor::compress(source, destination, stop.get_token(), 1);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    // Wait until encoded data is reaching the temporary file, then cancel.
    bool midway = false;
    while (!midway && worker.joinable()) {
        for (const auto &entry : std::filesystem::directory_iterator(bside)) {
            std::error_code ec;
            if (entry.path().filename().string().find(".part-") != std::string::npos
                && std::filesystem::file_size(entry.path(), ec) > 200 * 1024 && !ec)
                midway = true;
        }
        if (std::filesystem::exists(destination) && readAll(destination) != "an earlier copy")
            break; // finished before we could cancel: the assertions below will say so
        std::this_thread::yield();
    }
    stop.request_stop();
    worker.join();

    ASSERT_TRUE(midway);
    ASSERT_TRUE(failure);
    EXPECT_THROW(std::rethrow_exception(failure), CancelledError);
    EXPECT_EQ(readAll(destination), "an earlier copy");
    EXPECT_EQ(namesIn(bside), std::vector<std::string>{"clip_bside.mp4"});
}

// ---- real camera and phone videos --------------------------------------------------------------------------

class FixtureVideoTest : public VideoCompressorTest, public ::testing::WithParamInterface<const char *>
{
};

TEST_P(FixtureVideoTest, CopyKeepsRotationSoundAndLength)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    const auto source = fixtures / GetParam();
    const auto original = probeMedia(source);
    ASSERT_TRUE(original);

    const auto info = VideoCompressor::compress(source, destination, {}, 2);

    const auto copy = probeMedia(destination);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->videoString("codec_name"), u"h264"_s);
    EXPECT_EQ(copy->videoString("profile"), u"High"_s);
    const int w = copy->videoInt("width"), h = copy->videoInt("height");
    EXPECT_EQ(std::pair(w, h), std::pair(info.width, info.height));
    EXPECT_EQ(w % 2, 0);
    EXPECT_EQ(h % 2, 0);
    EXPECT_LE(std::max(w, h), 1280);
    EXPECT_EQ(copy->rotation(), original->rotation());
    // A track the demuxer cannot even name (no sample description) is not sound we could copy.
    const bool sound = original->audio && original->audio->contains("codec_name"_L1);
    EXPECT_EQ(copy->audioStreams, sound ? 1 : 0);
    if (sound) {
        EXPECT_EQ(copy->audioInt("channels"), 2);
        EXPECT_EQ(copy->audioInt("sample_rate"), 44100);
    }
    const auto before = packetTimes(source, "v");
    const auto after = packetTimes(destination, "v");
    ASSERT_FALSE(after.empty());
    EXPECT_NEAR(after.back() - after.front(), before.back() - before.front(), 0.05) << "video length changed";
}

// Rotated phone clips (both directions, upside down), HEVC, MJPEG and Indeo AVIs, PCM and AC-3 sound, AVCHD,
// WebM, a clip whose audio track has no sample description, a coded-portrait clip and an MV-HEVC stereo clip.
INSTANTIATE_TEST_SUITE_P(Corpus, FixtureVideoTest,
                         ::testing::Values("videos/with-gps.mov", "videos/pixel7_videoOnly_cleaned.mp4",
                                           "videos/mv_with_2_top_shots.mp4", "videos/quicktime-hvc1.mov",
                                           "videos/IMG_7943_HEVC.MOV", "videos/train.mov", "videos/100_0306.AVI",
                                           "videos/flame.avi", "videos/fixture-raw.mts", "videos/fixture-null.webm",
                                           "videos/sample_portrait.mp4", "broken/sample_missing_stsd.mp4",
                                           "videos/water_180_mvhevc_5frames.mov"),
                         [](const auto &row) {
                             std::string name = std::filesystem::path(row.param).filename().string();
                             std::replace_if(name.begin(), name.end(),
                                             [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name;
                         });

} // namespace
