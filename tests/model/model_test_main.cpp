// Model tests run against a real Trash: HOME and XDG_DATA_HOME point into one temporary folder on the
// same file system as the test trees, set before GLib reads them for the first time.
#include <QCoreApplication>
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
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
