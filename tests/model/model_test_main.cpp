// Model tests run against a real Trash: HOME and XDG_DATA_HOME point into one temporary folder on the
// same file system as the test trees, set before GLib reads them for the first time.
#include <QCoreApplication>
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
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
