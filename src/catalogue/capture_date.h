#pragma once

#include "catalogue/decision.h"

#include <QDateTime>
#include <QString>

#include <filesystem>
#include <optional>

namespace vorlane {

// 0001-01-01 00:00:00 UTC: the date of a file with no usable date; sorts first.
QDateTime distantPast();

// Parses an EXIF date "yyyy:MM:dd HH:mm:ss" as local wall-clock time; nullopt for anything else,
// an all-zero camera date included.
std::optional<QDateTime> parseExifDate(const QString &text);

// The capture date of a file. A still image (kind Image): EXIF DateTimeOriginal, else DateTimeDigitized (only
// when no original string exists). A clip (kind Video): the recording date of its QuickTime or MP4 movie
// header, or of an AVI's IDIT chunk (clipRecordingTime), so that a card's clips and photos of one day
// interleave even after a copy gave every file a new time. Then, for both and for anything else: the birth
// time, else the modification time, else distantPast().
//
// Video containers are never handed to the EXIF library: its QuickTime and RIFF parsers crash or spin on
// malformed clips. Thread-safe; costs one header read of the file.
enum class DatedAs { Image, Video, FileOnly };
QDateTime captureDate(const std::filesystem::path &path, DatedAs kind);

// What the same read of a still's metadata also gives: its camera (make said once), its lens, and the decision
// the photo itself records (its XMP rating and label, else the EXIF Rating a camera writes).
struct StillFacts
{
    QString camera;
    QString lens;
    std::optional<Decision> decision;
    bool operator==(const StillFacts &) const = default;
};

// The camera's part of the rule alone: the EXIF date of a still, the container's date of a clip; nullopt
// when the file carries none (a file's own times say when it was copied, not when it was shot). For a
// still, facts (when given) receive the rest of what its metadata says.
std::optional<QDateTime> recordedDate(const std::filesystem::path &path, DatedAs kind, StillFacts *facts = nullptr);

// A camera's name from its make and model, the make said once: most cameras repeat it, or its first word, in
// the model ("Canon" + "Canon EOS 7D", "NIKON CORPORATION" + "NIKON D7100").
QString cameraName(const QString &make, const QString &model);

// File-system part of the rule alone (birth time, modification time, distant past).
QDateTime fileSystemDate(const std::filesystem::path &path);

// Call once at the start of main, before other threads: names the system's local zone explicitly in TZ
// (when TZ is unset), so the C library stops re-checking /etc/localtime on every date conversion, a cost
// that dominated reading thousands of capture dates. Local time itself is unchanged.
void pinLocalTimeZone();

} // namespace vorlane
