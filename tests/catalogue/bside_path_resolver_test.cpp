#include "catalogue/bside_path_resolver.h"

#include "catalogue/media_classifier.h"
#include "catalogue/pairing_service.h"

#include <gtest/gtest.h>

using namespace vorlane;

namespace {

TEST(CopyPath, Destination)
{
    const std::vector<std::pair<const char *, const char *>> rows{
        {"/Volumes/CARD/DCIM/100TRIP/IMG_0042.CR3", "/Volumes/CARD/DCIM/100TRIP/100TRIP_bside/IMG_0042_bside.jpg"},
        {"/Users/me/Clips/beach.MOV", "/Users/me/Clips/Clips_bside/beach_bside.mp4"},
        {"/Users/me/Clips/./beach.mts", "/Users/me/Clips/Clips_bside/beach_bside.mp4"},
        {"/Users/me/Other/../Clips/beach.mts", "/Users/me/Clips/Clips_bside/beach_bside.mp4"},
        {"/p/README", "/p/p_bside/README_bside.jpg"},
        {"/p/movie.mkv", "/p/p_bside/movie_bside.mp4"}, // a video by its MIME type alone
        {"/p/trip.day1.CR3", "/p/p_bside/trip.day1_bside.jpg"},
        {"/p/A.HEIC", "/p/p_bside/A_bside.jpg"},
        {"/p/\xff\xfe.jpg", "/p/p_bside/\xff\xfe_bside.jpg"}, // names that are not UTF-8 keep their bytes
        {"/\xfe\xff/x.jpg", "/\xfe\xff/\xfe\xff_bside/x_bside.jpg"}};
    for (const auto &[original, copy] : rows)
        EXPECT_EQ(BsidePathResolver::destination(original).native(), std::string(copy)) << original;
}

// Cells of one listing never share a copy path; the plain path stays wherever it is unambiguous, and a path
// that two cells could still claim is nobody's ("-").
TEST(CopyPath, EveryCellOfAListingHasItsOwn)
{
    using Names = std::vector<std::string>;
    const std::vector<std::pair<Names, Names>> rows{
        {{"IMG_1.JPG", "IMG_1.CR2", "b.png"}, {"b_bside.jpg", "IMG_1_bside.jpg"}},
        {{"a.jpg", "a.mov"}, {"a_bside.mp4", "a_bside.jpg"}},
        {{"photo.jpg", "photo.png"}, {"photo_jpg_bside.jpg", "photo_png_bside.jpg"}},
        {{"IMG_7.HEIC", "IMG_7.JPG"}, {"IMG_7_HEIC_bside.jpg", "IMG_7_JPG_bside.jpg"}},
        {{"clip.MOV", "clip.mp4"}, {"clip_MOV_bside.mp4", "clip_mp4_bside.mp4"}},
        {{"X.CR2", "X.DNG"}, {"X_CR2_bside.jpg", "X_DNG_bside.jpg"}},
        {{"V.CR2", "V.JPG", "V.MOV"}, {"V_bside.mp4", "V_JPG_bside.jpg", "V_CR2_bside.jpg"}},
        {{"photo.jpg", "photo.png", "photo_png.jpg"}, {"photo_jpg_bside.jpg", "-", "-"}}};
    for (const auto &[files, expected] : rows) {
        QList<MediaItem> items;
        for (const std::string &file : files) {
            const std::filesystem::path path = std::filesystem::path("/card/DCIM") / file;
            items.append(MediaItem(path, *MediaClassifier::classify(path), MediaClassifier::isRaw(path)));
        }
        Names copies;
        for (const MediaPair &cell : PairingService::pair(items))
            copies.push_back(cell.copyPath() ? cell.copyPath()->filename().native() : "-");
        EXPECT_EQ(copies, expected) << ::testing::PrintToString(files);
    }
}

} // namespace
