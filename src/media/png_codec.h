#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPair>

#include <functional>

namespace vorlane::PngCodec {

// Small PNGs (thumbnails) through libpng, both ways, with their text keys (tEXt / iTXt chunks).
using TextKeys = QHash<QByteArray, QByteArray>;

// encode: 8-bit RGB, or RGBA when the image has alpha; every row with the Up filter and fast deflate. Up
// costs a little size against the adaptive choice (mostly Paeth) but decodes in half the time, which is
// what a thumbnail read at every start needs. The text keys go uncompressed before the image data, where
// every reader finds them. Empty on failure.
QByteArray encode(const QImage &image, const QList<QPair<QByteArray, QByteArray>> &text = {});

// decode: any PNG, as ARGB32 (RGB32 when opaque), or a null image when it is broken, when either edge is
// longer than maxEdge (a bound on the memory a file can make us allocate), or when accept, shown the text
// keys found before the image data, turns it down (then no pixel is decoded).
QImage decode(QByteArrayView png, int maxEdge, const std::function<bool(const TextKeys &)> &accept = {});

} // namespace vorlane::PngCodec
