#pragma once

#include <string>
#include <vector>

namespace vorlane::cli {

// vorlane-cli rate [--stars 0-5] [--label red|yellow|green|blue|purple|none] PATH...: sets the rating and/or
// the colour label of each PATH's cell as the keys do, in a NAME.EXT.xmp sidecar beside every file of the cell
// (and a RAW's STEM.xmp when one exists), merged with whatever the sidecars hold; originals are never written.
// Prints "ok PATH" or "failed PATH: REASON" a line each. Returns 0 when every PATH was rated, 1 when one failed,
// 2 on bad arguments.
int runRate(const std::vector<std::string> &args);

} // namespace vorlane::cli
