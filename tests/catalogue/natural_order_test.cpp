#include "catalogue/natural_order.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vorlane;

TEST(NaturalOrder, SortsLikeAFileManager)
{
    std::vector<std::string> names{"IMG_10.jpg", "img_1.CR2", "IMG_2.jpg", "b.jpg", "A.jpg", "IMG_100.jpg",
                                   "IMG_9.jpg"};
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string &a, const std::string &b) { return naturalCompare(a, b) < 0; });
    const std::vector<std::string> expected{"A.jpg",     "b.jpg",     "img_1.CR2",  "IMG_2.jpg",
                                            "IMG_9.jpg", "IMG_10.jpg", "IMG_100.jpg"};
    EXPECT_EQ(names, expected);
}

TEST(NaturalOrder, OnlyIdenticalBytesCompareEqual)
{
    EXPECT_EQ(naturalCompare("IMG_1", "IMG_1"), 0);
    // Case and width differences are ignored by the collation but broken by a fixed tie-break.
    EXPECT_NE(naturalCompare("IMG_1", "img_1"), 0);
    EXPECT_EQ(naturalCompare("IMG_1", "img_1"), -naturalCompare("img_1", "IMG_1"));
    EXPECT_NE(naturalCompare("\xEF\xBC\xA1", "A"), 0); // full-width A
    // Names that are not UTF-8 decode alike but stay distinct.
    EXPECT_NE(naturalCompare("\xff.jpg", "\xfe.jpg"), 0);
}

TEST(NaturalOrder, WidthInsensitiveBeforeTieBreak)
{
    // Full-width "Ｂ" sorts with "B", after "A" and before "C".
    EXPECT_LT(naturalCompare("A", "\xEF\xBC\xA2"), 0);
    EXPECT_LT(naturalCompare("\xEF\xBC\xA2", "C"), 0);
}
