#include "model/job_status.h"

namespace vorlane {

size_t qHash(const BsideJobStatus &status, size_t seed)
{
    seed = ::qHash(int(status.kind()), seed);
    if (status.kind() == BsideJobStatus::Case::Failed)
        seed = ::qHash(status.message(), seed);
    return seed;
}

} // namespace vorlane
