#pragma once

#include "catalogue/media_pair.h"

#include <QList>

namespace vorlane::PairingService {

// Joins each RAW with the first non-RAW image of the same stem (case-sensitive); everything else stays single.
// A stem that has a video forms no pair. Input in the scanner's order; output in natural order of stem,
// the cells of one stem kept in the order they were formed, each with the copy path that is its own in
// this listing (BsidePathResolver::assignCopyPaths). Pure; runs on the scanning thread.
QList<MediaPair> pair(const QList<MediaItem> &items);

// Stable sort of pairs by stem in natural file-name order (also the model's name sort).
void sortByName(QList<MediaPair> &pairs);

// Stable sort by capture date, earliest first; equal dates keep their present order.
void sortByDate(QList<MediaPair> &pairs);

} // namespace vorlane::PairingService
