#pragma once

#include <string>
#include <vector>

namespace vorlane::cli {

// vorlane-cli info FILE...: one JSON object a line for each file, in the order given:
// {"file", "width", "height", "afPoints": [{"x", "y", "w", "h", "inFocus", "selected"}],
//  "histogram": {"r", "g", "b", "luma"}}. width and height are the upright picture's pixels (a clip's: its
// frame's); the points' centres and sizes are fractions of it; each histogram channel has 256 counts of the
// picture's pixels. A file that is neither a picture nor a clip gets {"file", "error"}. Returns the exit
// status: 0 done, 1 some file gave nothing, 2 bad arguments.
int runInfo(const std::vector<std::string> &args);

} // namespace vorlane::cli
