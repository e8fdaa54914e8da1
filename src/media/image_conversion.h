#pragma once

#include <vips/vips8>

#include <QImage>

namespace vorlane {

// A field a camera RAW's embedded preview carries, as vips metadata and then as QImage text, so that what
// is shown can say it is the camera's rendering and not this program's of the sensor data.
inline constexpr const char *kEmbeddedPreviewField = "vorlane-embedded-preview";

// Copies a decoded 8-bit picture (1 to 4 bands) into a QImage. Any thread. Throws DecodeError when the
// picture cannot be rendered (a damaged file that failed only now).
QImage toQImage(const vips::VImage &image);

} // namespace vorlane
