#pragma once

#include "copies/bside_scheduler.h"

#include <QString>

namespace vorlane {

// The one-line copy status of the top bar and the command line: "Copies 3/10 · running 2 · queued 5 ·
// IMG_0042", or "Done 12/12 · failed 1" once everything has finished (translated).
QString progressStatusLine(const BsideScheduler::Progress &p);

} // namespace vorlane
