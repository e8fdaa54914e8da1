#pragma once

#include <string>
#include <vector>

namespace vorlane::cli {

// vorlane-cli groups DIR [--sort name|date]: one JSON object a line for every still cell of DIR in the grid's
// order: {"cell": NAME, "group": N, "sharpness": S, "best": B}. Cells of one burst share N (a cell alone has
// a number of its own); S is higher for a sharper frame, comparable within a group; B is true for exactly
// one cell of each group of two or more, its sharpest. Returns the exit status: 0 done, 1 the folder cannot
// be read, 2 bad arguments.
int runGroups(const std::vector<std::string> &args);

} // namespace vorlane::cli
