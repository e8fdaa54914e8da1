#pragma once

#include <string>
#include <vector>

namespace vorlane::cli {

// vorlane-cli copy [--jobs N] [--force] PATH...: makes the copy of every cell named (a media file, or every
// cell of a folder's listing) exactly as marking it would, on the copy scheduler. Prints one line per cell
// on stdout ("ok SOURCE -> COPY WxH BYTES", "exists SOURCE -> COPY", "failed SOURCE: MESSAGE") and the
// progress line on stderr. Returns 0 when every cell succeeded, 1 when any failed, 2 on bad usage.
int runCopy(const std::vector<std::string> &args);

} // namespace vorlane::cli
