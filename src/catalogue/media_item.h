#pragma once

#include "catalogue/capture_date.h"
#include "catalogue/media_classifier.h"
#include "core/file_key.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <filesystem>
#include <string>

namespace vorlane {

// One photo or video file of a listing. A plain value: free to copy and pass between threads.
// The path is kept as bytes (std::filesystem::path), so a name that is not UTF-8 still names its own file;
// QString forms exist for display only.
struct MediaItem
{
    using Kind = MediaKind;

    // Reads the capture date, so it touches the disk: build items off the interface thread.
    MediaItem(std::filesystem::path path, Kind kind, bool isRaw);

    QUuid id;
    std::filesystem::path path;
    Kind kind = Kind::Image;
    bool isRaw = false;
    std::string stemKey; // file name without its last extension, as bytes, case kept
    QDateTime dateTaken;
    bool dateRecorded = false; // dateTaken is the camera's (EXIF or movie header), not the file's own time
    // The file's size and modification time when it was listed (0 when not known): a file replaced since
    // is another picture, so caches of pictures key on them.
    int64_t bytes = 0;
    int64_t modifiedNs = 0;
    // A still's camera and lens, and the rating and label it records itself (empty for a clip).
    StillFacts facts;

    // The key caches of pictures know this file by, as it was listed.
    FileKey key() const { return FileKey{path, bytes, modifiedNs}; }
    QString displayName() const; // the file name, for display
    QString filename() const { return displayName(); }

    bool operator==(const MediaItem &) const = default;
};

// Stem of a file name: everything before the last dot; a name without a dot is its own stem.
std::string stemOf(const std::filesystem::path &path);

// The path as text for display or JSON; bytes that are not UTF-8 show as U+FFFD.
QString displayPath(const std::filesystem::path &path);

size_t qHash(const MediaItem &item, size_t seed = 0);

} // namespace vorlane
