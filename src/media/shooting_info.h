#pragma once

#include <QDateTime>
#include <QSize>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace vorlane {

// What a photographer checks about a photo or a clip, as far as the file records it: a field the file does
// not carry stays empty (never zero).
struct ShootingInfo
{
    // Photos, from the EXIF.
    std::optional<QDateTime> captured; // DateTimeOriginal, local wall-clock time
    QString camera;                    // make and model, the make said once
    QString lens;
    std::optional<double> exposureSeconds;
    std::optional<double> fNumber;
    std::optional<int> iso;
    std::optional<double> focalLengthMm;
    std::optional<double> exposureBiasEv;
    // Videos, from the container.
    std::optional<double> durationSeconds;
    std::optional<double> framesPerSecond;
    QString codec;
    // Both: the picture's size as shown (turned upright), and the file's size.
    QSize size;
    int64_t fileBytes = 0;

    // Reads a file's information: the EXIF of a still picture or RAW (judged by its content), or the header of
    // a video. Any thread; costs a header read.
    static ShootingInfo read(const std::filesystem::path &file, bool isVideo);
};

} // namespace vorlane
