// Soak check of the whole window: 5,000 photos, 1,000 marked in bursts with half of them unmarked while their
// jobs run, navigation away and back, the grid scrolled end to end, then a discard. At the end every
// original must be in place, or in the Trash with its copy present; nothing lost. Runs offscreen.
// Usage: vorlane-soak WORKDIR [PHOTOS] [MARKS]
#include "app/main_window.h"
#include "testsupport/support.h"
#include "bench_support.h"
#include "catalogue/bside_path_resolver.h"
#include "copies/copy_maker.h"
#include "media/ffi/vips_runtime.h"
#include "model/app_model.h"
#include "ui/browser_grid.h"
#include "ui/thumbnail_cache.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QScrollBar>

#include <cstdio>
#include <fstream>
#include <set>

using namespace vorlane;
using vorlane::bench::waitFor;

namespace {

long statusKib(const char *field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: vorlane-soak WORKDIR [PHOTOS] [MARKS]\n");
        return 2;
    }
    const std::filesystem::path work = std::filesystem::absolute(argv[1]);
    const int photos = argc > 2 ? std::atoi(argv[2]) : 5000;
    const int marks = argc > 3 ? std::atoi(argv[3]) : 1000;
    const std::filesystem::path home = work / "home";
    const std::filesystem::path card = work / "card";
    std::filesystem::remove_all(home);
    std::filesystem::remove_all(card);
    std::filesystem::create_directories(card / "elsewhere");
    test::useTemporaryHome(home);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    VipsRuntime::ensureStarted();
    QApplication app(argc, argv);

    const std::filesystem::path seed = work / "seed.jpg";
    if (!std::filesystem::exists(seed)) {
        QProcess p;
        p.start(QStringLiteral("convert"),
                {QStringLiteral("-size"), QStringLiteral("1600x1067"), QStringLiteral("plasma:fractal"),
                 QStringLiteral("-quality"), QStringLiteral("85"), QString::fromUtf8(seed.c_str())});
        if (!p.waitForFinished(-1) || p.exitCode() != 0)
            return 1;
    }
    std::vector<std::filesystem::path> originals;
    for (int i = 0; i < photos; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%05d.JPG", i);
        originals.push_back(card / name);
        std::filesystem::copy_file(seed, originals.back());
    }

    QElapsedTimer clock;
    clock.start();
    AppModel model;
    MainWindow window(model, ThumbnailCache::shared());
    window.resize(1400, 900);
    window.show();
    model.openRoot(card);
    if (!waitFor([&] { return !model.listing().isLoading() && model.listing().pairs().size() == photos; }, 120000))
        return 1;

    // Bursts of 100 marks at key speed; half of each burst unmarked straight away, while queued or running.
    int marked = 0;
    int unmarked = 0;
    int burst = 0;
    while (marked < marks) {
        const int start = int(model.listing().folders().size()) + burst * 150;
        model.cursor().selectByClick(model.listing().gridItems()[start % model.listing().gridItems().size()]);
        QList<QUuid> burstIds;
        for (int k = 0; k < 100 && marked < marks; ++k) {
            burstIds.append(*model.cursor().selectedPairId());
            model.markCurrentAndAdvance(false);
            ++marked;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        for (int k = 0; k < burstIds.size(); k += 2) {
            model.marks().toggle(burstIds[k]);
            ++unmarked;
        }
        ++burst;
        if (burst == 5) {
            // Away and back while copies are still being made: marks come back from the copies on disk.
            model.navigate(card / "elsewhere");
            waitFor([&] { return !model.listing().isLoading(); }, 60000);
            model.goUp();
            waitFor([&] { return !model.listing().isLoading() && model.listing().pairs().size() == photos; }, 120000);
        }
    }
    // Scroll the whole grid while the copies run.
    QScrollBar *bar = window.grid()->verticalScrollBar();
    for (int v = 0; v <= bar->maximum(); v += bar->pageStep() / 2) {
        bar->setValue(v);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    if (!waitFor([&] { return model.marks().progress().isIdle() && model.marks().progress().total > 0; }, 1800000))
        return 1;
    waitFor([] { return false; }, 500);
    // List again: marks are exactly the copies on disk.
    model.navigate(card);
    waitFor([&] { return !model.listing().isLoading(); }, 120000);
    // The cells of this listing that a discard takes (the button's count also keeps ids of earlier listings).
    int discardable = 0;
    for (const MediaPair &pair : model.listing().pairs()) {
        const auto status = model.marks().statuses().constFind(pair.id());
        if (model.marks().marked().contains(pair.id()) && status != model.marks().statuses().constEnd()
            && status->kind() == BsideJobStatus::Case::Completed)
            ++discardable;
    }
    model.discardOriginals();
    if (!waitFor([&] { return !model.discard().isTrashing() && model.discard().lastResult(); }, 600000))
        return 1;

    int inPlace = 0, trashedWithCopy = 0, lost = 0;
    std::set<std::string> trashNames;
    for (const auto &e : std::filesystem::directory_iterator(home / ".local/share/Trash/files"))
        trashNames.insert(e.path().filename().native());
    for (const auto &original : originals) {
        if (std::filesystem::exists(original)) {
            ++inPlace;
            continue;
        }
        const auto copy = BsidePathResolver::destination(original);
        std::error_code ec;
        if (trashNames.count(original.filename().native()) && std::filesystem::file_size(copy, ec) > 0)
            ++trashedWithCopy;
        else
            ++lost;
    }
    const long peakKib = statusKib("VmHWM:");
    std::printf("soak: %d photos, %d marks in %d bursts, %d unmarked at once, away and back once, grid scrolled\n",
                photos, marked, burst, unmarked);
    std::printf("discard: %s (%d discardable); originals in place %d, in the Trash with a copy %d, lost %d\n",
                model.discard().lastResult()->toUtf8().constData(), discardable, inPlace, trashedWithCopy, lost);
    std::printf("peak resident memory %.0f MiB (bound 1024 MiB); took %.0f s\n", peakKib / 1024.0,
                clock.elapsed() / 1000.0);
    return (lost == 0 && trashedWithCopy == discardable && peakKib < 1024 * 1024) ? 0 : 1;
}
