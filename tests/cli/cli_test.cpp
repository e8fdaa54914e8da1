#include "testsupport/support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

#include <map>
#include <set>

using namespace vorlane::test;
using namespace Qt::StringLiterals;
namespace fs = std::filesystem;

namespace {

int cli(const QStringList &args, QByteArray *out = nullptr, int timeoutMs = 600000)
{
    return runTool(QString::fromUtf8(VORLANE_CLI_PATH), args, out, timeoutMs);
}

int copyCommand(const QStringList &args, QByteArray *out, int timeoutMs = 600000)
{
    return cli(QStringList{u"copy"_s} + args, out, timeoutMs);
}

class CliCopy : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(haveTool("convert"));
    }
    TempTree t;
    std::filesystem::path dir = t.dir("card");
};

TEST_F(CliCopy, CopiesCellsLikeMarking)
{
    ASSERT_TRUE(makeJpeg(dir / "IMG_1.JPG", 1950, 1300));
    t.file("card/IMG_1.CR2", "the pair is copied from its JPEG");
    ASSERT_TRUE(makeJpeg(dir / "b.jpg", 800, 600));
    t.file("card/broken.jpg", "not a picture");
    QByteArray out;
    EXPECT_EQ(copyCommand({u"--jobs"_s, u"2"_s, qpath(dir)}, &out), 1) << "one cell failed";
    const QString text = QString::fromUtf8(out);
    const auto copy = dir / "card_bside" / "IMG_1_bside.jpg";
    EXPECT_TRUE(text.contains(u"ok "_s + qpath(dir / "IMG_1.JPG") + u" -> "_s + qpath(copy) + u" 1920x1280 "_s))
        << text.toStdString();
    EXPECT_TRUE(text.contains(u"ok "_s + qpath(dir / "b.jpg")));
    EXPECT_TRUE(text.contains(u"failed "_s + qpath(dir / "broken.jpg") + u": "_s));
    EXPECT_EQ(text.count(u'\n'), 3) << "one line per cell";
    EXPECT_FALSE(std::filesystem::exists(dir / "card_bside" / "broken_bside.jpg"));
    EXPECT_EQ(copyCommand({qpath(dir / "IMG_1.CR2")}, &out), 0);
    EXPECT_TRUE(out.startsWith("exists ")) << "the RAW names its pair's cell";
    const auto before = std::filesystem::last_write_time(copy);
    EXPECT_EQ(copyCommand({u"--force"_s, qpath(dir / "IMG_1.JPG")}, &out), 0);
    EXPECT_TRUE(out.startsWith("ok "));
    EXPECT_NE(std::filesystem::last_write_time(copy), before);
}

// Same-stem cells each get a copy of their own; a name with control characters is printed escaped on one
// line; a name as long as a file system allows still leaves room for the copy's hidden temporary name.
TEST_F(CliCopy, AwkwardNamesEachGetTheirOwnCopy)
{
    const std::string longStem(245, 'n'); // the copy "…_bside.jpg" is 255 bytes, its temporary name would be 269
    ASSERT_TRUE(makeJpeg(dir / "photo.jpg", 320, 240));
    ASSERT_TRUE(magick({u"-size"_s, u"200x100"_s, u"xc:red"_s}, dir / "photo.png"));
    ASSERT_TRUE(makeJpeg(dir / "two\nlines\\and\ttab.jpg", 64, 48));
    ASSERT_TRUE(makeJpeg(dir / (longStem + ".jpg"), 64, 48));
    QByteArray out;
    ASSERT_EQ(copyCommand({qpath(dir)}, &out), 0) << out.toStdString();
    const QString text = QString::fromUtf8(out);
    EXPECT_EQ(text.count(u'\n'), 4) << "one line per cell: " << out.toStdString();
    for (const auto &[file, copy, size] : {std::tuple{"photo.jpg", "photo_jpg_bside.jpg", " 320x240 "},
                                           std::tuple{"photo.png", "photo_png_bside.jpg", " 200x100 "}})
        EXPECT_TRUE(text.contains(u"ok "_s + qpath(dir / file) + u" -> "_s + qpath(dir / "card_bside" / copy)
                                  + QLatin1StringView(size)))
            << text.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir / "card_bside" / "photo_bside.jpg"));
    EXPECT_TRUE(out.contains("/two\\nlines\\\\and\\ttab.jpg -> ")) << out.toStdString();
    EXPECT_TRUE(std::filesystem::exists(dir / "card_bside" / "two\nlines\\and\ttab_bside.jpg"));
    EXPECT_TRUE(std::filesystem::exists(dir / "card_bside" / (longStem + "_bside.jpg")));
}

