// Thumbnails and grid responsiveness, offscreen.
//   vorlane-grid-bench fill DIR                 open DIR in the window; prints "PICTURE SHARP COUNT": seconds from
//                                               the listing until every visible cell shows a picture, until
//                                               every one is sharp, and how many cells are visible (run twice:
//                                               the second start reads the shared cache)
//   vorlane-grid-bench keys DIR                 arrow keys posted at a held key's rate while thumbnails are made:
//                                               key to repainted selection (median, worst), then the whole grid
//                                               scrolled; peak resident memory
#include "app/key_map.h"
#include "app/main_window.h"
#include "bench_support.h"
#include "media/ffi/vips_runtime.h"
#include "model/app_model.h"
#include "ui/browser_grid.h"
#include "ui/thumbnail_cache.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScrollBar>
#include <QThreadPool>

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

// How many visible cells show a picture, and how many of those are sharp.
struct Shown
{
    int visible = 0;
    int pictures = 0;
    int sharp = 0;
};

Shown visibleThumbnails(AppModel &model, BrowserGrid &grid)
{
    const GridGeometry g = grid.geometryNow();
    const int count = int(model.listing().pairs().size());
    const auto [first, last] = g.indexRange(0, grid.viewport()->height(), count);
    const double size = model.settings().thumbnailSize();
    Shown shown;
    for (int i = first; i <= last; ++i) {
        const MediaItem &item = model.listing().pairs()[i].primary();
        ThumbnailCache &cache = ThumbnailCache::shared();
        ++shown.visible;
        shown.pictures += !cache.cached(item, size).isNull() || cache.failed(item, size);
        shown.sharp += cache.isSharp(item, size) || cache.failed(item, size);
    }
    return shown;
}

// Sees the grid's paints, to time a key press to the repaint that shows it: the loop waiting for it is quit
// once the paint has been handled.
class PaintWatch final : public QObject
{
public:
    bool painted = false;
    QEventLoop *loop = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            painted = true;
            if (loop)
                loop->quit();
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: vorlane-grid-bench fill|keys DIR\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    VipsRuntime::ensureStarted();
    QApplication app(argc, argv);
    const std::string mode = argv[1];
    const std::filesystem::path dir = std::filesystem::absolute(argv[2]);

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
        QElapsedTimer sinceListing;
        sinceListing.start();
        double picture = -1;
        const bool done = waitFor(
            [&] {
                const Shown shown = visibleThumbnails(model, *window.grid());
                if (picture < 0 && shown.pictures == shown.visible)
                    picture = sinceListing.nsecsElapsed() / 1e9;
                return shown.sharp == shown.visible;
            },
            600000);
        if (!done)
            return 1;
        std::printf("%.3f %.3f %d\n", picture, sinceListing.nsecsElapsed() / 1e9,
                    visibleThumbnails(model, *window.grid()).visible);
        return 0;
    }
    // keys: a press every 33 ms (a held key's repeat rate), posted to the window like a real one, timed until
    // the event loop has painted the grid after it, while the pool makes the thumbnails of the cells passed.
    PaintWatch watch;
    window.grid()->viewport()->installEventFilter(&watch);
    QWidget *target = window.grid();
    window.activateWindow();
    target->setFocus();
    const auto selected = [&] { return model.cursor().selectedPairId(); };
    const auto before = selected();
    std::vector<double> ms;
    int busy = 0;
    int lost = 0; // presses that moved nothing: a key the window dropped
    for (int i = 0; i < 400; ++i) {
        const int key = i % 50 < 40 ? Qt::Key_Right : Qt::Key_Down;
        watch.painted = false;
        const auto was = selected();
        QElapsedTimer k;
        k.start();
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
        QEventLoop untilPainted;
        watch.loop = &untilPainted;
        bench::sleepInEventLoop(2000, &untilPainted); // quit by the paint (after it is done), else times out
        watch.loop = nullptr;
        ms.push_back(k.nsecsElapsed() / 1e6);
        busy += ThumbnailCache::shared().jobsRunning() > 0;
        lost += selected() == was;
        bench::sleepInEventLoop(int(std::max<qint64>(0, 33 - k.elapsed())));
    }
    if (selected() == before || lost > 0) {
        std::fprintf(stderr, "%d of %zu presses did not move the selection\n", lost, ms.size());
        return 1;
    }
    std::sort(ms.begin(), ms.end());
    std::fprintf(stderr, "thumbnails being made during %d of %zu presses\n", busy, ms.size());
    QScrollBar *bar = window.grid()->verticalScrollBar();
    for (int v = 0; v <= bar->maximum(); v += bar->pageStep() / 3) {
        bar->setValue(v);
        window.grid()->viewport()->repaint();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QThreadPool::globalInstance()->waitForDone();
    std::printf("cells %lld: key to repaint median %.2f ms, 95th %.2f ms, 99th %.2f ms, worst %.2f ms; peak resident "
                "%ld MiB after scrolling all\n",
                static_cast<long long>(model.listing().pairs().size()), ms[ms.size() / 2], ms[ms.size() * 95 / 100],
                ms[ms.size() * 99 / 100], ms.back(), peakKib() / 1024);
    return 0;
}
