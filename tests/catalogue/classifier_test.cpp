#include "catalogue/media_classifier.h"

#include <gtest/gtest.h>

using namespace vorlane;

namespace {

struct ClassifyRow
{
    const char *name;
    std::optional<MediaKind> kind;
    bool raw;
};

void PrintTo(const ClassifyRow &row, std::ostream *os) { *os << row.name; }

class ClassifyTest : public ::testing::TestWithParam<ClassifyRow>
{
};

TEST_P(ClassifyTest, KindAndRawFromNameAlone)
{
    const ClassifyRow &row = GetParam();
    EXPECT_EQ(MediaClassifier::classify(row.name), row.kind) << row.name;
    EXPECT_EQ(MediaClassifier::isRaw(row.name), row.raw) << row.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, ClassifyTest,
    ::testing::Values(ClassifyRow{"/d/photo.JPG", MediaKind::Image, false},
                      ClassifyRow{"/d/photo.Jpg", MediaKind::Image, false},
                      ClassifyRow{"/d/photo.jpg", MediaKind::Image, false},
                      ClassifyRow{"/d/IMG_1.CR2", MediaKind::Image, true},
                      ClassifyRow{"/d/IMG_1.x3f", MediaKind::Image, true},
                      ClassifyRow{"/d/clip.MTS", MediaKind::Video, false},
                      ClassifyRow{"/d/clip.3gp", MediaKind::Video, false},
                      ClassifyRow{"/d/notes.txt", std::nullopt, false},
                      ClassifyRow{"/d/README", std::nullopt, false},
                      ClassifyRow{"/d/archive.tar.gz", std::nullopt, false},
                      // known to the MIME database only: media, never RAW
                      ClassifyRow{"/d/scan.jp2", MediaKind::Image, false},
                      ClassifyRow{"/d/clip.mkv", MediaKind::Video, false},
                      ClassifyRow{"/d/clip.MPG", MediaKind::Video, false},
                      // the RAW set is by extension, a CRW is known to MIME as an image only
                      ClassifyRow{"/d/old.crw", MediaKind::Image, false},
                      ClassifyRow{"/d/song.mp3", std::nullopt, false},
                      ClassifyRow{"/d/.jpg", MediaKind::Image, false}));

} // namespace
