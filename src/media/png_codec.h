#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>

namespace vorlane::PngCodec {

// Small PNGs (thumbnails) through libpng, both ways.
//
// encode: 8-bit RGB, or RGBA when the image has alpha; every row with the Up filter and fast deflate. Up
// costs a little size against the adaptive choice (mostly Paeth) but decodes in half the time, which is
// what a thumbnail read at every start needs. Empty on failure.
QByteArray encode(const QImage &image);

// decode: any PNG, as ARGB32 (RGB32 when opaque), or a null image when it is broken or either edge is
// longer than maxEdge (a bound on the memory a file can make us allocate).
QImage decode(QByteArrayView png, int maxEdge);

} // namespace vorlane::PngCodec
