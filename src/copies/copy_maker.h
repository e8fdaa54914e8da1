#pragma once

#include "catalogue/media_pair.h"
#include "copies/copy_info.h"

#include <QString>

#include <filesystem>
#include <optional>
#include <stop_token>

namespace vorlane {

// What one copy job encodes: the cell's primary file into the cell's copy path; a RAW+image pair from its
// image (preferSource), or from its RAW (source) when the image cannot be decoded.
struct CopyRequest
{
    std::filesystem::path source;
    std::filesystem::path destination;
    std::optional<std::filesystem::path> preferSource;
    bool isVideo = false;

    // Nothing when the cell has no copy path of its own (see BsidePathResolver::assignCopyPaths).
    static std::optional<CopyRequest> forPair(const MediaPair &pair);
};

// The failure shown for a cell that has no copy path of its own.
QString noCopyPathMessage();

struct CopyOutcome
{
    enum class Result { Completed, Failed, Cancelled };
    Result result = Result::Failed;
    // In the interface's language: the failure's description when Failed; a note about the copy made when
    // Completed (a video copy that could not be made smaller than its original), else empty.
    QString message;
    CopyInfo copy;   // when Completed
    // Failed because the original cannot be decoded, though it reads to its last byte (not a disk, card or
    // permission failure, nor a picture too large to copy): a broken original, which the discard may take
    // without a copy with the user's consent.
    bool undecodable = false;
};

// Runs the image or the video encoder for a request on the calling thread and reports how it ended;
// never throws. Cancellation through the token ends in Cancelled with nothing left at the destination.
CopyOutcome makeCopy(const CopyRequest &request, std::stop_token token);

} // namespace vorlane
