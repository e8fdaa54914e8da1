// Undo of a large discard in a crowded Trash: 1,000 originals discarded into a Trash that already holds
// 20,000 entries of other programs (a thousand of them under the same names), then put back. Usage:
// trash_bench WORKDIR. Prints the time of each half; undo's target is under a second.
#include "model/trash_service.h"
#include "testsupport/support.h"

#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using namespace vorlane;

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: trash_bench WORKDIR\n", stderr);
        return 2;
    }
    const fs::path work = fs::absolute(argv[1]);
    fs::remove_all(work);
    const fs::path home = work / "home", trash = home / ".local/share/Trash", card = work / "card";
    fs::create_directories(trash / "files");
    fs::create_directories(trash / "info");
    fs::create_directories(card);
    test::useTemporaryHome(home); // before the first GLib call, which caches them

    constexpr int kForeign = 20000, kOriginals = 1000;
    const auto name = [](int i) {
        char text[32];
        std::snprintf(text, sizeof text, "IMG_%05d.JPG", i);
        return std::string(text);
    };
    for (int i = 0; i < kForeign; ++i) {
        // The first thousand take the names of the originals, as an earlier card's photos would.
        const std::string entry = i < kOriginals ? name(i) : name(i) + ".other";
        std::ofstream(trash / "files" / entry) << "someone else's file " << i;
        std::ofstream(trash / "info" / (entry + ".trashinfo"))
            << "[Trash Info]\nPath=" << (card / name(i)).native() << "\nDeletionDate=2099-01-01T00:00:00\n";
    }
    QList<fs::path> originals;
    for (int i = 0; i < kOriginals; ++i) {
        originals.append(card / name(i));
        std::ofstream(originals.back()) << "photo " << i;
    }

    QElapsedTimer timer;
    timer.start();
    const TrashService::TrashResult moved = TrashService::trash(originals);
    const double trashSeconds = timer.nsecsElapsed() / 1e9;
    timer.restart();
    const TrashService::RestoreResult back = TrashService::restore(moved.done);
    const double undoSeconds = timer.nsecsElapsed() / 1e9;
    std::printf("discard of %d files into a Trash of %d entries: %.3f s\n", kOriginals, kForeign, trashSeconds);
    std::printf("undo of those %d files: %.3f s (target < 1 s), %lld back, %lld refused\n", kOriginals, undoSeconds,
                static_cast<long long>(back.done.size()), static_cast<long long>(back.failed.size()));
    bool intact = back.done.size() == kOriginals;
    for (int i = 0; i < kOriginals && intact; ++i) {
        std::ifstream in(originals[i]);
        std::string text;
        std::getline(in, text);
        intact = text == "photo " + std::to_string(i);
    }
    std::printf("every original back with its own bytes: %s\n", intact ? "yes" : "NO");
    fs::remove_all(work);
    return intact && undoSeconds < 1.0 ? 0 : 1;
}
