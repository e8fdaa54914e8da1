// Steps through a folder of large photos in the real preview, twice a second, and measures the time from
// the step to the full picture on screen, with the neighbours decoded ahead of time and without. It also
// checks after every step that the view never shows the previous photo under the new name.
// Usage: preview_bench FOLDER [STEPS]; prints one line per mode.
#include "app/main_window.h"
#include "bench_support.h"
#include "copies/bside_scheduler.h"
#include "media/ffi/vips_runtime.h"
#include "model/app_model.h"
#include "ui/large_image_view.h"
#include "ui/overlay_toggles.h"
#include "ui/preview_overlay.h"
#include "ui/thumbnail_cache.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>

using namespace vorlane;

namespace {

struct Figures
{
    std::vector<double> ms;
    std::vector<double> overlayMs; // step to every aid drawn for the new picture, when they are on
    int wrongFrames = 0;
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[size_t(std::min<double>(double(v.size() - 1), p * double(v.size() - 1) + 0.5))];
}

Figures run(const std::filesystem::path &folder, int steps, bool prefetch, bool overlays)
{
    AppModel model(nullptr, MachineInputs{2, [] { return 0.5; }, [] { return 0; }});
    ThumbnailCache thumbnails;
    MainWindow window(model, thumbnails);
    window.resize(1600, 1000);
    window.show();
    model.openRoot(folder);
    bench::waitFor([&] { return !model.listing().isLoading() && !model.listing().pairs().isEmpty(); }, 60000);
    bench::waitFor([] { return false; }, 3000); // the first thumbnails of the grid
    window.overlay()->loader().setPrefetching(prefetch);
    if (overlays) {
        for (const auto o : {OverlayToggles::FocusPoints, OverlayToggles::Peaking, OverlayToggles::Histogram,
                             OverlayToggles::Clipping})
            window.overlay()->overlayToggles()->toggle(o);
    }
    model.cursor().selectByClick(GridSelection::media(model.listing().pairs()[0].id()));
    model.cursor().openPreview();
    LargeImageView *view = window.overlay()->imageView();
    bench::waitFor([&] { return !view->image().isNull() && !view->showsPlaceholder(); }, 60000);

    Figures figures;
    const QList<MediaPair> &pairs = model.listing().pairs();
    for (int i = 1; i <= steps; ++i) {
        bench::waitFor([] { return false; }, 500); // two steps a second
        const std::filesystem::path expected = pairs[i % pairs.size()].primary().path;
        QElapsedTimer timer;
        timer.start();
        model.cursor().previewMove(1);
        // What the view shows right after the step: the new photo's thumbnail or its picture, nothing older.
        if (view->source() != expected)
            ++figures.wrongFrames;
        bench::waitFor([&] { return !view->image().isNull() && !view->showsPlaceholder(); }, 60000);
        view->repaint(); // on screen: the paint that shows the full picture is part of the time
        figures.ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (overlays) {
            bench::waitFor([&] { return view->overlays().analysed(); }, 60000);
            view->repaint();
            figures.overlayMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fputs("usage: preview_bench FOLDER [STEPS]\n", stderr);
        return 2;
    }
    setenv("QT_MEDIA_BACKEND", "ffmpeg", 0);
    VipsRuntime::ensureStarted();
    QApplication app(argc, argv);
    const std::filesystem::path folder = std::filesystem::absolute(argv[1]);
    const int steps = argc > 2 ? std::atoi(argv[2]) : 49;
    const struct
    {
        const char *name;
        bool prefetch, overlays;
    } modes[] = {{"prefetch on", true, false}, {"prefetch off", false, false}, {"prefetch on, every aid on", true, true}};
    for (const auto &mode : modes) {
        const Figures f = run(folder, steps, mode.prefetch, mode.overlays);
        std::printf("%-26s: key to full picture median %.1f ms, p90 %.1f ms, max %.1f ms over %zu steps; "
                    "frames showing another photo: %d\n",
                    mode.name, percentile(f.ms, 0.5), percentile(f.ms, 0.9), percentile(f.ms, 1.0), f.ms.size(),
                    f.wrongFrames);
        if (!f.overlayMs.empty())
            std::printf("%-26s  key to focus points, peaking, clipping and histogram drawn: median %.1f ms, p90 %.1f ms, "
                        "max %.1f ms\n",
                        "", percentile(f.overlayMs, 0.5), percentile(f.overlayMs, 0.9), percentile(f.overlayMs, 1.0));
    }
    return 0;
}
