#include "media/ffi/vips_runtime.h"

#include <vips/vips8>

#include <malloc.h>

#include <cstdlib>
#include <mutex>

namespace vorlane::VipsRuntime {
namespace {

void dropMessage(const gchar *, GLogLevelFlags, const gchar *, gpointer) { }

} // namespace

void ensureStarted()
{
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, 64 << 20);
        mallopt(M_TRIM_THRESHOLD, 128 << 20);
        if (VIPS_INIT("vorlane") != 0)
            vips_error_exit("cannot start libvips");
        vips_cache_set_max(0);
        if (!std::getenv("VIPS_CONCURRENCY"))
            vips_concurrency_set(1);
        g_log_set_handler("VIPS", GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO),
                          dropMessage, nullptr);
    });
}

} // namespace vorlane::VipsRuntime
