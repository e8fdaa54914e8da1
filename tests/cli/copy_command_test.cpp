#include "testsupport/media_maker.h"
#include "testsupport/temp_tree.h"

#include <gtest/gtest.h>

using namespace vorlane::test;
using namespace Qt::StringLiterals;

namespace {

QString q(const std::filesystem::path &p) { return QString::fromUtf8(p.native().c_str()); }

int copyCommand(const QStringList &args, QByteArray *out, int timeoutMs = 600000)
{
    return runTool(QString::fromUtf8(VORLANE_CLI_PATH), QStringList{u"copy"_s} + args, out, timeoutMs);
}

class CliCopy : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!haveTool("convert") || !haveTool("vipsheader"))
            GTEST_SKIP();
    }
    TempTree t;
};

TEST_F(CliCopy, CopiesCellsLikeMarking)
{
    const auto dir = t.dir("card");
    ASSERT_TRUE(makeJpeg(dir / "IMG_1.JPG", 1950, 1300));
    t.file("card/IMG_1.CR2", "the pair is copied from its JPEG");
    ASSERT_TRUE(makeJpeg(dir / "b.jpg", 800, 600));
    t.file("card/broken.jpg", "not a picture");
    QByteArray out;
    EXPECT_EQ(copyCommand({u"--jobs"_s, u"2"_s, q(dir)}, &out), 1) << "one cell failed";
    const QString text = QString::fromUtf8(out);
    const auto copy = dir / "card_bside" / "IMG_1_bside.jpg";
    EXPECT_TRUE(text.contains(u"ok "_s + q(dir / "IMG_1.JPG") + u" -> "_s + q(copy) + u" 1920x1280 "_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"ok "_s + q(dir / "b.jpg")));
    EXPECT_TRUE(text.contains(u"failed "_s + q(dir / "broken.jpg") + u": "_s));
    EXPECT_EQ(text.count(u'\n'), 3) << "one line per cell";
    EXPECT_FALSE(std::filesystem::exists(dir / "card_bside" / "broken_bside.jpg"));

    QByteArray header;
    ASSERT_EQ(runTool(u"vipsheader"_s, {q(copy)}, &header), 0);
    EXPECT_TRUE(header.contains("1920x1280"));
    EXPECT_LE(std::filesystem::file_size(copy), 204800u);

    EXPECT_EQ(copyCommand({q(dir / "IMG_1.CR2")}, &out), 0);
    EXPECT_TRUE(out.startsWith("exists ")) << "the RAW names its pair's cell";
    const auto before = std::filesystem::last_write_time(copy);
    EXPECT_EQ(copyCommand({u"--force"_s, q(dir / "IMG_1.JPG")}, &out), 0);
    EXPECT_TRUE(out.startsWith("ok "));
    EXPECT_NE(std::filesystem::last_write_time(copy), before);
}

TEST_F(CliCopy, SameStemCellsEachGetTheirOwnCopy)
{
    const auto dir = t.dir("card");
    ASSERT_TRUE(makeJpeg(dir / "photo.jpg", 320, 240));
    ASSERT_EQ(runTool(u"convert"_s, {u"-size"_s, u"200x100"_s, u"xc:red"_s, q(dir / "photo.png")}), 0);
    QByteArray out;
    ASSERT_EQ(copyCommand({q(dir)}, &out), 0) << out.toStdString();
    const QString text = QString::fromUtf8(out);
    EXPECT_TRUE(text.contains(u"ok "_s + q(dir / "photo.jpg") + u" -> "_s + q(dir / "card_bside" / "photo_jpg_bside.jpg")
                              + u" 320x240 "_s))
        << text.toStdString();
    EXPECT_TRUE(text.contains(u"ok "_s + q(dir / "photo.png") + u" -> "_s + q(dir / "card_bside" / "photo_png_bside.jpg")
                              + u" 200x100 "_s))
        << text.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir / "card_bside" / "photo_bside.jpg"));
}

TEST_F(CliCopy, ControlCharactersInNamesArePrintedEscaped)
{
    const auto dir = t.dir("card");
    ASSERT_TRUE(makeJpeg(dir / "two\nlines\\and\ttab.jpg", 64, 48));
    QByteArray out;
    ASSERT_EQ(copyCommand({q(dir)}, &out), 0);
    EXPECT_EQ(out.count('\n'), 1) << "one line per cell: " << out.toStdString();
    EXPECT_TRUE(out.contains("/two\\nlines\\\\and\\ttab.jpg -> ")) << out.toStdString();
    EXPECT_TRUE(std::filesystem::exists(dir / "card_bside" / "two\nlines\\and\ttab_bside.jpg"));
}

// A name as long as a file system allows still leaves room for the copy's hidden temporary name.
TEST_F(CliCopy, LongestNamesCanBeCopied)
{
    const auto dir = t.dir("card");
    const std::string stem(245, 'n'); // the copy "…_bside.jpg" is 255 bytes, its temporary name would be 269
    ASSERT_TRUE(makeJpeg(dir / (stem + ".jpg"), 64, 48));
    QByteArray out;
    EXPECT_EQ(copyCommand({q(dir)}, &out), 0) << out.toStdString();
    EXPECT_TRUE(std::filesystem::exists(dir / "card_bside" / (stem + "_bside.jpg")));
}

// Clips that crash or stall the EXIF library, renamed as stills: listing them finishes at once and dates them
// by the file system; copying them fails with a reason. Nothing may crash, hang or be handed to a still parser.
TEST_F(CliCopy, ClipsRenamedAsStillsFailCleanly)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    const auto dir = t.dir("card");
    int n = 0;
    for (const auto &entry : std::filesystem::directory_iterator(fixtures / "broken" / "exiv2-crash")) {
        ++n;
        for (const char *ext : {"jpg", "CR2", "heic", "png", "tif"})
            std::filesystem::copy_file(entry.path(), dir / ("clip" + std::to_string(n) + "." + ext));
    }
    ASSERT_GT(n, 0);
    QByteArray json;
    ASSERT_EQ(runTool(QString::fromUtf8(VORLANE_CLI_PATH), {u"scan"_s, q(dir)}, &json, 60000), 0);
    EXPECT_EQ(json.count("\"displayName\""), 4 * n) << "a .CR2 pairs with its .heic";

    QByteArray out;
    EXPECT_EQ(copyCommand({q(dir)}, &out, 120000), 1) << out.toStdString();
    const QString text = QString::fromUtf8(out);
    EXPECT_EQ(text.count(u"failed "_s), 4 * n) << text.toStdString();
    EXPECT_EQ(text.count(u"not a picture"_s), 4 * n) << text.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir / "card_bside") && !std::filesystem::is_empty(dir / "card_bside"));
}

TEST_F(CliCopy, UsageAndMissingPaths)
{
    QByteArray out;
    EXPECT_EQ(copyCommand({}, &out), 2);
    EXPECT_EQ(copyCommand({u"--jobs"_s, u"0"_s, q(t.root())}, &out), 2);
    EXPECT_EQ(copyCommand({u"--what"_s, q(t.root())}, &out), 2);
    EXPECT_EQ(copyCommand({q(t.root() / "missing.jpg")}, &out), 1);
    EXPECT_TRUE(out.startsWith("failed "));
    t.file("notes.txt", "x");
    EXPECT_EQ(copyCommand({q(t.root() / "notes.txt")}, &out), 1);
}

} // namespace
