#include "catalogue/copy_provenance.h"
#include "testsupport/support.h"

#include <sys/stat.h>

#include <fstream>

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;
namespace fs = std::filesystem;

namespace {

void writeBytes(const fs::path &file, const std::string &bytes) { std::ofstream(file, std::ios::binary) << bytes; }

// A copy's record is read back from a JPEG comment and from an MP4's comment tag as the tools write them,
// wherever the index sits; a copy with no record, and whatever else may lie at a copy path, records nothing.
TEST(CopyProvenance, TheRecordIsReadWhereCopiesKeepIt)
{
    if (!haveTool("convert") || !haveTool("ffmpeg"))
        GTEST_SKIP();
    TempTree t;
    const fs::path original = t.file("IMG_0001.JPG", std::string(100'000, 'a') + "tail");
    const auto source = CopyProvenance::of(original);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->size, 100'004);
    EXPECT_EQ(CopyProvenance::fromText(CopyProvenance::toText(*source)), source);

    ASSERT_TRUE(makeJpeg(t.root() / "plain.jpg", 64, 48));
    const std::string plain = readFile(t.root() / "plain.jpg");
    writeBytes(t.root() / "copy.jpg", CopyProvenance::withJpegComment(plain, *source));
    QByteArray comment;
    ASSERT_EQ(runTool(u"exiftool"_s, {u"-b"_s, u"-Comment"_s, qpath(t.root() / "copy.jpg")}, &comment), 0);
    EXPECT_EQ(comment, CopyProvenance::toText(*source));
    EXPECT_EQ(CopyProvenance::recordedIn(t.root() / "copy.jpg"), source);
    EXPECT_FALSE(CopyProvenance::recordedIn(t.root() / "plain.jpg"));

    const QString tag = u"comment="_s + QString::fromLatin1(CopyProvenance::toText(*source));
    for (const char *flags : {"+faststart", "-faststart"}) {
        const fs::path clip = t.root() / (std::string("clip") + flags + ".mp4");
        ASSERT_TRUE(ffmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc=d=0.5:s=160x120"_s, u"-c:v"_s, u"libx264"_s,
                            u"-metadata"_s, tag, u"-movflags"_s, QLatin1StringView(flags)},
                           clip));
        EXPECT_EQ(CopyProvenance::recordedIn(clip), source) << flags;
    }

    // Text that is not a record, and files that are not copies, record nothing and never block.
    for (const char *text : {"vorlane-source size=12", "vorlane-source size=-1 head64k-sha256=00",
                             "another program's comment"})
        EXPECT_FALSE(CopyProvenance::fromText(text)) << text;
    ASSERT_EQ(::mkfifo((t.root() / "fifo_bside.jpg").c_str(), 0600), 0);
    EXPECT_FALSE(CopyProvenance::recordedIn(t.root() / "fifo_bside.jpg"));
    writeBytes(t.root() / "boxes.mp4", std::string("\0\0\0\x10" "ftypisom\0\0\0\0" "\xff\xff\xff\xf0moov", 24));
    EXPECT_FALSE(CopyProvenance::recordedIn(t.root() / "boxes.mp4")) << "a box larger than its file";
}

// Whose copy: the record names one of the cell's originals (by size, then by its head), names another file
// (the same name taken by a new photo, even of the same size), or names none.
TEST(CopyProvenance, AJudgementByTheOriginalsBytes)
{
    TempTree t;
    const fs::path jpeg = t.file("IMG_1.JPG", "the camera's JPEG");
    const fs::path raw = t.file("IMG_1.CR2", "the camera's raw data");
    const fs::path copy = t.root() / "IMG_1_bside.jpg";
    writeBytes(copy, CopyProvenance::withJpegComment("\xff\xd8\xff\xd9", *CopyProvenance::of(raw)));
    EXPECT_EQ(CopyProvenance::judge(copy, {jpeg, raw}), CopyProvenance::Verdict::Own);
    t.file("IMG_1.CR2", "The camera's raw data"); // same size, other bytes
    EXPECT_EQ(CopyProvenance::judge(copy, {jpeg, raw}), CopyProvenance::Verdict::Another);
    fs::remove(raw);
    EXPECT_EQ(CopyProvenance::judge(copy, {jpeg, raw}), CopyProvenance::Verdict::Another);
    writeBytes(copy, "\xff\xd8\xff\xd9");
    EXPECT_EQ(CopyProvenance::judge(copy, {jpeg}), CopyProvenance::Verdict::Unrecorded);
}

} // namespace