// Clips that crash or stall the EXIF library, renamed as stills: listing them finishes at once and dates them
// by the file system; copying them fails with a reason. Nothing may crash, hang or be handed to a still parser.
TEST_F(CliCopy, ClipsRenamedAsStillsFailCleanly)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    int n = 0;
    for (const auto &entry : std::filesystem::directory_iterator(fixtures / "broken" / "exiv2-crash")) {
        ++n;
        for (const char *ext : {"jpg", "CR2", "heic", "png", "tif"})
            std::filesystem::copy_file(entry.path(), dir / ("clip" + std::to_string(n) + "." + ext));
    }
    ASSERT_GT(n, 0);
    QByteArray json;
    ASSERT_EQ(cli({u"scan"_s, qpath(dir)}, &json, 60000), 0);
    EXPECT_EQ(json.count("\"displayName\""), 4 * n) << "a .CR2 pairs with its .heic";

    QByteArray out;
    EXPECT_EQ(copyCommand({qpath(dir)}, &out, 120000), 1) << out.toStdString();
    EXPECT_EQ(out.count("failed "), 4 * n) << out.toStdString();
    EXPECT_EQ(out.count("not a picture"), 4 * n) << out.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir / "card_bside") && !std::filesystem::is_empty(dir / "card_bside"));
}

// What `scan` prints for a folder, read as JSON.
QJsonObject scan(const fs::path &dir)
{
    QByteArray out;
    EXPECT_EQ(cli({u"scan"_s, qpath(dir)}, &out), 0) << out.toStdString();
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
    const QJsonObject j = scan(dir);
    EXPECT_EQ(j[u"directory"_s].toString(), qpath(dir));
    EXPECT_EQ(j[u"currentDirBytes"_s].toInteger(), 8);
    const QJsonArray folders = j[u"folders"_s].toArray();
    ASSERT_EQ(folders.size(), 1);
    EXPECT_EQ(folders[0][u"name"_s].toString(), u"2024"_s);
    EXPECT_EQ(folders[0][u"sizeBytes"_s].toInteger(), 5);

    const QJsonArray cells = j[u"cells"_s].toArray();
    ASSERT_EQ(cells.size(), 2);
    const QJsonObject clip = cells[0].toObject(), pair = cells[1].toObject();
    EXPECT_EQ(pair[u"displayName"_s].toString(), u"IMG_1.CR2+JPG"_s);
    EXPECT_TRUE(pair[u"isPair"_s].toBool());
    EXPECT_EQ(pair[u"primary"_s].toString(), qpath(dir / "IMG_1.JPG"));
    EXPECT_EQ(pair[u"rawFile"_s].toString(), qpath(dir / "IMG_1.CR2"));
    EXPECT_EQ(pair[u"originals"_s].toArray().size(), 2);
    EXPECT_EQ(pair[u"copyPath"_s].toString(), qpath(dir / "card_bside" / "IMG_1_bside.jpg"));
    EXPECT_TRUE(pair[u"hasCopy"_s].toBool());
    EXPECT_EQ(clip[u"kind"_s].toString(), u"video"_s);
    EXPECT_TRUE(clip[u"rawFile"_s].isNull());
    EXPECT_FALSE(clip[u"hasCopy"_s].toBool());
    EXPECT_EQ(clip[u"copyPath"_s].toString(), qpath(dir / "card_bside" / "clip_bside.mp4"));
}

