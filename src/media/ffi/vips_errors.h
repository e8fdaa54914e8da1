#pragma once

#include "media/decode_error.h"
#include "media/ffi/vips_runtime.h"

#include <vips/vips8>

#include <string>

namespace vorlane {

// The reason given when libvips' text names no cause of its own.
inline constexpr const char *kDamagedOrNotAPicture = "the file is damaged or not a picture";

// libvips' message about one file out of a failure's text (and its error buffer emptied): see the .cpp.
// fileName is empty for pixels in memory.
std::string vipsReason(const vips::VError &error, const std::string &fileName);

// Runs body, a chain of libvips calls, with libvips started and its error buffer empty; a failure leaves as
// a DecodeError that gives libvips' reason about fileName (empty for pixels in memory). The one place where
// libvips' errors become this program's.
template<typename Body>
auto decodingWithVips(const std::string &fileName, Body body) -> decltype(body())
{
    VipsRuntime::ensureStarted();
    vips_error_clear(); // the buffer may still hold a warning from an earlier, unrelated call
    try {
        return body();
    } catch (const vips::VError &error) {
        const std::string reason = vipsReason(error, fileName);
        if (reason == kDamagedOrNotAPicture)
            throw DecodeError(Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase", "the file is damaged or not a picture")));
        throw DecodeError(reason);
    }
}

} // namespace vorlane
