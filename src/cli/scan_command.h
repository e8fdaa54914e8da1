#pragma once

#include <string>
#include <vector>

namespace vorlane::cli {

// vorlane-cli scan DIR [--sort name|date]: prints the grid's view of DIR as JSON on stdout.
// Returns the process exit status: 0 done, 1 the directory cannot be read, 2 bad arguments.
// Arguments are raw bytes from argv, so a folder whose name is not UTF-8 can be named.
int runScan(const std::vector<std::string> &args);

} // namespace vorlane::cli
