#include "copies/copy_maker.h"

#include "copies/copy_error.h"
#include "copies/image_compressor.h"
#include "copies/video_compressor.h"
#include "media/cancellation.h"

#include <QThread>

#include <cstring>

namespace vorlane {

std::optional<CopyRequest> CopyRequest::forPair(const MediaPair &pair)
{
    if (!pair.copyPath())
        return std::nullopt;
    CopyRequest request;
    request.source = pair.rawItem() ? pair.rawItem()->path : pair.primary().path;
    request.destination = *pair.copyPath();
    if (pair.imageItem())
        request.preferSource = pair.imageItem()->path;
    request.isVideo = pair.isVideo();
    return request;
}

QString noCopyPathMessage()
{
    return QStringLiteral("no copy name of its own: another file of this folder would share it (rename one of them)");
}

CopyOutcome makeCopy(const CopyRequest &request, std::stop_token token)
{
    CopyOutcome outcome;
    try {
        if (request.isVideo) {
            const auto info = VideoCompressor::compress(request.source, request.destination, token,
                                                        std::max(1, QThread::idealThreadCount()));
            outcome.width = info.width;
            outcome.height = info.height;
            outcome.bytes = info.bytes;
        } else {
            const auto info
                = ImageCompressor::compress(request.source, request.destination, request.preferSource, token);
            outcome.width = info.width;
            outcome.height = info.height;
            outcome.bytes = info.bytes;
        }
        outcome.result = CopyOutcome::Result::Completed;
    } catch (const CancelledError &) {
        outcome.result = CopyOutcome::Result::Cancelled;
    } catch (const CopyError &e) {
        outcome.result = CopyOutcome::Result::Failed;
        outcome.message = QString::fromUtf8(e.what());
    } catch (const std::bad_alloc &) {
        outcome.result = CopyOutcome::Result::Failed;
        outcome.message = QStringLiteral("not enough memory to make the copy");
    } catch (const std::exception &e) { // a library error that slipped past its wrapper: still a clean failure
        outcome.result = CopyOutcome::Result::Failed;
        outcome.message = QString::fromUtf8(e.what());
    }
    return outcome;
}

} // namespace vorlane
