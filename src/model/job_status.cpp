#include "model/job_status.h"

namespace vorlane {
namespace {

enum class Mark { Any, Marked, Unmarked };
enum class From { Any, Running };
enum class To { None, Same, Queued, Running, Completed, Failed };

struct Row
{
    JobEvent event;
    Mark mark;
    From from;
    To to;
};

// First matching row wins.
constexpr Row kTable[] = {
    // event                mark after      status before  status after
    {JobEvent::Marked, Mark::Any, From::Any, To::Queued},
    {JobEvent::Started, Mark::Any, From::Any, To::Running},
    {JobEvent::CopyMade, Mark::Marked, From::Any, To::Completed},
    {JobEvent::CopyMade, Mark::Unmarked, From::Any, To::None},  // the copy is removed too
    {JobEvent::CopyStopped, Mark::Marked, From::Any, To::Same}, // a later job of the cell settles it
    {JobEvent::CopyStopped, Mark::Unmarked, From::Any, To::None},
    {JobEvent::CopyFailed, Mark::Any, From::Any, To::Failed},
    {JobEvent::Unmarked, Mark::Any, From::Running, To::Same}, // the running job's end settles it
    {JobEvent::Unmarked, Mark::Any, From::Any, To::None},
    {JobEvent::FoundOnDisk, Mark::Any, From::Any, To::Completed},
};

} // namespace

std::optional<BsideJobStatus> nextStatus(const std::optional<BsideJobStatus> &before, JobEvent event, bool marked,
                                         const QString &message)
{
    const bool running = before && before->kind() == BsideJobStatus::Case::Running;
    for (const Row &row : kTable) {
        if (row.event != event || (row.mark == Mark::Marked && !marked) || (row.mark == Mark::Unmarked && marked)
            || (row.from == From::Running && !running))
            continue;
        switch (row.to) {
        case To::None:
            return std::nullopt;
        case To::Same:
            return before;
        case To::Queued:
            return BsideJobStatus::queued();
        case To::Running:
            return BsideJobStatus::running();
        case To::Completed:
            return BsideJobStatus::completed();
        case To::Failed:
            return BsideJobStatus::failed(message);
        }
    }
    return before;
}

} // namespace vorlane
