// Thumbnails and grid responsiveness, offscreen.
//   vorlane-grid-bench thumbs DIR SIZE          make SIZE-pixel thumbnails of every JPEG in DIR (shared cache
//                                               under $XDG_CACHE_HOME); prints seconds
//   vorlane-grid-bench fill DIR                 open DIR in the window; seconds until the visible grid has its
//                                               thumbnails (run twice: the second start reads the shared cache)
//   vorlane-grid-bench keys DIR                 arrow-key press to repainted selection over 10,000 cells (median,
//                                               worst), then the whole grid scrolled; peak resident memory
#include "app/key_map.h"
#include "app/main_window.h"
#include "media/ffi/vips_runtime.h"
#include "model/app_model.h"
#include "ui/browser_grid.h"
#include "ui/thumbnail_cache.h"
#include "ui/thumbnail_service.h"
#include "bench_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScrollBar>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cstdio>
#include <fstream>

using namespace vorlane;
using vorlane::bench::waitFor;

namespace {

long peakKib()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

std::vector<std::filesystem::path> jpegsIn(const std::filesystem::path &dir)
{
    std::vector<std::filesystem::path> files;
    for (const auto &e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".jpg" || e.path().extension() == ".JPG")
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

int thumbs(const std::filesystem::path &dir, int size)
{
    const auto files = jpegsIn(dir);
    const ThumbnailService service;
    QElapsedTimer t;
    t.start();
    QtConcurrent::blockingMap(files, [&](const std::filesystem::path &f) { service.make(f, size); });
    std::printf("%.3f\n", t.elapsed() / 1000.0);
    return 0;
}

bool visibleThumbnailsLoaded(AppModel &model, BrowserGrid &grid)
{
    const GridGeometry g = grid.geometryNow();
    const int count = int(model.listing().pairs().size());
    const auto [first, last] = g.indexRange(0, grid.viewport()->height(), count);
    for (int i = first; i <= last; ++i)
        if (ThumbnailCache::shared().cached(model.listing().pairs()[i].primary(), std::nullopt, model.settings().thumbnailSize()).isNull()
            && !ThumbnailCache::shared().failed(model.listing().pairs()[i].primary(), std::nullopt, model.settings().thumbnailSize()))
            return false;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: vorlane-grid-bench thumbs|fill|keys DIR [SIZE]\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    VipsRuntime::ensureStarted();
    QApplication app(argc, argv);
    const std::string mode = argv[1];
    const std::filesystem::path dir = std::filesystem::absolute(argv[2]);
    if (mode == "thumbs")
        return thumbs(dir, argc > 3 ? std::atoi(argv[3]) : 320);

    AppModel model;
    MainWindow window(model, ThumbnailCache::shared());
    window.resize(1400, 900);
    window.show();
    // The window's first paint (fonts, styles) is start-up cost, not thumbnail work: do it before the clock.
    window.grab();
    QCoreApplication::processEvents();
    QElapsedTimer t;
    t.start();
    model.openRoot(dir);
    if (!waitFor([&] { return !model.listing().isLoading(); }, 120000))
        return 1;
    if (mode == "fill") {
        std::fprintf(stderr, "listing applied after %.3f s\n", t.elapsed() / 1000.0);
        if (!waitFor([&] { return visibleThumbnailsLoaded(model, *window.grid()); }, 600000))
            return 1;
        std::printf("%.3f\n", t.elapsed() / 1000.0);
        return 0;
    }
    // keys: time from the key press to the repainted selection.
    std::vector<double> ms;
    for (int i = 0; i < 400; ++i) {
        QKeyEvent key(QEvent::KeyPress, i % 50 < 40 ? Qt::Key_Right : Qt::Key_Down, Qt::NoModifier);
        QElapsedTimer k;
        k.start();
        window.keyMap()->handle(key);
        window.grid()->viewport()->repaint();
        ms.push_back(k.nsecsElapsed() / 1e6);
        QCoreApplication::processEvents();
    }
    std::sort(ms.begin(), ms.end());
    QScrollBar *bar = window.grid()->verticalScrollBar();
    for (int v = 0; v <= bar->maximum(); v += bar->pageStep() / 3) {
        bar->setValue(v);
        window.grid()->viewport()->repaint();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QThreadPool::globalInstance()->waitForDone();
    std::printf("cells %lld: key to repaint median %.2f ms, 95th %.2f ms, worst %.2f ms; peak resident %ld MiB after scrolling all\n",
                static_cast<long long>(model.listing().pairs().size()), ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back(),
                peakKib() / 1024);
    return 0;
}
