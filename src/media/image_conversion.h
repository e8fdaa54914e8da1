#pragma once

#include <vips/vips8>

#include <QImage>

namespace vorlane {

// Copies a decoded 8-bit picture (1 to 4 bands) into a QImage. Any thread.
QImage toQImage(const vips::VImage &image);

} // namespace vorlane
