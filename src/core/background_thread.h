#pragma once

#include <sys/resource.h>
#include <unistd.h>

namespace vorlane {

// Lowers the scheduling priority of the calling thread once (Linux applies nice values per thread), so that
// work done in the background (copies, thumbnails) yields the processor to the interface thread and to the
// user's other programs. Pool threads are reused: the thread_local flag makes repeated calls free.
inline void lowerThisThreadsPriority(int nice)
{
    thread_local bool lowered = false;
    if (!lowered) {
        setpriority(PRIO_PROCESS, id_t(gettid()), nice);
        lowered = true;
    }
}

} // namespace vorlane
