#pragma once

// Qt Multimedia where it differs between Qt 6.4 (Debian 12) and 6.8 (Debian 13), and nowhere else.

#include <QtGlobal>

namespace vorlane::QtMultimediaCompat {

// From Qt 6.7 on, the FFmpeg backend turns and mirrors each frame by its stream's display matrix itself, and
// the video item's native size is the picture as displayed. Before, frames arrive as stored and the view
// must turn them.
inline constexpr bool kPlayerAppliesDisplayMatrix = QT_VERSION >= QT_VERSION_CHECK(6, 7, 0);

} // namespace vorlane::QtMultimediaCompat
