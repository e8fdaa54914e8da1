// The main of every GoogleTest executable. VORLANE_TEST_APP 0: no application object; 1: a QCoreApplication;
// 2: a QApplication, offscreen, with the ffmpeg media backend the preview's player needs. With an application,
// HOME, the Trash and the shared thumbnail cache live in a temporary folder, set before GLib or Qt reads them.
#include "testsupport/support.h"

#include "i18n/interface_language.h"

#if VORLANE_TEST_APP == 2
#include "media/ffi/vips_runtime.h"

#include <QApplication>
#endif
#include <QCoreApplication>
#include <QFile>

int main(int argc, char **argv)
{
    vorlane::test::failOnGlibCriticals();
#if VORLANE_TEST_APP
    QTemporaryDir home;
    vorlane::test::useTemporaryHome(QFile::encodeName(home.path()).toStdString());
    // No session bus: a test never reaches the desktop's file manager, nor starts a bus daemon that outlives it.
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
#endif
#if VORLANE_TEST_APP == 2
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_MEDIA_BACKEND", "ffmpeg", 1); // must be chosen before the application exists
    vorlane::VipsRuntime::ensureStarted();
    QApplication app(argc, argv);
#elif VORLANE_TEST_APP == 1
    QCoreApplication app(argc, argv);
#endif
#if VORLANE_TEST_APP
    // The tests read the interface's text in English, the source language, whatever the machine's locale.
    vorlane::InterfaceLanguage::install(vorlane::InterfaceLanguage::Language::English);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
