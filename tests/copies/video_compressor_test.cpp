// Video copies made end to end from clips that ffmpeg makes at test time and from real camera and phone
// clips; the copies are read back with ffprobe and from their bytes, never with the code under test.
#include "copies/copy_error.h"
#include "catalogue/copy_provenance.h"
#include "copies/copy_maker.h"
#include "copies/video_compressor.h"
#include "core/cancellation.h"

#include "testsupport/support.h"

#include <QSize>

#include <fstream>
#include <thread>

using namespace Qt::StringLiterals;
using namespace vorlane;
using namespace vorlane::test;
using Reason = CopyError::Reason;

namespace {

using vorlane::test::PrintTo;

// ffprobe's "key=value" lines for entries ("stream=width,height:stream_side_data=rotation") of a file's
// streams of a kind ("v:0", "a"), joined by spaces: empty for a kind the file does not have.
std::string probe(const std::filesystem::path &file, const char *streams, const char *entries)
{
    QByteArray out;
    runTool(u"ffprobe"_s,
            {u"-v"_s, u"error"_s, u"-select_streams"_s, QLatin1StringView(streams), u"-show_entries"_s,
             QLatin1StringView(entries), u"-of"_s, u"default=nw=1"_s, qpath(file)},
            &out);
    return out.trimmed().replace('\n', ' ').toStdString();
}

// One field of every packet of a file's first stream of a kind ("v", "a"), in decode order.
QList<QByteArray> packets(const std::filesystem::path &file, const char *kind, const char *field)
{
    QByteArray csv;
    runTool(u"ffprobe"_s,
            {u"-v"_s, u"error"_s, u"-select_streams"_s, QLatin1StringView(kind) + u":0"_s, u"-show_entries"_s,
             u"packet="_s + QLatin1StringView(field), u"-of"_s, u"csv=p=0"_s, qpath(file)},
            &csv);
    QList<QByteArray> values;
    for (const QByteArray &line : csv.split('\n')) {
        if (!line.trimmed().isEmpty())
            values.append(line.split(',').constFirst().trimmed()); // side data may follow
    }
    return values;
}

std::vector<double> packetTimes(const std::filesystem::path &file, const char *type)
{
    std::vector<double> times;
    for (const QByteArray &t : packets(file, type, "pts_time"))
        times.push_back(t.toDouble());
    std::sort(times.begin(), times.end());
    return times;
}

// Whether an encode's temporary file of at least minBytes is in the folder.
bool encodingInto(const std::filesystem::path &folder, uintmax_t minBytes = 0)
{
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(folder, ec)) {
        const bool partial = entry.path().filename().string().find(".part-") != std::string::npos;
        if (partial && entry.file_size(ec) >= minBytes && !ec)
            return true;
    }
    return false;
}

const QStringList h264{u"-c:v"_s, u"libx264"_s, u"-preset"_s, u"ultrafast"_s, u"-pix_fmt"_s, u"yuv420p"_s};
const char *kCopyAudio = "codec_name=aac sample_rate=44100 channels=2";

class VideoCompressorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(haveTool("ffmpeg") && haveTool("ffprobe")) << "ffmpeg / ffprobe not installed";
    }
    TempTree tree;
    std::filesystem::path bside = tree.root() / "clips" / "clips_bside";
    std::filesystem::path destination = bside / "clip_bside.mp4";
};

TEST(VideoOutputSize, ScalesTheShownLongEdgeAndKeepsSidesEven)
{
    const std::vector<std::tuple<double, double, int, int, int>> rows{
        // stored size, rotation, copy size
        {1920, 1080, 0, 1280, 720},
        {3840, 2160, 0, 1280, 720},
        {1934, 2160, 0, 1146, 1280},
        // quarter turns: the shown 1080 × 1920 becomes 720 × 1280, stored 1280 × 720
        {1920, 1080, 90, 1280, 720},
        {1920, 1080, -90, 1280, 720},
        {1080, 1920, 270, 720, 1280},
        {1280, 720, 180, 1280, 720},
        // odd sides are made even by the smallest change, also unscaled
        {1000, 563, 0, 1000, 564},
        {563, 1000, 90, 564, 1000},
        {1281, 721, 0, 1280, 720},
        {719.5, 405, 0, 720, 406},
        {0.4, 0, 0, 2, 2}};
    for (const auto &[w, h, rotation, copyW, copyH] : rows)
        EXPECT_EQ(VideoCompressor::outputSize(w, h, rotation), std::pair(copyW, copyH))
            << w << "x" << h << " " << rotation;
}

