#pragma once

#include <QJsonObject>

#include <filesystem>
#include <optional>
#include <vector>

namespace vorlane::test {

// What ffprobe (a reader that is not ours) says about a media file.
struct MediaProbe
{
    QJsonObject format;
    std::optional<QJsonObject> video; // first video stream
    std::optional<QJsonObject> audio; // first audio stream
    int videoStreams = 0;
    int audioStreams = 0;

    // The display-matrix rotation ffprobe reports for the video stream (0 without a matrix).
    int rotation() const;
    QString videoString(const char *key) const;
    QString audioString(const char *key) const;
    int videoInt(const char *key) const;
    int audioInt(const char *key) const;
};

// Runs ffprobe on file; nullopt when ffprobe cannot read it.
std::optional<MediaProbe> probeMedia(const std::filesystem::path &file);

// Presentation times (seconds) of every packet of the first stream of the given type ("v" or "a"), sorted,
// and the packets' key-frame flags in decode order.
std::vector<double> packetTimes(const std::filesystem::path &file, const char *streamType);
std::vector<bool> videoKeyFlags(const std::filesystem::path &file);

// Top-level MP4 box types in file order ("ftyp", "moov", "mdat", …), read from the bytes.
std::vector<std::string> topLevelBoxes(const std::filesystem::path &file);

} // namespace vorlane::test
