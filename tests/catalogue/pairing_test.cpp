// How files are told apart, ordered and paired: by their names alone.
#include "catalogue/media_classifier.h"
#include "catalogue/natural_order.h"
#include "catalogue/pairing_service.h"

#include <QFile>
#include <QMimeDatabase>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vorlane;

TEST(Classifier, KindAndRawFromTheNameAlone)
{
    // name, kind, RAW
    const std::vector<std::tuple<const char *, std::optional<MediaKind>, bool>> rows{
        {"/d/photo.JPG", MediaKind::Image, false},
        {"/d/photo.Jpg", MediaKind::Image, false},
        {"/d/IMG_1.CR2", MediaKind::Image, true},
        {"/d/IMG_1.x3f", MediaKind::Image, true},
        {"/d/clip.MTS", MediaKind::Video, false},
        {"/d/clip.3gp", MediaKind::Video, false},
        {"/d/notes.txt", std::nullopt, false},
        {"/d/README", std::nullopt, false},
        {"/d/archive.tar.gz", std::nullopt, false},
        {"/d/song.mp3", std::nullopt, false},
        {"/d/.jpg", MediaKind::Image, false},
        // known to the MIME database only: media, never RAW (a CRW is known to it as an image only)
        {"/d/scan.jp2", MediaKind::Image, false},
        {"/d/clip.mkv", MediaKind::Video, false},
        {"/d/clip.MPG", MediaKind::Video, false},
        {"/d/old.crw", MediaKind::Image, false}};
    for (const auto &[name, kind, raw] : rows) {
        EXPECT_EQ(MediaClassifier::classify(name), kind) << name;
        EXPECT_EQ(MediaClassifier::isRaw(name), raw) << name;
    }
}

TEST(NaturalOrder, SortsLikeAFileManagerAndOnlyIdenticalBytesTie)
{
    std::vector<std::string> names{"IMG_10.jpg", "img_1.CR2",   "IMG_2.jpg", "b.jpg",
                                   "A.jpg",      "IMG_100.jpg", "IMG_9.jpg"};
    std::stable_sort(names.begin(), names.end(), [](const auto &a, const auto &b) { return naturalCompare(a, b) < 0; });
    EXPECT_EQ(names,
              (std::vector<std::string>{"A.jpg", "b.jpg", "img_1.CR2", "IMG_2.jpg", "IMG_9.jpg", "IMG_10.jpg",
                                        "IMG_100.jpg"}));
    // Full-width "Ｂ" sorts with "B", after "A" and before "C".
    EXPECT_LT(naturalCompare("A", "\xEF\xBC\xA2"), 0);
    EXPECT_LT(naturalCompare("\xEF\xBC\xA2", "C"), 0);

    EXPECT_EQ(naturalCompare("IMG_1", "IMG_1"), 0);
    // Case and width differences are ignored by the collation but broken by a fixed tie-break.
    EXPECT_NE(naturalCompare("IMG_1", "img_1"), 0);
    EXPECT_EQ(naturalCompare("IMG_1", "img_1"), -naturalCompare("img_1", "IMG_1"));
    EXPECT_NE(naturalCompare("\xEF\xBC\xA1", "A"), 0); // full-width A
    EXPECT_NE(naturalCompare("\xff.jpg", "\xfe.jpg"), 0) << "names that are not UTF-8 decode alike but stay distinct";
}

