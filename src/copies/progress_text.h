#pragma once

#include "copies/bside_scheduler.h"

#include <QString>

namespace vorlane {

// The one-line copy status of the top bar and the command line: "压缩 3/10 · 进行中 2 · 排队 5 · IMG_0042",
// or "已完成 12/12 · 失败 1" once everything has finished.
QString progressStatusLine(const BsideScheduler::Progress &p);

} // namespace vorlane
