// Marking: the copy job of each marked pair, unmarking, and marks rebuilt from the copies on disk.
#include "model/app_model.h"

#include "model/main_thread.h"

namespace vorlane {
namespace {

void removeQuietly(const std::filesystem::path &p)
{
    std::error_code ec;
    std::filesystem::remove(p, ec);
}

} // namespace

std::optional<MediaPair> AppModel::pair(const QUuid &id) const
{
    for (const MediaPair &p : m_pairs) {
        if (p.id() == id)
            return p;
    }
    return std::nullopt;
}

void AppModel::toggleMark(const QUuid &pairId)
{
    if (m_markedPairIds.contains(pairId))
        unmark(pairId);
    else
        mark(pairId);
}

void AppModel::mark(const QUuid &pairId)
{
    const auto p = pair(pairId);
    if (!p)
        return;
    QSet<QUuid> marked = m_markedPairIds;
    marked.insert(pairId);
    set(m_markedPairIds, std::move(marked), Field::MarkedPairIds);
    const auto status = m_jobStatus.constFind(pairId);
    if (status != m_jobStatus.constEnd() && status->kind() == BsideJobStatus::Case::Completed)
        return;

    const std::optional<CopyRequest> found = CopyRequest::forPair(*p);
    QHash<QUuid, BsideJobStatus> statuses = m_jobStatus;
    if (!found) {
        statuses.insert(pairId, BsideJobStatus::failed(noCopyPathMessage()));
        set(m_jobStatus, std::move(statuses), Field::JobStatus);
        QSet<QUuid> failed = m_failedPairIds;
        failed.insert(pairId);
        set(m_failedPairIds, std::move(failed), Field::FailedPairIds);
        return;
    }
    const CopyRequest &request = *found;
    statuses.insert(pairId, BsideJobStatus::queued());
    set(m_jobStatus, std::move(statuses), Field::JobStatus);

    // The encoder runs on the scheduler's worker thread; every model write goes back to the main thread,
    // in order: "running" is always applied before the job's ending.
    const QPointer<AppModel> self(this);
    const QString name = QString::fromUtf8(request.destination.filename().native());
    m_scheduler->enqueue(pairId, name, [self, copy = m_copy, request, pairId](std::stop_token token) {
        postToMain(self, [pairId](AppModel &model) { model.jobStarted(pairId); });
        const CopyOutcome outcome = copy(request, token);
        const bool cancelled = token.stop_requested();
        postToMain(self, [pairId, dest = request.destination, outcome, cancelled](AppModel &model) {
            model.jobEnded(pairId, dest, outcome, cancelled);
        });
    });
}

void AppModel::jobStarted(const QUuid &pairId)
{
    QHash<QUuid, BsideJobStatus> statuses = m_jobStatus;
    statuses.insert(pairId, BsideJobStatus::running());
    set(m_jobStatus, std::move(statuses), Field::JobStatus);
}

void AppModel::jobEnded(const QUuid &pairId, const Path &dest, const CopyOutcome &outcome, bool cancelled)
{
    const bool marked = m_markedPairIds.contains(pairId);
    QHash<QUuid, BsideJobStatus> statuses = m_jobStatus;
    QSet<QUuid> failed = m_failedPairIds;
    switch (outcome.result) {
    case CopyOutcome::Result::Completed:
        if (marked && !cancelled) {
            statuses.insert(pairId, BsideJobStatus::completed());
            failed.remove(pairId);
        } else if (!marked) {
            // The pair was unmarked while its copy was being made: a copy left behind would bring the
            // mark back at the next listing, so it goes as unmarking would have removed it.
            statuses.remove(pairId);
            removeQuietly(dest);
        }
        break;
    case CopyOutcome::Result::Cancelled:
        // A cancelled encode leaves nothing at the destination (it writes through a temporary file), so
        // the file there, if any, belongs to another job of the same pair and stays.
        if (!marked)
            statuses.remove(pairId);
        failed.remove(pairId);
        break;
    case CopyOutcome::Result::Failed: {
        statuses.insert(pairId, BsideJobStatus::failed(outcome.message));
        failed.insert(pairId);
        ++m_failedJobs;
        BsideScheduler::Progress progress = m_schedulerProgress;
        progress.failed = m_failedJobs;
        set(m_schedulerProgress, progress, Field::SchedulerProgress);
        break;
    }
    }
    set(m_jobStatus, std::move(statuses), Field::JobStatus);
    set(m_failedPairIds, std::move(failed), Field::FailedPairIds);
}

void AppModel::unmark(const QUuid &pairId)
{
    QSet<QUuid> marked = m_markedPairIds;
    marked.remove(pairId);
    set(m_markedPairIds, std::move(marked), Field::MarkedPairIds);

    const auto found = m_jobStatus.constFind(pairId);
    const std::optional<BsideJobStatus> status =
        found == m_jobStatus.constEnd() ? std::nullopt : std::optional<BsideJobStatus>(*found);
    if (const auto p = pair(pairId); p && p->copyPath())
        removeQuietly(*p->copyPath());

    QHash<QUuid, BsideJobStatus> statuses = m_jobStatus;
    QSet<QUuid> failed = m_failedPairIds;
    QSet<QUuid> restored = m_restoredCompleted;
    const auto kind = status ? std::optional(status->kind()) : std::nullopt;
    if (kind == BsideJobStatus::Case::Queued) {
        m_scheduler->cancelQueued(pairId);
        statuses.remove(pairId);
    } else if (kind == BsideJobStatus::Case::Running) {
        m_scheduler->cancelRunning(pairId);
    } else if (kind == BsideJobStatus::Case::Completed) {
        statuses.remove(pairId);
        restored.remove(pairId);
    } else {
        statuses.remove(pairId);
        failed.remove(pairId);
    }
    set(m_jobStatus, std::move(statuses), Field::JobStatus);
    set(m_failedPairIds, std::move(failed), Field::FailedPairIds);
    set(m_restoredCompleted, std::move(restored), Field::RestoredCompleted);
}

void AppModel::restoreMarkings(const QList<MediaPair> &pairs, const QSet<QUuid> &withCopy)
{
    if (withCopy.isEmpty())
        return;
    QSet<QUuid> marked = m_markedPairIds;
    QHash<QUuid, BsideJobStatus> statuses = m_jobStatus;
    QSet<QUuid> restored = m_restoredCompleted;
    for (const MediaPair &p : pairs) {
        if (!withCopy.contains(p.id()))
            continue;
        marked.insert(p.id());
        statuses.insert(p.id(), BsideJobStatus::completed());
        restored.insert(p.id());
    }
    set(m_markedPairIds, std::move(marked), Field::MarkedPairIds);
    set(m_jobStatus, std::move(statuses), Field::JobStatus);
    set(m_restoredCompleted, std::move(restored), Field::RestoredCompleted);
}

} // namespace vorlane
