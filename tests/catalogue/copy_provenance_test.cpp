#include "catalogue/copy_provenance.h"
#include "testsupport/support.h"

#include <sys/stat.h>

#include <fstream>

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;
namespace fs = std::filesystem;
using CopyProvenance::Verdict;

namespace {

// A record of these files, as a copy made from them carries it.
QByteArray recordOf(const QList<fs::path> &files)
{
    CopyProvenance::Record record;
    for (const fs::path &file : files)
        record.files.append(*CopyProvenance::fully(file));
    return CopyProvenance::toText(record);
}

// A copy's record is read back from a JPEG comment and from an MP4's comment tag as ffmpeg writes it,
// wherever the index sits; a copy with no record, and whatever else may lie at a copy path, records nothing.
// (How exiftool reads the comment is the copies' test; a record behind a photo tool's XMP, the command line's.)
TEST(CopyProvenance, TheRecordIsReadWhereCopiesKeepIt)
{
    ASSERT_TRUE(haveTool("convert") && haveTool("ffmpeg"));
    TempTree t;
    const fs::path jpeg = t.file("IMG_0001.JPG", std::string(100'000, 'a') + "tail");
    const fs::path raw = t.file("IMG_0001.CR2", std::string(300'000, 'r'));
    const QByteArray text = recordOf({jpeg, raw});
    const auto record = CopyProvenance::fromText(text);
    ASSERT_TRUE(record);
    ASSERT_EQ(record->files.size(), 2);
    EXPECT_EQ(record->files[0].size, 100'004);
    EXPECT_FALSE(record->isLegacy());

    ASSERT_TRUE(makeJpeg(t.root() / "plain.jpg", 64, 48));
    const std::string plain = readFile(t.root() / "plain.jpg");
    EXPECT_EQ(CopyProvenance::recordedIn(t.file("copy.jpg", CopyProvenance::withJpegComment(plain, text))), record);
    EXPECT_FALSE(CopyProvenance::recordedIn(t.root() / "plain.jpg"));

    const QString tag = u"comment="_s + QString::fromLatin1(text);
    for (const char *flags : {"+faststart", "-faststart"}) {
        const fs::path clip = t.root() / (std::string("clip") + flags + ".mp4");
        ASSERT_TRUE(ffmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc=d=0.5:s=160x120"_s, u"-c:v"_s, u"libx264"_s,
                            u"-metadata"_s, tag, u"-movflags"_s, QLatin1StringView(flags)},
                           clip));
        EXPECT_EQ(CopyProvenance::recordedIn(clip), record) << flags;
    }

    // Text that is not a record, and files that are not copies, record nothing and never block.
    for (const char *bad : {"vorlane-source size=12", "vorlane-source size=-1 head64k-sha256=00",
                            "another program's comment"})
        EXPECT_FALSE(CopyProvenance::fromText(bad)) << bad;
    ASSERT_EQ(::mkfifo((t.root() / "fifo_bside.jpg").c_str(), 0600), 0);
    EXPECT_FALSE(CopyProvenance::recordedIn(t.root() / "fifo_bside.jpg"));
    EXPECT_EQ(CopyProvenance::judge(t.root() / "fifo_bside.jpg", {jpeg}), Verdict::Absent);
    const fs::path boxes = t.file("boxes.mp4", std::string("\0\0\0\x10" "ftypisom\0\0\0\0" "\xff\xff\xff\xf0moov", 24));
    EXPECT_FALSE(CopyProvenance::recordedIn(boxes)) << "a box larger than its file";
}

// Whose copy: what the cell's files are now against what the record names. A new photo under an old name
// is another file even where it shares the old one's size and head (a camera's fixed header, a BMP of one
// size), and so is a pair whose RAW alone was replaced.
struct JudgeRow
{
    const char *name;
    std::function<void(const fs::path &jpeg, const fs::path &raw)> change;
    Verdict quick;
    Verdict full;
};

using vorlane::test::PrintTo;

using CopyProvenanceJudge = ::testing::TestWithParam<JudgeRow>;

TEST_P(CopyProvenanceJudge, ByTheOriginalsBytes)
{
    const JudgeRow &row = GetParam();
    TempTree t;
    // 200 KiB each: a head, a middle and a tail of their own.
    const std::string header(64 * 1024, 'h');
    const fs::path jpeg = t.file("IMG_1.JPG", header + std::string(72 * 1024, 'm') + std::string(64 * 1024, 't'));
    const fs::path raw = t.file("IMG_1.CR2", header + std::string(136 * 1024, 'R'));
    const fs::path copy
        = t.file("IMG_1_bside.jpg", CopyProvenance::withJpegComment("\xff\xd8\xff\xd9", recordOf({raw, jpeg})));
    row.change(jpeg, raw);
    EXPECT_EQ(CopyProvenance::judge(copy, {jpeg, raw}), row.quick);
    EXPECT_EQ(CopyProvenance::verify(copy, {jpeg, raw}), row.full);
}

void overwriteAt(const fs::path &file, int64_t offset, const std::string &bytes)
{
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(offset);
    f << bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CopyProvenanceJudge,
    ::testing::Values(
        JudgeRow{"unchanged", [](const fs::path &, const fs::path &) {}, Verdict::Own, Verdict::Own},
        JudgeRow{"a new photo with the same header and size",
                 [](const fs::path &jpeg, const fs::path &) { overwriteAt(jpeg, 190 * 1024, "new pixels"); },
                 Verdict::Another, Verdict::Another},
        JudgeRow{"rewritten in the middle only: the whole read tells",
                 [](const fs::path &jpeg, const fs::path &) { overwriteAt(jpeg, 100 * 1024, "edited"); },
                 Verdict::Own, Verdict::Another},
        JudgeRow{"the RAW of the pair replaced",
                 [](const fs::path &, const fs::path &raw) { overwriteAt(raw, 150 * 1024, "another raw"); },
                 Verdict::Another, Verdict::Another}),
    RowName());

// An original that cannot be read right now (its permissions, a card's hiccup) leaves the question open:
// neither the cell's copy nor another's. Root reads through any mode, so the look is made by a child process
// that runs as nobody when the test runs as root.
TEST(CopyProvenance, AnOriginalThatCannotBeReadIsUnknown)
{
    TempTree t;
    const fs::path jpeg = t.file("IMG_1.JPG", std::string(1000, 'j'));
    const fs::path copy
        = t.file("IMG_1_bside.jpg", CopyProvenance::withJpegComment("\xff\xd8\xff\xd9", recordOf({jpeg})));
    fs::permissions(t.root(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(copy, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(jpeg, fs::perms::none);
    const auto judged = [&] {
        return std::to_string(int(CopyProvenance::judge(copy, {jpeg}))) + " "
            + std::to_string(int(CopyProvenance::verify(copy, {jpeg})));
    };
    const std::string unknown = std::to_string(int(Verdict::Unknown));
    EXPECT_EQ(inChild(judged, true), unknown + " " + unknown);
    fs::permissions(jpeg, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(CopyProvenance::judge(copy, {jpeg}), Verdict::Own);
}

// Copies made by earlier versions name one file by its size and head: they keep being judged by those.
TEST(CopyProvenance, LegacyRecordsKeepTheirRule)
{
    TempTree t;
    const fs::path jpeg = t.file("IMG_1.JPG", "the camera's JPEG");
    const fs::path raw = t.file("IMG_1.CR2", "the camera's raw data");
    const auto quick = *CopyProvenance::of(raw);
    const QByteArray legacy = "vorlane-source size=" + QByteArray::number(qint64(quick.size)) + " head64k-sha256="
        + quick.headDigest;
    ASSERT_TRUE(CopyProvenance::fromText(legacy) && CopyProvenance::fromText(legacy)->isLegacy());
    const fs::path copy = t.file("IMG_1_bside.jpg", CopyProvenance::withJpegComment("\xff\xd8\xff\xd9", legacy));
    EXPECT_EQ(CopyProvenance::judge(copy, {jpeg, raw}), Verdict::Own);
    EXPECT_EQ(CopyProvenance::verify(copy, {jpeg, raw}), Verdict::Own);
    t.file("IMG_1.CR2", "The camera's raw data"); // same size, other bytes
    EXPECT_EQ(CopyProvenance::judge(copy, {jpeg, raw}), Verdict::Another);
    t.file("IMG_1_bside.jpg", "\xff\xd8\xff\xd9");
    EXPECT_EQ(CopyProvenance::judge(copy, {jpeg}), Verdict::Unrecorded);
}

} // namespace
