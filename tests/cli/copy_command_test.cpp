#include "testsupport/media_maker.h"
#include "testsupport/temp_tree.h"

#include <gtest/gtest.h>

using namespace vorlane::test;
using namespace Qt::StringLiterals;

namespace {

QString q(const std::filesystem::path &p) { return QString::fromUtf8(p.native().c_str()); }

int copyCommand(const QStringList &args, QByteArray *out)
{
    return runTool(QString::fromUtf8(VORLANE_CLI_PATH), QStringList{u"copy"_s} + args, out);
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
