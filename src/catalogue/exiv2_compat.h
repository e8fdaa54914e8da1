#pragma once

// The exiv2 API where it differs between exiv2 0.27 (Debian 12) and 0.28 (Debian 13), and nowhere else.

#include <exiv2/exiv2.hpp>

#include <cstddef>
#include <cstdint>
#include <utility>

namespace vorlane::Exiv2Compat {

#if EXIV2_TEST_VERSION(0, 28, 0)
using ImagePtr = Exiv2::Image::UniquePtr;
using IoPtr = Exiv2::BasicIo::UniquePtr;
using Error = Exiv2::Error;
inline int64_t toInteger(const Exiv2::Metadatum &datum, size_t n = 0) { return datum.toInt64(n); }
#else
using ImagePtr = Exiv2::Image::AutoPtr;
using IoPtr = Exiv2::BasicIo::AutoPtr;
using Error = Exiv2::AnyError;
inline int64_t toInteger(const Exiv2::Metadatum &datum, size_t n = 0) { return datum.toLong(long(n)); }
#endif

// 0.28 reads BMFF (HEIF, CR3) always; 0.27 only when asked.
inline void enableBmff()
{
#if !EXIV2_TEST_VERSION(0, 28, 0) && defined(EXV_ENABLE_BMFF)
    Exiv2::enableBMFF(true);
#endif
}

// An int in 0.27, an enum class in 0.28.
using ImageType = decltype(Exiv2::ImageFactory::getType(std::declval<Exiv2::BasicIo &>()));

} // namespace vorlane::Exiv2Compat
