#include "catalogue/media_classifier.h"
#include "catalogue/natural_order.h"
#include "catalogue/pairing_service.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vorlane;

namespace {

// Items of files that do not exist: pairing never touches the disk, and dates fall back to the distant past.
QList<MediaItem> items(std::vector<std::string> names)
{
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string &a, const std::string &b) { return naturalCompare(a, b) < 0; });
    QList<MediaItem> list;
    for (const std::string &n : names) {
        const std::filesystem::path p = "/nonexistent/dir/" + n;
        list.append(MediaItem(p, *MediaClassifier::classify(p), MediaClassifier::isRaw(p)));
    }
    return list;
}

// Each cell as "name" for singles and "jpg+raw" for pairs.
std::vector<std::string> shapes(const QList<MediaPair> &pairs)
{
    std::vector<std::string> out;
    for (const MediaPair &p : pairs) {
        if (p.isPair())
            out.push_back(p.imageItem()->path.filename().native() + "+" + p.rawItem()->path.filename().native());
        else
            out.push_back(p.soloItem()->path.filename().native());
    }
    return out;
}

struct PairRow
{
    std::vector<std::string> files;
    std::vector<std::string> cells;
};

void PrintTo(const PairRow &row, std::ostream *os)
{
    for (const auto &f : row.files)
        *os << f << ' ';
}

class PairingShapes : public ::testing::TestWithParam<PairRow>
{
};

TEST_P(PairingShapes, CellsInOrder) { EXPECT_EQ(shapes(PairingService::pair(items(GetParam().files))), GetParam().cells); }

INSTANTIATE_TEST_SUITE_P(
    Rows, PairingShapes,
    ::testing::Values(PairRow{{"IMG_1.CR2", "IMG_1.JPG"}, {"IMG_1.JPG+IMG_1.CR2"}},
                      PairRow{{"IMG_2.CR2"}, {"IMG_2.CR2"}},
                      PairRow{{"IMG_4.HEIC", "IMG_4.DNG"}, {"IMG_4.HEIC+IMG_4.DNG"}},
                      PairRow{{"IMG_5.MOV", "IMG_5.JPG"}, {"IMG_5.MOV", "IMG_5.JPG"}},
                      PairRow{{"IMG_5.MOV", "IMG_5.JPG", "IMG_5.CR2"}, {"IMG_5.MOV", "IMG_5.JPG", "IMG_5.CR2"}},
                      PairRow{{"IMG_6.JPG", "IMG_6.PNG", "IMG_6.NEF"}, {"IMG_6.JPG+IMG_6.NEF", "IMG_6.PNG"}},
                      PairRow{{"IMG_7.CR2", "IMG_7.CR3", "IMG_7.JPG"}, {"IMG_7.JPG+IMG_7.CR2", "IMG_7.CR3"}},
                      PairRow{{"IMG_1.jpeg", "IMG_1.jpg", "IMG_1.CR2"}, {"IMG_1.jpeg+IMG_1.CR2", "IMG_1.jpg"}},
                      PairRow{{"IMG_8.CR2", "img_8.jpg"}, {"IMG_8.CR2", "img_8.jpg"}},
                      PairRow{{}, {}},
                      PairRow{{"IMG_10.jpg", "IMG_2.jpg", "IMG_1.jpg"}, {"IMG_1.jpg", "IMG_2.jpg", "IMG_10.jpg"}}));

TEST(MediaPair, PairProperties)
{
    const QList<MediaPair> pairs = PairingService::pair(items({"IMG_1.CR2", "IMG_1.JPG"}));
    ASSERT_EQ(pairs.size(), 1);
    const MediaPair &p = pairs.first();
    EXPECT_EQ(p.displayName().toStdString(), "IMG_1.CR2+JPG");
    EXPECT_EQ(p.primary().path.filename(), "IMG_1.JPG");
    ASSERT_EQ(p.allOriginals().size(), 2);
    EXPECT_EQ(p.allOriginals()[0].path.filename(), "IMG_1.JPG");
    EXPECT_EQ(p.allOriginals()[1].path.filename(), "IMG_1.CR2");
    EXPECT_EQ(p.rawFile()->path.filename(), "IMG_1.CR2");
    EXPECT_FALSE(p.isVideo());
}

TEST(MediaItem, StemsAndIdentity)
{
    const MediaItem a("/x/a.b.jpg", MediaKind::Image, false);
    const MediaItem b("/x/a.b.jpg", MediaKind::Image, false);
    EXPECT_EQ(a.stemKey, "a.b");
    EXPECT_NE(a, b);
    EXPECT_EQ(a.stemKey, b.stemKey);
    EXPECT_EQ(a.dateTaken, b.dateTaken);
    EXPECT_EQ(MediaItem("/x/README", MediaKind::Image, false).stemKey, "README");
    EXPECT_NE(MediaItem("/x/IMG_1.CR2", MediaKind::Image, true).stemKey,
              MediaItem("/x/img_1.jpg", MediaKind::Image, false).stemKey);
}

TEST(Pairing, DateSortIsStable)
{
    // All dates equal (distant past): the date sort must keep name order.
    QList<MediaPair> pairs = PairingService::pair(items({"c.jpg", "a.jpg", "b.jpg"}));
    PairingService::sortByDate(pairs);
    EXPECT_EQ(shapes(pairs), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
}

} // namespace
