#pragma once

#include <QStringList>

#include <filesystem>
#include <string>

namespace vorlane::test {

// Makes real media files with real tools (ImageMagick, exiftool, ffmpeg) at test time.
// Each returns false (and the test should fail) when the tool fails.

// Runs a program to completion; returns its exit status, or -1 when it could not run, died of a signal or
// did not finish within timeoutMs (it is killed then).
int runTool(const QString &program, const QStringList &args, QByteArray *output = nullptr, int timeoutMs = 600000);

// A JPEG of the given size; exiftoolTags are assignments such as "-DateTimeOriginal=...", written after.
bool makeJpeg(const std::filesystem::path &path, int width, int height, const QStringList &exiftoolTags = {});

// Writes EXIF tags into an existing file with exiftool (no backup file left behind).
bool setExif(const std::filesystem::path &path, const QStringList &exiftoolTags);

} // namespace vorlane::test
