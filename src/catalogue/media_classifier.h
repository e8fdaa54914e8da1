#pragma once

#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <string_view>

namespace vorlane {

enum class MediaKind { Image, Video };

// Decides from a file name alone whether a file is media, of which kind, and whether it is a camera RAW.
// Pure and thread-safe: the extension sets are constants and QMimeDatabase locks internally.
namespace MediaClassifier {

bool isRawExtension(const QString &lowerExtension);
bool isImageExtension(const QString &lowerExtension);
bool isVideoExtension(const QString &lowerExtension);
// Every extension listed by name (RAW, image and video), sorted; others are taken as the MIME database says.
QStringList namedExtensions();

// Text after the last dot of the last path component, lower-cased; empty when there is none.
QString lowerExtension(const std::filesystem::path &path);

// Fixed sets first (video, image, RAW), then the shared MIME database by extension only.
std::optional<MediaKind> classify(const std::filesystem::path &path);

// True exactly when the extension is in the RAW set; never consults the MIME database.
bool isRaw(const std::filesystem::path &path);

} // namespace MediaClassifier
} // namespace vorlane
