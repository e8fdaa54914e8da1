#pragma once

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

// The capture date of a file: EXIF DateTimeOriginal, else DateTimeDigitized (only when no original string
// exists), else the birth time, else the modification time, else distantPast().
//
// EXIF is read only when readExif is true (still images). Video containers are never handed to the EXIF
// library: its QuickTime and RIFF parsers crash or spin on malformed clips, and videos carry no EXIF anyway.
// Thread-safe; costs one header read of the file.
QDateTime captureDate(const std::filesystem::path &path, bool readExif);

// File-system part of the rule alone (birth time, modification time, distant past).
QDateTime fileSystemDate(const std::filesystem::path &path);

// Call once at the start of main, before other threads: names the system's local zone explicitly in TZ
// (when TZ is unset), so the C library stops re-checking /etc/localtime on every date conversion, a cost
// that dominated reading thousands of capture dates. Local time itself is unchanged.
void pinLocalTimeZone();

} // namespace vorlane
