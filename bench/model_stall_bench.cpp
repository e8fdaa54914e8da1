// A scripted culling session against the real model: 200 camera-size photos, 50 marked at key speed, the
// copies made, the originals discarded. Measures the longest stall of the main thread while copies run.
// Usage: model_stall_bench WORKDIR   (HOME and XDG_DATA_HOME are pointed into WORKDIR for the Trash)
#include "bench_support.h"
#include "testsupport/support.h"
#include "media/ffi/vips_runtime.h"
#include "model/app_model.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <filesystem>

using namespace vorlane;
using vorlane::bench::waitFor;

namespace {

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(-1) && p.exitCode() == 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: model_stall_bench WORKDIR\n");
        return 2;
    }
    const std::filesystem::path work = std::filesystem::absolute(argv[1]);
    const std::filesystem::path home = work / "home";
    const std::filesystem::path card = work / "card";
    std::filesystem::remove_all(home);
    std::filesystem::remove_all(card);
    std::filesystem::create_directories(card);
    test::useTemporaryHome(home);
    VipsRuntime::ensureStarted();
    QCoreApplication app(argc, argv);

    const std::filesystem::path seed = work / "seed.jpg";
    if (!std::filesystem::exists(seed)
        && !run(QStringLiteral("convert"),
                {QStringLiteral("-size"), QStringLiteral("6000x4000"), QStringLiteral("plasma:fractal"),
                 QStringLiteral("-quality"), QStringLiteral("92"), QString::fromUtf8(seed.c_str())})) {
        std::fprintf(stderr, "cannot make the seed photo\n");
        return 1;
    }
    for (int i = 0; i < 200; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d.JPG", i);
        std::filesystem::copy_file(seed, card / name);
    }

    AppModel model;
    model.openRoot(card);
    if (!waitFor([&] { return !model.listing().isLoading() && model.listing().pairs().size() == 200; }, 60000))
        return 1;

    // The main thread's heartbeat: the longest gap between 1 ms ticks is the longest stall.
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.elapsed();
    qint64 worst = 0;
    QTimer heartbeat;
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, &heartbeat, [&] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    heartbeat.start();

    QElapsedTimer session;
    session.start();
    // 50 marks at key speed (one every 40 ms), each advancing, then every second cell skipped.
    int marked = 0;
    QTimer keys;
    keys.setInterval(40);
    QObject::connect(&keys, &QTimer::timeout, &keys, [&] {
        if (marked == 50) {
            keys.stop();
            return;
        }
        model.markCurrentAndAdvance(false);
        model.cursor().step(1);
        ++marked;
    });
    keys.start();
    if (!waitFor([&] { return marked == 50 && model.discard().discardableCount() == 50; }, 600000)) {
        std::fprintf(stderr, "copies did not finish\n");
        return 1;
    }
    const double copySeconds = session.elapsed() / 1000.0;
    const qint64 stall = worst;
    model.discardOriginals();
    if (!waitFor([&] { return !model.discard().isTrashing() && model.discard().lastResult(); }, 120000))
        return 1;
    heartbeat.stop();

    int copies = 0;
    for (const auto &e : std::filesystem::directory_iterator(card / "card_bside"))
        copies += e.path().extension() == ".jpg" ? 1 : 0;
    int originals = 0;
    for (const auto &e : std::filesystem::directory_iterator(card))
        originals += e.is_regular_file() ? 1 : 0;
    int trashed = 0;
    for ([[maybe_unused]] const auto &e : std::filesystem::directory_iterator(home / ".local/share/Trash/files"))
        ++trashed;

    std::printf("session: 50 marks over 200 photos of 24 MP; copies done in %.1f s\n", copySeconds);
    std::printf("longest main-thread stall while copies ran: %lld ms (target < 50 ms)\n",
                static_cast<long long>(stall));
    std::printf("discard: %s; in the Trash %d, copies %d, originals left %d (expected 50, 50, 150)\n",
                model.discard().lastResult()->toUtf8().constData(), trashed, copies, originals);
    return (trashed == 50 && copies == 50 && originals == 150) ? 0 : 1;
}
