// Widget tests run offscreen, with the shared thumbnail cache and the Trash under a temporary HOME.
#include "copies/ffi/vips_runtime.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    QTemporaryDir home;
    const QByteArray homePath = QFile::encodeName(home.path());
    QDir().mkpath(home.path() + QStringLiteral("/.local/share"));
    setenv("HOME", homePath.constData(), 1);
    setenv("XDG_DATA_HOME", (homePath + "/.local/share").constData(), 1);
    setenv("XDG_CACHE_HOME", (homePath + "/.cache").constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    vorlane::VipsRuntime::ensureStarted();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
