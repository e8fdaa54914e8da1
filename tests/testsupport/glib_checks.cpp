#include "testsupport/glib_checks.h"

#include <glib.h>

namespace vorlane::test {

void failOnGlibCriticals()
{
    g_log_set_always_fatal(GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR | G_LOG_FLAG_FATAL));
}

} // namespace vorlane::test
