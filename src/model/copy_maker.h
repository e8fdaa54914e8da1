#pragma once

#include "catalogue/media_pair.h"

#include <QString>

#include <filesystem>
#include <optional>
#include <stop_token>

namespace vorlane {

// What one copy job encodes: the pair's primary file into its copy path; a RAW+image pair from its image.
struct CopyRequest
{
    std::filesystem::path source;
    std::filesystem::path destination;
    std::optional<std::filesystem::path> preferSource;
    bool isVideo = false;

    static CopyRequest forPair(const MediaPair &pair);
};

struct CopyOutcome
{
    enum class Result { Completed, Failed, Cancelled };
    Result result = Result::Failed;
    QString message; // the failure's description when Failed
    int width = 0;
    int height = 0;
    int64_t bytes = 0;
};

// Runs the image or the video encoder for a request on the calling thread and reports how it ended;
// never throws. Cancellation through the token ends in Cancelled with nothing left at the destination.
CopyOutcome makeCopy(const CopyRequest &request, std::stop_token token);

} // namespace vorlane
