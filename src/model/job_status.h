#pragma once

#include <QString>

#include <optional>

namespace vorlane {

// The status of one cell's copy job. A failed status carries the failure's message.
class BsideJobStatus final
{
public:
    enum class Case { Queued, Running, Completed, Failed };

    static BsideJobStatus queued() { return BsideJobStatus(Case::Queued); }
    static BsideJobStatus running() { return BsideJobStatus(Case::Running); }
    static BsideJobStatus completed() { return BsideJobStatus(Case::Completed); }
    static BsideJobStatus failed(QString message) { return BsideJobStatus(Case::Failed, std::move(message)); }

    Case kind() const { return m_case; }
    const QString &message() const { return m_message; } // empty unless failed

    bool operator==(const BsideJobStatus &) const = default;

private:
    explicit BsideJobStatus(Case c, QString message = {})
        : m_case(c)
        , m_message(std::move(message))
    {
    }

    Case m_case;
    QString m_message;
};

// What happens to a cell's copy job, as the copy marks see it.
enum class JobEvent {
    Marked,      // the cell was marked and its job enqueued
    Started,     // its job's work began
    CopyMade,    // its job returned with the copy written
    CopyStopped, // its job was cancelled, or returned after a cancellation request
    CopyFailed,  // its job failed
    Unmarked,    // the user unmarked the cell
    FoundOnDisk, // a listing found the cell's copy on disk
};

// The one table of job states: the status a cell has after an event, given its status before (none when it
// has no job and no known copy) and whether it is marked once the event has happened. A failed event takes
// its message. Pure.
std::optional<BsideJobStatus> nextStatus(const std::optional<BsideJobStatus> &before, JobEvent event, bool marked,
                                         const QString &message = {});

} // namespace vorlane
