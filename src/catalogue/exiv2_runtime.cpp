#include "catalogue/exiv2_runtime.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

namespace vorlane::Exiv2Runtime {

void ensureStarted()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
#ifdef EXV_ENABLE_BMFF
        Exiv2::enableBMFF(true);
#endif
    });
}

} // namespace vorlane::Exiv2Runtime
