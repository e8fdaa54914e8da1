#include "copies/bside_job.h"

namespace vorlane {

size_t qHash(const BsideJobStatus &status, size_t seed)
{
    seed = ::qHash(int(status.kind()), seed);
    if (status.kind() == BsideJobStatus::Case::Failed)
        seed = ::qHash(status.message(), seed);
    return seed;
}

BsideJob::BsideJob(QUuid pairId_, std::filesystem::path source, std::filesystem::path destination, bool isVideo_)
    : id(QUuid::createUuid())
    , pairId(pairId_)
    , sourceURL(std::move(source))
    , destinationURL(std::move(destination))
    , isVideo(isVideo_)
{
}

} // namespace vorlane
