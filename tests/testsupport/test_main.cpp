#include "testsupport/glib_checks.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    vorlane::test::failOnGlibCriticals();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