namespace {

// Items of files that do not exist, in name order: pairing never touches the disk, and every date is the
// distant past.
QList<MediaItem> items(std::vector<std::string> names)
{
    std::stable_sort(names.begin(), names.end(), [](const auto &a, const auto &b) { return naturalCompare(a, b) < 0; });
    QList<MediaItem> list;
    for (const std::string &n : names) {
        const std::filesystem::path p = "/nonexistent/dir/" + n;
        list.append(MediaItem(p, *MediaClassifier::classify(p), MediaClassifier::isRaw(p)));
    }
    return list;
}

// Each cell as "name" for singles and "image+raw" for pairs: the image is a pair's primary file and comes
// first among its originals.
std::vector<std::string> shapes(const QList<MediaPair> &pairs)
{
    std::vector<std::string> out;
    for (const MediaPair &p : pairs)
        out.push_back(p.isPair() ? p.imageItem()->path.filename().native() + "+" + p.rawItem()->path.filename().native()
                                 : p.soloItem()->path.filename().native());
    return out;
}

using Names = std::vector<std::string>;

TEST(Pairing, CellsInOrder)
{
    const std::vector<std::pair<Names, Names>> rows{
        {{"IMG_1.CR2", "IMG_1.JPG"}, {"IMG_1.JPG+IMG_1.CR2"}},
        {{"IMG_2.CR2"}, {"IMG_2.CR2"}},
        {{"IMG_4.HEIC", "IMG_4.DNG"}, {"IMG_4.HEIC+IMG_4.DNG"}},
        {{"IMG_5.MOV", "IMG_5.JPG"}, {"IMG_5.MOV", "IMG_5.JPG"}},
        {{"IMG_5.MOV", "IMG_5.JPG", "IMG_5.CR2"}, {"IMG_5.MOV", "IMG_5.JPG", "IMG_5.CR2"}},
        {{"IMG_6.JPG", "IMG_6.PNG", "IMG_6.NEF"}, {"IMG_6.JPG+IMG_6.NEF", "IMG_6.PNG"}},
        {{"IMG_7.CR2", "IMG_7.CR3", "IMG_7.JPG"}, {"IMG_7.JPG+IMG_7.CR2", "IMG_7.CR3"}},
        {{"IMG_1.jpeg", "IMG_1.jpg", "IMG_1.CR2"}, {"IMG_1.jpeg+IMG_1.CR2", "IMG_1.jpg"}},
        {{"IMG_8.CR2", "img_8.jpg"}, {"IMG_8.CR2", "img_8.jpg"}}, // stems match by their exact bytes
        {{"a.b.jpg", "a.c.CR2"}, {"a.b.jpg", "a.c.CR2"}},         // a stem ends at the last dot
        {{}, {}},
        {{"IMG_10.jpg", "IMG_2.jpg", "IMG_1.jpg"}, {"IMG_1.jpg", "IMG_2.jpg", "IMG_10.jpg"}}};
    for (const auto &[files, cells] : rows)
        EXPECT_EQ(shapes(PairingService::pair(items(files))), cells) << ::testing::PrintToString(files);
}

} // namespace

// The launcher entry offers Vorlane for every type the scanner lists by name (as shared-mime-info names the
// type of each extension), so "Open with" shows it for each of them.
TEST(Classifier, TheLauncherEntryNamesEveryListedType)
{
    QFile desktop(QStringLiteral(VORLANE_SOURCE_DIR "/packaging/app.vorlane.Vorlane.desktop"));
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly));
    QStringList offered;
    for (const QByteArray &line : desktop.readAll().split('\n')) {
        if (line.startsWith("MimeType="))
            offered = QString::fromUtf8(line.mid(9)).split(u';', Qt::SkipEmptyParts);
    }
    ASSERT_TRUE(offered.contains(QStringLiteral("inode/directory")));
    const QMimeDatabase db;
    for (const QString &extension : MediaClassifier::namedExtensions()) {
        const QMimeType type = db.mimeTypeForFile(QStringLiteral("x.") + extension, QMimeDatabase::MatchExtension);
        if (type.isDefault())
            continue; // a type shared-mime-info does not know cannot be named
        const QStringList names = QStringList{type.name()} + type.aliases();
        EXPECT_TRUE(std::any_of(names.begin(), names.end(), [&](const QString &n) { return offered.contains(n); }))
            << extension.toStdString() << " (" << type.name().toStdString() << ")";
    }
}