// A copy of each clip: H.264 High 4:2:0 in an MP4 with its index first, the shown long edge at most 1280 and
// both sides even, the source's display matrix, its sound (if a demuxer can name its codec) as AAC stereo
// 44.1 kHz, and its length. It replaces an earlier copy, leaves no temporary file and names its source.
struct ClipRow
{
    const char *name; // the clip ffmpeg makes from args; with no args, a file of the corpus
    QStringList args; // ffmpeg arguments that make the source
    int rotation;     // given to the made source's display matrix
    QSize copy;       // the copy's coded size (any that fits, for the corpus's)
};
ClipRow fromCorpus(const char *file) { return {file, {}, 0, {}}; }
using Clip = WithRows<VideoCompressorTest, ClipRow>;

TEST_P(Clip, CopyIsSmallH264WithTheSourcesTurnSoundAndLength)
{
    const ClipRow &row = GetParam();
    auto source = tree.dir("clips") / row.name;
    if (row.args.isEmpty()) {
        VORLANE_REQUIRE_FIXTURES(fixtures);
        source = fixtures / row.name;
    } else {
        ASSERT_TRUE(ffmpeg(row.args, source));
        ASSERT_TRUE(!row.rotation || rotateClip(source, row.rotation));
    }
    tree.file("clips/clips_bside/clip_bside.mp4", "an earlier copy");

    const auto info = VideoCompressor::compress(source, destination, {}, 2);

    const QSize size(info.width, info.height);
    EXPECT_EQ(probe(destination, "v:0", "stream=codec_name,profile,width,height,pix_fmt"),
              "codec_name=h264 profile=High width=" + std::to_string(size.width())
                  + " height=" + std::to_string(size.height()) + " pix_fmt=yuv420p");
    if (row.copy.isValid()) {
        EXPECT_EQ(size, row.copy);
    }
    EXPECT_EQ(size.width() % 2 + size.height() % 2, 0);
    EXPECT_LE(std::max(size.width(), size.height()), 1280);
    EXPECT_EQ(probe(destination, "v:0", "stream_side_data=rotation"),
              probe(source, "v:0", "stream_side_data=rotation"));
    // A track the demuxer cannot even name (no sample description) is not sound that could be copied.
    const std::string codec = probe(source, "a:0", "stream=codec_name");
    const bool sound = !codec.empty() && codec != "codec_name=unknown";
    EXPECT_EQ(probe(destination, "a", "stream=codec_name,sample_rate,channels"), sound ? kCopyAudio : "");
    const auto before = packetTimes(source, "v"), after = packetTimes(destination, "v");
    ASSERT_FALSE(after.empty());
    EXPECT_NEAR(after.back() - after.front(), before.back() - before.front(), 0.05) << "video length changed";

    EXPECT_NE(probe(destination, "v:0", "format=format_name").find("mp4"), std::string::npos);
    EXPECT_EQ(info.bytes, int64_t(std::filesystem::file_size(destination)));
    const std::string bytes = readFile(destination);
    EXPECT_LT(bytes.find("moov"), bytes.find("mdat")) << "the index comes before the media data (+faststart)";
    EXPECT_EQ(namesIn(bside), std::vector<std::string>{"clip_bside.mp4"}) << "no temporary file may be left";
    EXPECT_EQ(probe(destination, "v:0", "format_tags=comment"),
              "TAG:comment=" + CopyProvenance::toText({{*CopyProvenance::fully(source)}}).toStdString())
        << "the copy names its source, in the tag other programs read";
    EXPECT_EQ(CopyProvenance::recordedIn(destination), CopyProvenance::Record{{*CopyProvenance::fully(source)}});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Clip,
    ::testing::Values(
        ClipRow{"landscape-1080p-stereo-48k.mp4",
                testPattern("1920x1080") + tone(48000) + h264 + QStringList{u"-ac"_s, u"2"_s, u"-c:a"_s, u"aac"_s}, 0,
                {1280, 720}},
        ClipRow{"hd720-video-only-not-scaled.mp4", testPattern("1280x720") + h264, 0, {1280, 720}},
        // 4:4:4 H.264 can carry the odd height (testsrc2 itself only makes even sizes, hence the scale).
        ClipRow{"odd-height-made-even.mp4",
                testPattern("1000x564", 0.5) + h264.mid(0, 4)
                    + QStringList{u"-vf"_s, u"scale=1000:563,setsar=1,format=yuv444p"_s},
                0, {1000, 564}},
        ClipRow{"mono-8-bit-22k.mov", testPattern("320x240") + tone(22050) + h264 + QStringList{u"-c:a"_s, u"pcm_u8"_s},
                0, {320, 240}},
        ClipRow{"5.1-float-48k.mkv",
                testPattern("320x240") + tone(48000) + h264 + QStringList{u"-ac"_s, u"6"_s, u"-c:a"_s, u"pcm_f32le"_s},
                0, {320, 240}},
        // A phone held upright: stored landscape with a quarter-turn display matrix.
        ClipRow{"phone-portrait-1080p.mp4", testPattern("1920x1080") + tone() + h264, 270, {1280, 720}},
        ClipRow{"upside-down.mp4", testPattern("640x360") + h264, 180, {640, 360}},
        ClipRow{"quarter-turn-the-other-way.mp4", testPattern("640x360") + h264, 90, {640, 360}},
        // The corpus: rotated phone clips (both directions, upside down), HEVC, MJPEG and Indeo AVIs, PCM and AC-3
        // sound, AVCHD, WebM, a clip whose audio track has no sample description, a coded-portrait clip and an
        // MV-HEVC stereo clip.
        fromCorpus("videos/with-gps.mov"), fromCorpus("videos/pixel7_videoOnly_cleaned.mp4"),
        fromCorpus("videos/mv_with_2_top_shots.mp4"), fromCorpus("videos/quicktime-hvc1.mov"),
        fromCorpus("videos/IMG_7943_HEVC.MOV"), fromCorpus("videos/train.mov"), fromCorpus("videos/100_0306.AVI"),
        fromCorpus("videos/flame.avi"), fromCorpus("videos/fixture-raw.mts"), fromCorpus("videos/fixture-null.webm"),
        fromCorpus("videos/sample_portrait.mp4"), fromCorpus("broken/sample_missing_stsd.mp4"),
        fromCorpus("videos/water_180_mvhevc_5frames.mov")),
    RowName());

