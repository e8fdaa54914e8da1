#pragma once

#include <vips/vips8>

#include <QImage>

namespace vorlane {

// Copies a decoded 8-bit picture (1 to 4 bands) into a QImage. Any thread. Throws DecodeError when the
// picture cannot be rendered (a damaged file that failed only now).
QImage toQImage(const vips::VImage &image);

} // namespace vorlane
