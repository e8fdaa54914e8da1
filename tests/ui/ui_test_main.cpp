// Widget tests run offscreen, with the shared thumbnail cache and the Trash under a temporary HOME.
#include "media/ffi/vips_runtime.h"

#include <QApplication>
#include <QTemporaryDir>

#include "testsupport/glib_checks.h"
#include "testsupport/temp_tree.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    vorlane::test::failOnGlibCriticals();
    QTemporaryDir home;
    vorlane::test::useTemporaryHome(QFile::encodeName(home.path()).toStdString());
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The preview's player runs on the ffmpeg media backend, which must be chosen before the app exists.
    setenv("QT_MEDIA_BACKEND", "ffmpeg", 1);
    vorlane::VipsRuntime::ensureStarted();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