// A copy is never encoded above its source's own video bit rate, which 2 Mbit/s caps; the rate of a WebM,
// which records none per stream, is measured from its packets. Whatever the source's key frames, the copy
// has one at least every 60 frames.
struct BitrateRow
{
    const char *name;
    const char *file;
    QStringList args;
    bool capped; // the source runs above 2 Mbit/s
};
using Bitrate = WithRows<VideoCompressorTest, BitrateRow>;

TEST_P(Bitrate, CopyStaysAtOrUnderTheSourceRateWithKeyFramesEverySixtyFrames)
{
    const BitrateRow row = GetParam();
    const auto source = tree.dir("clips") / row.file;
    ASSERT_TRUE(ffmpeg(testPattern("640x360", 6) + row.args + QStringList{u"-g"_s, u"300"_s}, source));
    VideoCompressor::compress(source, destination, {});
    const double copyKbps = QByteArray(probe(destination, "v:0", "stream=bit_rate").c_str()).mid(9).toDouble() / 1000;
    const double sourceKbps = double(std::filesystem::file_size(source)) * 8 / 6 / 1000; // 6 s of video alone
    if (row.capped) {
        EXPECT_GT(copyKbps, 1200);
        EXPECT_LT(copyKbps, 2300);
    } else {
        ASSERT_GT(sourceKbps, 100);
        EXPECT_LT(copyKbps, sourceKbps * 1.15) << "x264's average may overshoot its target a little, never 2 Mbit/s";
    }
    QByteArray frames; // a letter a frame: K for a key frame
    for (const QByteArray &flags : packets(destination, "v", "flags"))
        frames += flags.startsWith('K') ? 'K' : '-';
    ASSERT_EQ(frames.size(), 180);
    EXPECT_TRUE(frames.startsWith('K'));
    EXPECT_FALSE(frames.contains(QByteArray(60, '-'))) << "a gap of 60 frames without a key frame: " << frames.data();
}
INSTANTIATE_TEST_SUITE_P(
    Rows, Bitrate,
    ::testing::Values(BitrateRow{"LowRateMp4", "low.mp4", h264 + QStringList{u"-b:v"_s, u"250k"_s}, false},
                      BitrateRow{"LowRateWebm", "low.webm", {u"-c:v"_s, u"libvpx"_s, u"-b:v"_s, u"250k"_s}, false},
                      BitrateRow{"HighRateIsCapped", "high.mp4", h264 + QStringList{u"-qp"_s, u"4"_s}, true}),
    RowName());

