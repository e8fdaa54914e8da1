#pragma once

namespace vorlane::Exiv2Runtime {

// Prepares exiv2 0.27 for use from several threads, once per process: its log muted (damaged files are
// normal input here), the XMP parser initialised before any thread parses, and BMFF (HEIF, CR3) support on.
// Safe to call from any thread, any number of times.
void ensureStarted();

} // namespace vorlane::Exiv2Runtime
