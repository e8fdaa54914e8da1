#include "testsupport/media_maker.h"
#include "testsupport/temp_tree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace vorlane::test;
using namespace Qt::StringLiterals;

namespace {

QString q(const std::filesystem::path &p) { return QString::fromUtf8(p.native().c_str()); }

QJsonObject scanJson(const QStringList &args, int *status)
{
    QByteArray out;
    *status = runTool(QString::fromUtf8(VORLANE_CLI_PATH), QStringList{u"scan"_s} + args, &out);
    return QJsonDocument::fromJson(out).object();
}

TEST(CliScan, ListsCellsWithCopyPaths)
{
    TempTree t;
    const auto dir = t.dir("card");
    t.file("card/IMG_1.JPG", "jpg");
    t.file("card/IMG_1.CR2", "raw!");
    t.file("card/clip.MOV", "v");
    t.file("card/2024/a.jpg", "12345");
    t.file("card/card_bside/IMG_1_bside.jpg", "c");
    int status = 0;
    const QJsonObject j = scanJson({q(dir)}, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(j[u"directory"_s].toString(), q(dir));
    EXPECT_EQ(j[u"currentDirBytes"_s].toInteger(), 8);
    const QJsonArray folders = j[u"folders"_s].toArray();
    ASSERT_EQ(folders.size(), 1);
    EXPECT_EQ(folders[0][u"name"_s].toString(), u"2024"_s);
    EXPECT_EQ(folders[0][u"sizeBytes"_s].toInteger(), 5);

    const QJsonArray cells = j[u"cells"_s].toArray();
    ASSERT_EQ(cells.size(), 2);
    const QJsonObject pair = cells[1].toObject();
    EXPECT_EQ(pair[u"displayName"_s].toString(), u"IMG_1.CR2+JPG"_s);
    EXPECT_TRUE(pair[u"isPair"_s].toBool());
    EXPECT_EQ(pair[u"primary"_s].toString(), q(dir / "IMG_1.JPG"));
    EXPECT_EQ(pair[u"rawFile"_s].toString(), q(dir / "IMG_1.CR2"));
    EXPECT_EQ(pair[u"originals"_s].toArray().size(), 2);
    EXPECT_EQ(pair[u"copyPath"_s].toString(), q(dir / "card_bside" / "IMG_1_bside.jpg"));
    EXPECT_TRUE(pair[u"hasCopy"_s].toBool());
    const QJsonObject clip = cells[0].toObject();
    EXPECT_EQ(clip[u"kind"_s].toString(), u"video"_s);
    EXPECT_TRUE(clip[u"rawFile"_s].isNull());
    EXPECT_FALSE(clip[u"hasCopy"_s].toBool());
    EXPECT_EQ(clip[u"copyPath"_s].toString(), q(dir / "card_bside" / "clip_bside.mp4"));
}

TEST(CliScan, DateSortPutsOldestFirst)
{
    if (!haveTool("convert") || !haveTool("exiftool"))
        GTEST_SKIP() << "ImageMagick and exiftool are needed";
    TempTree t;
    ASSERT_TRUE(makeJpeg(t.root() / "a.jpg", 32, 32, {u"-DateTimeOriginal=2022:01:01 10:00:00"_s}));
    ASSERT_TRUE(makeJpeg(t.root() / "b.jpg", 32, 32, {u"-DateTimeOriginal=2020:01:01 10:00:00"_s}));
    int status = 0;
    const QJsonArray byDate = scanJson({q(t.root()), u"--sort"_s, u"date"_s}, &status)[u"cells"_s].toArray();
    ASSERT_EQ(status, 0);
    ASSERT_EQ(byDate.size(), 2);
    EXPECT_EQ(byDate[0][u"displayName"_s].toString(), u"b.jpg"_s);
    EXPECT_TRUE(byDate[0][u"dateTaken"_s].toString().startsWith(u"2020-01-01T10:00:00"_s));
    const QJsonArray byName = scanJson({q(t.root())}, &status)[u"cells"_s].toArray();
    EXPECT_EQ(byName[0][u"displayName"_s].toString(), u"a.jpg"_s);
}

struct StatusRow
{
    QStringList args;
    int status;
};

TEST(CliScan, ExitStatuses)
{
    TempTree t;
    const std::vector<StatusRow> rows{
        {{}, 2},
        {{q(t.root()), u"--sort"_s}, 2},
        {{q(t.root()), u"--sort"_s, u"size"_s}, 2},
        {{q(t.root()), u"--bogus"_s}, 2},
        {{q(t.root() / "missing")}, 1},
        {{q(t.root())}, 0},
    };
    for (const StatusRow &row : rows) {
        QByteArray out;
        EXPECT_EQ(runTool(QString::fromUtf8(VORLANE_CLI_PATH), QStringList{u"scan"_s} + row.args), row.status)
            << row.args.join(u' ').toStdString();
    }
}

} // namespace