// A copy exists to be small: one that came out larger than its original is made again at lower rates and
// the smallest kept; a clip so thin that even that is larger keeps the smallest copy and says so. The
// corpus's VP8 WebM of 901 KB once gave a copy of 910 KB.
TEST_F(VideoCompressorTest, ACopyIsNeverKeptLargerThanNeedBe)
{
    const auto thin = tree.dir("clips") / "thin.webm";
    ASSERT_TRUE(ffmpeg(testPattern("640x360", 6) + tone(48000, 6)
                           + QStringList{u"-c:v"_s, u"libvpx-vp9"_s, u"-b:v"_s, u"120k"_s, u"-c:a"_s, u"libopus"_s,
                                         u"-b:a"_s, u"24k"_s},
                       thin));
    const auto info = VideoCompressor::compress(thin, destination, {});
    EXPECT_LT(info.audioBitrate, VideoCompressor::audioBitrate) << "made again with thinner sound";
    EXPECT_EQ(info.largerThanOriginal, info.bytes > int64_t(std::filesystem::file_size(thin)));
    EXPECT_EQ(info.bytes, int64_t(std::filesystem::file_size(destination)));
    EXPECT_EQ(namesIn(bside), std::vector<std::string>{"clip_bside.mp4"}) << "no attempt is left behind";
    const CopyOutcome outcome = makeCopy(CopyRequest{thin, destination, std::nullopt, true}, {});
    EXPECT_EQ(outcome.message.isEmpty(), !outcome.copy.largerThanOriginal) << "a copy larger than its original says so";

    if (const auto fixtures = fixturesDir(); fixtures && std::filesystem::exists(*fixtures / "videos/webm_480.webm")) {
        const auto webm = *fixtures / "videos/webm_480.webm";
        const auto made = VideoCompressor::compress(webm, destination, {});
        EXPECT_LT(made.bytes, int64_t(std::filesystem::file_size(webm)));
        EXPECT_FALSE(made.largerThanOriginal);
    }
}

