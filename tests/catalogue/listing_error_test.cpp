// A listing that breaks off in the middle (an I/O error from a failing card) is an error, never a shorter
// folder. readdir() cannot be made to fail on demand on a healthy disk, so this executable stands in for it:
// its own readdir() fails once a set number of entries has been read.
#include "catalogue/directory_scanner.h"
#include "testsupport/model_support.h"

#include <dirent.h>
#include <dlfcn.h>

#include <atomic>

namespace {

std::atomic<int> entriesBeforeError{-1}; // -1: never fails

} // namespace

extern "C" struct dirent *readdir(DIR *dir)
{
    using Readdir = struct dirent *(*)(DIR *);
    static const auto real = reinterpret_cast<Readdir>(dlsym(RTLD_NEXT, "readdir"));
    int left = entriesBeforeError.load();
    if (left == 0) {
        errno = EIO;
        return nullptr;
    }
    if (left > 0)
        entriesBeforeError.store(left - 1);
    return real(dir);
}

namespace {

using namespace vorlane;
using namespace vorlane::test;

TEST(ListingError, ABrokenOffListingIsAnErrorNotAShorterFolder)
{
    TempTree t;
    for (int i = 0; i < 12; ++i)
        t.file("IMG_" + std::to_string(i) + ".jpg", "x");
    EXPECT_EQ(DirectoryScanner::scan(t.root()).media.size(), 12);

    entriesBeforeError = 6;
    try {
        DirectoryScanner::scan(t.root());
        ADD_FAILURE() << "a listing that broke off was taken for the whole folder";
    } catch (const std::system_error &e) {
        EXPECT_EQ(e.code().value(), EIO);
    }

    entriesBeforeError = 6;
    AppModel m(nullptr, quietMachine());
    ASSERT_TRUE(openAndWait(m, t.root()));
    entriesBeforeError = -1;
    EXPECT_TRUE(m.listing().pairs().isEmpty());
    const QString error = m.listing().loadError().value_or(QString());
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot read the folder: "))) << error.toStdString();
}

} // namespace
