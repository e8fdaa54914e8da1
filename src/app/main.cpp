#include "app/main_window.h"
#include "catalogue/capture_date.h"
#include "i18n/interface_language.h"
#include "media/ffi/vips_runtime.h"
#include "model/app_model.h"
#include "ui/theme.h"
#include "ui/thumbnail_cache.h"

#include <QApplication>
#include <QIcon>
#include <QPalette>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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
    if (!haveDisplay()) {
        std::fputs("vorlane: no display to open (DISPLAY and WAYLAND_DISPLAY are unset); "
                   "try: xvfb-run -a vorlane DIR\n",
                   stderr);
        return 1;
    }
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

    if (argc > 1) {
        // A folder opens as the root; a photo or video ("Open with" in a file manager) opens its folder with
        // its cell selected.
        const std::filesystem::path target = std::filesystem::absolute(argv[1]).lexically_normal();
        std::error_code ec;
        if (std::filesystem::is_directory(target, ec)) {
            model.openRoot(target);
        } else if (std::filesystem::is_regular_file(target, ec)) {
            model.openRoot(target.parent_path(), target);
        } else {
            std::fprintf(stderr, "vorlane: %s is not a folder or a file that can be opened\n", argv[1]);
            window.autoPickDirectory();
        }
    } else {
        window.autoPickDirectory();
    }
    return app.exec();
}