// The record is read before the encode: an original written to while its copy is made (a card tool, another
// program) leaves no copy that would vouch for bytes it does not hold, and the job fails without calling the
// original undecodable.
TEST_F(VideoCompressorTest, AnOriginalChangedWhileItsCopyIsMadeLeavesNoCopy)
{
    const auto clip = tree.dir("clips") / "clip.mp4";
    ASSERT_TRUE(ffmpeg(testPattern("1280x720", 8) + h264, clip));
    CopyOutcome outcome;
    std::thread job([&] { outcome = makeCopy(CopyRequest{clip, destination, std::nullopt, true}, {}); });
    // The encode has begun once its temporary file exists in the copy folder.
    for (int i = 0; i < 3000 && !encodingInto(bside); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const bool caught = encodingInto(bside);
    std::ofstream(clip, std::ios::app | std::ios::binary) << "appended while the copy was made";
    job.join();
    ASSERT_TRUE(caught) << "the encode ended before the original could be changed";
    EXPECT_EQ(outcome.result, CopyOutcome::Result::Failed);
    EXPECT_FALSE(outcome.undecodable);
    EXPECT_TRUE(outcome.message.contains(u"clip.mp4"_s)) << outcome.message.toStdString();
    EXPECT_TRUE(namesIn(bside).empty()) << "no copy is left";
}

TEST_F(VideoCompressorTest, VariableFrameRateKeepsEveryTimestampAndTheAudioInStep)
{
    // 30 fps with a one-second hole in the middle (frames 15 to 44 dropped), over two seconds of sound.
    const auto source = tree.dir("clips") / "vfr.mkv";
    ASSERT_TRUE(
        ffmpeg(testPattern("320x240", 2) + tone(48000, 2)
                   + QStringList{u"-vf"_s, u"select='not(between(n\\,15\\,44))'"_s, u"-fps_mode"_s, u"passthrough"_s}
                   + h264 + QStringList{u"-c:a"_s, u"aac"_s},
               source));
    VideoCompressor::compress(source, destination, {});

    // Both streams move by the file's start (the AAC priming makes it slightly negative), nothing else.
    const double start = QByteArray(probe(source, "v:0", "format=start_time").c_str()).mid(11).toDouble();
    const auto sourceTimes = packetTimes(source, "v"), copyTimes = packetTimes(destination, "v");
    ASSERT_EQ(sourceTimes.size(), 30u);
    ASSERT_EQ(copyTimes.size(), sourceTimes.size());
    for (size_t i = 0; i < copyTimes.size(); ++i)
        EXPECT_NEAR(copyTimes[i], sourceTimes[i] - start, 0.002) << "frame " << i;
    const auto audioTimes = packetTimes(destination, "a");
    ASSERT_FALSE(audioTimes.empty());
    EXPECT_NEAR(audioTimes.front(), 0.0, 0.05);
    EXPECT_NEAR(audioTimes.back(), 2.0, 0.05);
}

// Inputs that yield no copy: nothing appears, an earlier copy stays, and no folder is made for a file
// without video. Rows named after a file come from the corpus.
struct RefusalRow
{
    const char *name;
    Reason reason;
    const char *messageStart;
};
using Refusal = WithRows<VideoCompressorTest, RefusalRow>;

TEST_P(Refusal, FailsWithItsErrorAndLeavesNothingBehind)
{
    const RefusalRow &row = GetParam();
    const std::string name = row.name;
    std::filesystem::path source = tree.dir("clips") / "source.mp4";
    if (name == "AudioOnly")
        ASSERT_TRUE(ffmpeg(tone() + QStringList{u"-c:a"_s, u"aac"_s, u"-f"_s, u"mp4"_s}, source));
    else if (name == "EmptyFile" || name == "NotAVideo")
        tree.file("clips/source.mp4", name == "EmptyFile" ? "" : std::string(4096, 'x'));
    else if (const auto fixtures = fixturesDir())
        source = *fixtures / "broken" / name;
    else
        GTEST_SKIP() << "fixtures folder not present";
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
    EXPECT_EQ(namesIn(bside), earlierCopy ? std::vector<std::string>{"clip_bside.mp4"} : std::vector<std::string>{});
    EXPECT_EQ(readFile(destination), earlierCopy ? "an earlier copy" : "");
    EXPECT_EQ(std::filesystem::exists(bside), earlierCopy);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Refusal,
    ::testing::Values(RefusalRow{"AudioOnly", Reason::NoVideoTrack, ""},
                      RefusalRow{"EmptyFile", Reason::NoVideoTrack, ""},
                      RefusalRow{"NotAVideo", Reason::ReadFailed, "reader: Invalid data found when processing input"},
                      // moov in place but the media data cut short: an interrupted transfer
                      RefusalRow{"VID_20191220_170832_truncated.mp4", Reason::ReadFailed, "reader: "},
                      RefusalRow{"portrait_4k60_truncated.mp4", Reason::ReadFailed, "reader: "}, // cut before moov
                      RefusalRow{"sony-a7-xavc.MP4", Reason::ReadFailed, "reader: "}),           // index, no media data
    RowName());

TEST_F(VideoCompressorTest, CancelledMidwayLeavesTheEarlierCopyAndNoTemporaryFile)
{
    const auto source = tree.dir("clips") / "long.mp4";
    ASSERT_TRUE(ffmpeg(testPattern("640x360", 10) + tone(48000, 10) + h264, source));
    tree.file("clips/clips_bside/clip_bside.mp4", "an earlier copy");
    std::stop_source stop;
    std::exception_ptr failure;
    std::atomic<bool> ended{false};
    std::jthread worker([&] {
        try {
            VideoCompressor::compress(source, destination, stop.get_token(), 1);
        } catch (...) {
            failure = std::current_exception();
        }
        ended = true;
    });
    // Wait until encoded data is reaching the temporary file, then cancel.
    bool midway = false;
    while (!midway && !ended)
        midway = encodingInto(bside, 200 * 1024);
    stop.request_stop();
    worker.join();
    ASSERT_TRUE(midway) << "the copy ended before it could be cancelled";
    ASSERT_TRUE(failure);
    EXPECT_THROW(std::rethrow_exception(failure), CancelledError);
    EXPECT_EQ(readFile(destination), "an earlier copy");
    EXPECT_EQ(namesIn(bside), std::vector<std::string>{"clip_bside.mp4"});
}

} // namespace