// A pair's copy records both its files: the scan counts the copy as the cell's only while every original is
// still what the copy records, and finds the record behind a photo tool's XMP. A photo that took the name of
// one whose copy is still there (a camera counting past 9999): the scan says the copy is another file's, and
// copy makes the new photo's own while the other one's moves aside. (How a file under a reused name is told
// from the one copied is CopyProvenance's, tested with it.)
TEST_F(CliCopy, ACopyIsTheCellsOnlyWhileItsOriginalsAreTheOnesCopied)
{
    ASSERT_TRUE(makeJpeg(dir / "IMG_1.JPG", 640, 480));
    t.file("card/IMG_1.CR2", std::string(200'000, 'r'));
    QByteArray out;
    ASSERT_EQ(copyCommand({qpath(dir)}, &out), 0) << out.toStdString();
    const auto cell = [&] {
        const QJsonObject first = scan(dir)[u"cells"_s].toArray()[0].toObject();
        EXPECT_EQ(first[u"displayName"_s].toString(), u"IMG_1.CR2+JPG"_s);
        return first;
    };
    ASSERT_TRUE(cell()[u"hasCopy"_s].toBool());
    const fs::path copy = dir / "card_bside" / "IMG_1_bside.jpg";
    ASSERT_EQ(runTool(u"exiftool"_s,
                      {u"-overwrite_original"_s, u"-XMP-dc:Description="_s + QString(20000, u'x'), qpath(copy)}),
              0);
    EXPECT_TRUE(cell()[u"hasCopy"_s].toBool()) << "the record is found behind 20 KB of XMP";

    const std::string first = readFile(copy);
    ASSERT_TRUE(magick({u"-size"_s, u"640x480"_s, u"gradient:green-yellow"_s}, dir / "IMG_1.JPG"));
    const QJsonObject reused = cell();
    EXPECT_FALSE(reused[u"hasCopy"_s].toBool());
    EXPECT_TRUE(reused[u"copyOfAnotherFile"_s].toBool());
    ASSERT_EQ(copyCommand({qpath(dir)}, &out), 0);
    EXPECT_TRUE(out.startsWith("ok ")) << out.toStdString();
    EXPECT_EQ(readFile(dir / "card_bside" / "IMG_1_bside-earlier.jpg"), first);
    EXPECT_TRUE(cell()[u"hasCopy"_s].toBool());

    t.file("card/IMG_1.CR2", std::string(100'000, 'r') + std::string(100'000, 'R'));
    EXPECT_FALSE(cell()[u"hasCopy"_s].toBool()) << "the RAW of the pair was replaced";
}

// An original that cannot be read right now leaves its copy's owner unknown: no copy of its own, and not
// another file's either. Root reads through any mode, so the scan runs as nobody.
TEST_F(CliCopy, AnUnreadableOriginalIsUnknown)
{
    ASSERT_TRUE(makeJpeg(dir / "IMG_1.JPG", 64, 48));
    QByteArray out;
    ASSERT_EQ(copyCommand({qpath(dir)}, &out), 0) << out.toStdString();
    for (fs::path p = dir; p != t.root().parent_path(); p = p.parent_path())
        fs::permissions(p, fs::perms::others_exec | fs::perms::others_read, fs::perm_options::add);
    fs::permissions(dir / "card_bside" / "IMG_1_bside.jpg", fs::perms::others_read, fs::perm_options::add);
    fs::permissions(dir / "IMG_1.JPG", fs::perms::none);
    const QStringList asNobody{u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s};
    const QStringList scanArgs{QString::fromUtf8(VORLANE_CLI_PATH), u"scan"_s, qpath(dir)};
    const int status = ::geteuid() == 0 ? runTool(u"setpriv"_s, asNobody + scanArgs, &out)
                                        : runTool(scanArgs.first(), scanArgs.mid(1), &out);
    ASSERT_EQ(status, 0) << out.toStdString();
    const QJsonObject cell = QJsonDocument::fromJson(out).object()[u"cells"_s].toArray()[0].toObject();
    EXPECT_EQ(cell[u"copyState"_s].toString(), u"unknown"_s);
    EXPECT_FALSE(cell[u"hasCopy"_s].toBool());
    EXPECT_FALSE(cell[u"copyOfAnotherFile"_s].toBool());
}

TEST_F(CliCopy, UsageErrorsAndMissingPaths)
{
    QByteArray out;
    const QString root = qpath(t.root());
    for (const QStringList &usage : {QStringList{}, {u"--jobs"_s, u"0"_s, root}, {u"--what"_s, root}})
        EXPECT_EQ(copyCommand(usage, &out), 2) << usage.join(u' ').toStdString();
    EXPECT_EQ(copyCommand({qpath(dir / "missing.jpg")}, &out), 1);
    EXPECT_TRUE(out.startsWith("failed "));
    EXPECT_EQ(copyCommand({qpath(t.file("card/notes.txt", "x"))}, &out), 1);
    const std::vector<std::pair<QStringList, int>> listings{{{}, 2},
                                                            {{root, u"--sort"_s}, 2},
                                                            {{root, u"--sort"_s, u"size"_s}, 2},
                                                            {{root, u"--bogus"_s}, 2},
                                                            {{qpath(t.root() / "missing")}, 1},
                                                            {{root}, 0}};
    for (const QString &command : {u"scan"_s, u"groups"_s}) {
        for (const auto &[args, status] : listings)
            EXPECT_EQ(cli(QStringList{command} + args, &out), status)
                << (command + u' ' + args.join(u' ')).toStdString();
    }
}

// Labelled sets made from the corpus's photos, NAME GROUP SHARPEST a line:
// - make_bursts.sh: seven bursts of shaken, blurred, noisy and darker frames with sub-second times, each
//   followed by another scene a second later or the same scene ten minutes later;
// - make_handheld.sh: twelve scenes shot by hand one after the other with no pause, the framing moved by up
//   to 15 % and zoomed between frames: sharp, defocused and motion-blurred triplets, pans with a twin a stop
//   darker, exposure steps.
// Every burst is one group, no two scenes share one, and the sharp frame of each burst (darker, noisy,
// reframed, or beside its darker twin) is its best.
TEST(CliGroups, LabelledBurstsAreGroupedAndTheirSharpestPicked)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    VORLANE_REQUIRE_TOOLS("convert", "exiftool", "vips");
    for (const auto &[script, bursts] : {std::pair{"make_bursts.sh", 7}, {"make_handheld.sh", 12}}) {
        SCOPED_TRACE(script);
        TempTree t;
        ASSERT_EQ(runTool(u"bash"_s, {QStringLiteral(VORLANE_SOURCE_DIR "/tests/testsupport/") + QLatin1String(script),
                                      qpath(fixtures), qpath(t.root()), u"1200"_s}),
                  0);
        const QList<QByteArray> labels = QByteArray::fromStdString(readFile(t.root() / "labels.txt")).trimmed().split('\n');
        QByteArray out;
        ASSERT_EQ(cli({u"groups"_s, qpath(t.root())}, &out), 0);
        const QList<QByteArray> lines = out.trimmed().split('\n');
        ASSERT_EQ(lines.size(), labels.size());
        std::vector<QJsonObject> cells;
        std::map<int, int> groupOfLabel, groupSize; // labelled group -> the group printed for it; printed -> its cells
        std::set<int> printedGroups;
        int sharpestPicked = 0, sharpest = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QJsonObject cell = cells.emplace_back(QJsonDocument::fromJson(lines[i]).object());
            const QList<QByteArray> label = labels[i].split(' ');
            SCOPED_TRACE(lines[i].toStdString());
            ASSERT_EQ(cell[u"cell"_s].toString(), QString::fromUtf8(label[0]));
            const int labelled = label[1].toInt(), printed = cell[u"group"_s].toInt();
            const auto [it, fresh] = groupOfLabel.emplace(labelled, printed);
            EXPECT_EQ(it->second, printed) << "a burst split";
            EXPECT_TRUE(!fresh || printedGroups.insert(printed).second) << "two scenes merged";
            EXPECT_TRUE(cell[u"sharpness"_s].isDouble() && cell[u"exposure"_s].isDouble());
            ++groupSize[printed];
            if (label[2] == "1") {
                ++sharpest;
                sharpestPicked += cell[u"best"_s].toBool();
            }
        }
        EXPECT_EQ(sharpest, bursts);
        EXPECT_EQ(sharpestPicked, bursts) << "the sharp frame of every burst is its best";
        for (const QJsonObject &cell : cells)
            EXPECT_FALSE(groupSize[cell[u"group"_s].toInt()] == 1 && cell[u"best"_s].toBool()) << "a cell alone is no best";
    }
}

