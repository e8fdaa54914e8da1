// The hidden temporary files that copies are written through: their names, and the clean-up of those that
// interrupted copies leave behind.
#include "copies/atomic_file.h"

#include "testsupport/temp_tree.h"

#include <gtest/gtest.h>

#include <chrono>

namespace fs = std::filesystem;

namespace vorlane {
namespace {

void age(const fs::path &file, std::chrono::seconds by) { fs::last_write_time(file, fs::file_time_type::clock::now() - by); }

TEST(PendingFile, NameStaysWithinTheLimitWhenTheCopyNameDoes)
{
    test::TempTree tree;
    const fs::path destination = tree.dir("a_bside") / (std::string(245, 'n') + "_bside.jpg"); // 255 bytes
    PendingFile file(destination);
    EXPECT_LE(file.path().filename().native().size(), 255u);
    file.write("copy");
    file.commit();
    EXPECT_EQ(fs::file_size(destination), 4u);
}

TEST(StalePartials, OnlyLeftoversOfDeadWritersGo)
{
    test::TempTree tree;
    const fs::path folder = tree.dir("a_bside");
    const fs::path leftover = tree.file("a_bside/.IMG_1_bside.jpg.part-Ab3dEf", "half a copy");
    const fs::path young = tree.file("a_bside/.IMG_2_bside.jpg.part-Gh5jKl", "just made");
    const fs::path other = tree.file("a_bside/.notes.txt", "not ours");
    const fs::path copy = tree.file("a_bside/IMG_3_bside.jpg", "a finished copy");
    PendingFile running(folder / "IMG_4_bside.mp4"); // a copy still being written, for minutes already
    for (const fs::path &file : {leftover, other, copy, running.path()})
        age(file, std::chrono::hours(1));

    EXPECT_EQ(removeStalePartials(folder), 1);
    EXPECT_FALSE(fs::exists(leftover));
    for (const fs::path &file : {young, other, copy, running.path()})
        EXPECT_TRUE(fs::exists(file)) << file;
    EXPECT_EQ(removeStalePartials(tree.root() / "missing_bside"), 0);
}

} // namespace
} // namespace vorlane
