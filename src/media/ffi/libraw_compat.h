#pragma once

// The LibRaw API where it differs between LibRaw 0.20 (Debian 12) and 0.21 (Debian 13), and nowhere else.

#include <libraw/libraw.h>

namespace vorlane::LibRawCompat {

// The cap on the memory one sensor decode may take: an unpacking parameter of its own since 0.21.
inline void setMaxRawMemoryMiB(LibRaw &raw, unsigned mib)
{
#if LIBRAW_COMPILE_CHECK_VERSION_NOTLESS(0, 21)
    raw.imgdata.rawparams.max_raw_memory_mb = mib;
#else
    raw.imgdata.params.max_raw_memory_mb = mib;
#endif
}

} // namespace vorlane::LibRawCompat
