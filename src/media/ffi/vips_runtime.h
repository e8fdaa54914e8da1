#pragma once

namespace vorlane::VipsRuntime {

// Starts libvips once per process (safe to call from any thread, any number of times; tests call it too).
// Settings made here hold for every decode in the process:
// - one worker thread per pipeline unless VIPS_CONCURRENCY says otherwise: copy jobs already run one per
//   core on the scheduler's pool, so a second vips thread per job would only contend;
// - the operation cache is off: every call opens its own file, and a cache would keep decoded pixels of
//   files the user has discarded alive for nothing;
// - libvips' warnings (a damaged JPEG's "premature end" and the like) are not printed: the decoder turns
//   what matters into an error of its own;
// - freed buffers of up to 64 MiB stay in the C heap for the next picture: left to glibc's defaults, a
//   copy's decode and resample buffers (tens of MiB) were mapped, faulted in, zeroed and unmapped again for
//   every photo: 1-14 % of a copy's time on a 2-core machine.
// libvips is never shut down: pools may still be decoding while the process exits.
void ensureStarted();

} // namespace vorlane::VipsRuntime
