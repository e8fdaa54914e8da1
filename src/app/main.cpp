#include "app/command_line.h"
#include "app/main_window.h"
#include "catalogue/capture_date.h"
#include "i18n/interface_language.h"
#include "media/ffi/vips_runtime.h"
#include "model/app_model.h"
#include "ui/theme.h"
#include "ui/thumbnail_cache.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>
#include <QPalette>
#include <QSocketNotifier>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool haveDisplay()
{
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return true;
    const char *x = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

// Without a session bus (a bare X server, ssh -X), GLib and Qt would each start one through dbus-launch, and
// that daemon would outlive the app. The app needs none of its own: it is told there is none, and what would
// have used it (showing a file in the file manager) says that nothing answered.
void useNoBusUnlessThereIsOne()
{
    const char *address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address)
        return;
    if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        struct stat st = {};
        if (::stat((std::string(runtime) + "/bus").c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
            return; // the user's bus, at its standard place
    }
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

// SIGTERM reaches the event loop through a socket: the handler only writes a byte.
int g_termSocket[2] = {-1, -1};

void onTerm(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_termSocket[0], &byte, 1);
}

// The first SIGTERM closes the window as Ctrl+Q does, which asks first when copies are unfinished; a second
// one quits at once, cancelling the copies cleanly and naming on stderr the cells whose marks were lost.
void handleTerm(vorlane::MainWindow &window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_termSocket) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onTerm;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    auto *notifier = new QSocketNotifier(g_termSocket[1], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        static int received = 0;
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(g_termSocket[1], &byte, 1);
        if (++received == 1) {
            window.close();
            return;
        }
        const QList<std::filesystem::path> lost = window.quitNow();
        if (!lost.isEmpty()) {
            std::fprintf(stderr, "vorlane: quit on a second SIGTERM; these marks were lost, their copies not made:\n");
            for (const std::filesystem::path &file : lost)
                std::fprintf(stderr, "  %s\n", file.c_str());
        }
        QCoreApplication::quit();
    });
}

void applyTheme(QApplication &app)
{
    app.setFont(vorlane::Theme::uiFont(10));
    QPalette palette = app.palette();
    palette.setColor(QPalette::Highlight, vorlane::Theme::accent());
    palette.setColor(QPalette::Link, vorlane::Theme::accent());
    app.setPalette(palette);
}

} // namespace

int main(int argc, char **argv)
{
    const vorlane::CommandLine line = vorlane::CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.action) {
    case vorlane::CommandLine::Action::Help:
        std::fputs(vorlane::CommandLine::usage(), stdout);
        return 0;
    case vorlane::CommandLine::Action::Version:
        std::puts("vorlane " VORLANE_VERSION);
        return 0;
    case vorlane::CommandLine::Action::Error:
        std::fprintf(stderr, "vorlane: %s\nTry 'vorlane --help'.\n", line.message.c_str());
        return 2;
    case vorlane::CommandLine::Action::Run:
        break;
    }
    if (!haveDisplay()) {
        std::fputs("vorlane: no display to open (DISPLAY and WAYLAND_DISPLAY are unset); "
                   "try: xvfb-run -a vorlane DIR\n",
                   stderr);
        return 1;
    }
    useNoBusUnlessThereIsOne();
    // Libraries' debug chatter (Qt 6.4's FFmpeg backend lists codecs and hardware contexts whenever a clip
    // opens) stays off stderr; QT_LOGGING_RULES turns it back on.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    // The ffmpeg media backend plays every format the copies handle; it must be chosen before the app exists.
    setenv("QT_MEDIA_BACKEND", "ffmpeg", 0);
    vorlane::pinLocalTimeZone();
    vorlane::VipsRuntime::ensureStarted();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorlane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vorlane"));
    QApplication::setDesktopFileName(QStringLiteral("app.vorlane.Vorlane"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("app.vorlane.Vorlane")));
    applyTheme(app);
    // The interface's language follows the locale's (Chinese unless it asks for English), Qt's dialogs too.
    vorlane::InterfaceLanguage::installForSystem();

    vorlane::AppModel model;
    vorlane::MainWindow window(model, vorlane::ThumbnailCache::shared());
    window.show();
    handleTerm(window);

    if (!line.target.empty()) {
        // A folder opens as the root; a photo or video ("Open with" in a file manager) opens its folder with
        // its cell selected.
        const std::filesystem::path target = std::filesystem::absolute(line.target).lexically_normal();
        std::error_code ec;
        if (std::filesystem::is_directory(target, ec)) {
            model.openRoot(target);
        } else if (std::filesystem::is_regular_file(target, ec)) {
            model.openRoot(target.parent_path(), target);
        } else {
            std::fprintf(stderr, "vorlane: %s is not a folder or a file that can be opened\n", line.target.c_str());
            window.autoPickDirectory();
        }
    } else {
        window.autoPickDirectory();
    }
    return app.exec();
}