// Photos copied together carry file times a millisecond apart; without a camera's date they are no burst,
// however alike they look.
TEST(CliGroups, IdenticalPhotosWithoutACameraDateStayApart)
{
    VORLANE_REQUIRE_TOOLS("convert");
    TempTree t;
    const auto first = t.root() / "IMG_0001.JPG";
    ASSERT_TRUE(magick({u"-size"_s, u"320x240"_s, u"gradient:red-blue"_s, u"-strip"_s}, first));
    for (const char *name : {"IMG_0002.JPG", "IMG_0003.JPG", "IMG_0004.JPG"})
        std::filesystem::copy_file(first, t.root() / name);
    QByteArray out;
    ASSERT_EQ(cli({u"groups"_s, qpath(t.root())}, &out), 0);
    std::set<int> groups;
    for (const QByteArray &line : out.trimmed().split('\n'))
        groups.insert(QJsonDocument::fromJson(line).object()[u"group"_s].toInt());
    EXPECT_EQ(groups.size(), 4u) << out.toStdString();
}


// Both programs answer --help and --version on stdout and succeed with no display at all (over SSH), and turn
// down what they do not know with status 2, before a window could open.
TEST(CommandLine, HelpAndVersionNeedNoDisplay)
{
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        unsetenv(variable);
    // the program, its arguments, its status, how its standard output starts
    const std::vector<std::tuple<const char *, QStringList, int, const char *>> rows{
        {VORLANE_APP_PATH, {u"--help"_s}, 0, "Usage: vorlane [FOLDER | FILE]"},
        {VORLANE_APP_PATH, {u"-V"_s}, 0, "vorlane 0."},
        {VORLANE_APP_PATH, {u"--bogus"_s}, 2, ""},
        {VORLANE_APP_PATH, {u"a"_s, u"b"_s}, 2, ""},
        {VORLANE_APP_PATH, {u"-platform"_s}, 2, ""},
        {VORLANE_CLI_PATH, {u"--help"_s}, 0, "Usage: vorlane-cli scan"},
        {VORLANE_CLI_PATH, {u"--version"_s}, 0, "vorlane-cli 0."},
        {VORLANE_CLI_PATH, {u"frob"_s}, 2, ""}};
    for (const auto &[program, args, status, stdoutStart] : rows) {
        const std::string call = std::string(program) + " " + args.join(u' ').toStdString();
        QByteArray out;
        EXPECT_EQ(runTool(QString::fromUtf8(program), args, &out, 30000), status) << call;
        EXPECT_TRUE(out.startsWith(stdoutStart)) << call << ": " << out.toStdString();
    }
}

// vorlane-cli rate writes what the keys write, for every file of the cell, never into an original; scan reads
// sidecars it did not write, in both naming styles, before what a photo records itself.
TEST(CliRate, SidecarsForEveryFileOfTheCellAndReadBack)
{
    VORLANE_REQUIRE_TOOLS("convert", "exiftool");
    TempTree t;
    const auto dir = t.dir("card");
    ASSERT_TRUE(makeJpeg(dir / "IMG_1.JPG", 64, 48));
    t.file("card/IMG_1.CR2", "raw bytes");
    ASSERT_TRUE(makeJpeg(dir / "IMG_2.JPG", 64, 48, {u"-XMP-xmp:Rating=2"_s}));
    ASSERT_TRUE(makeJpeg(dir / "IMG_3.JPG", 64, 48, {u"-XMP-xmp:Rating=2"_s}));
    t.file("card/IMG_3.xmp", R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><rdf:Description rdf:about="" xmlns:xmp="http://ns.adobe.com/xap/1.0/" xmp:Label="blue"/></rdf:RDF></x:xmpmeta>)");
    const std::string jpeg = readFile(dir / "IMG_1.JPG");

    QByteArray out;
    EXPECT_EQ(cli({u"rate"_s, u"--stars"_s, u"4"_s, u"--label"_s, u"red"_s, qpath(dir / "IMG_1.CR2")}, &out),
              0)
        << out.toStdString();
    for (const char *sidecar : {"IMG_1.JPG.xmp", "IMG_1.CR2.xmp"}) {
        QByteArray tags;
        runTool(u"exiftool"_s, {u"-j"_s, u"-Rating"_s, u"-Label"_s, qpath(dir / sidecar)}, &tags);
        const QJsonObject read = QJsonDocument::fromJson(tags).array().at(0).toObject();
        EXPECT_EQ(read[u"Rating"_s].toInt(), 4) << sidecar;
        EXPECT_EQ(read[u"Label"_s].toString(), u"Red"_s) << sidecar;
    }
    EXPECT_EQ(readFile(dir / "IMG_1.JPG"), jpeg) << "the original is never written";
    EXPECT_EQ(readFile(dir / "IMG_1.CR2"), "raw bytes");
    EXPECT_NE(cli({u"rate"_s, u"--stars"_s, u"9"_s, qpath(dir / "IMG_2.JPG")}), 0);

    t.file("card/IMG_3.JPG.xmp", "not xmp at all");
    const QJsonArray cells = scan(dir)[u"cells"_s].toArray();
    ASSERT_EQ(cells.size(), 3);
    const auto cell = [&](int i, const char *key) { return cells.at(i).toObject().value(QLatin1String(key)); };
    EXPECT_EQ(cell(0, "rating").toInt(), 4);
    EXPECT_EQ(cell(0, "label").toString(), u"red"_s);
    EXPECT_EQ(cell(1, "rating").toInt(), 2) << "the photo's own XMP when no sidecar says otherwise";
    EXPECT_EQ(cell(2, "label").toString(), u"blue"_s) << "past a broken NAME.EXT.xmp, the STEM.xmp";
    EXPECT_EQ(cell(2, "rating").toInt(), 0) << "a sidecar's decision wins whole over the photo's own";
    EXPECT_TRUE(cell(2, "sidecarProblem").toString().contains(u"IMG_3.JPG.xmp"_s));
}

TEST(CliInfo, SizeHistogramAndPointsOfEachFile)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    TempTree tree;
    const auto jpeg = tree.dir("t") / "grey.jpg";
    // Half black, half white: the luma has two peaks, the rest empty.
    ASSERT_TRUE(magick({u"-size"_s, u"64x48"_s, u"xc:black"_s, u"-size"_s, u"64x48"_s, u"xc:white"_s,
                              u"+append"_s},
                             jpeg));
    const auto clip = tree.file("t/clip.jpg", readFile(fixtures / "videos" / "fixture-raw.mts"));
    QByteArray out;
    const int status = cli({u"info"_s, qpath(jpeg),
                                      qpath(fixtures / "formats/cr3/CanonRaw.cr3"), qpath(clip)},
                                     &out);
    EXPECT_EQ(status, 1); // the clip named .jpg is not read as a picture
    const QList<QByteArray> lines = out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3);
    const QJsonObject grey = QJsonDocument::fromJson(lines[0]).object();
    EXPECT_EQ(grey[u"width"_s].toInt(), 128);
    EXPECT_EQ(grey[u"height"_s].toInt(), 48);
    const QJsonArray luma = grey[u"histogram"_s][u"luma"_s].toArray();
    ASSERT_EQ(luma.size(), 256);
    EXPECT_GT(luma[0].toInteger() + luma[1].toInteger() + luma[2].toInteger(), 2800);
    EXPECT_GT(luma[255].toInteger() + luma[254].toInteger() + luma[253].toInteger(), 2800);
    EXPECT_EQ(grey[u"afPoints"_s].toArray().size(), 0);
    // A RAW with no picture of its own to decode still tells its points.
    const QJsonObject raw = QJsonDocument::fromJson(lines[1]).object();
    EXPECT_GT(raw[u"width"_s].toInt(), raw[u"height"_s].toInt());
    const QJsonObject point = raw[u"afPoints"_s].toArray().at(0).toObject();
    EXPECT_NEAR(point[u"x"_s].toDouble(), 0.565, 0.005);
    EXPECT_TRUE(point[u"inFocus"_s].toBool());
    EXPECT_TRUE(QJsonDocument::fromJson(lines[2]).object().contains(u"error"_s));
}

} // namespace
