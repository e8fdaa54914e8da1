// Marking: the copy job of each marked cell, unmarking, and marks rebuilt from the copies on disk.
#include "model/app_model.h"

#include "model/main_thread.h"

#include <map>

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
    if (!p || m_discarding.contains(pairId))
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
        publishFailures(std::move(failed));
        return;
    }
    const CopyRequest &request = *found;
    statuses.insert(pairId, BsideJobStatus::queued());
    set(m_jobStatus, std::move(statuses), Field::JobStatus);

    const QUuid jobId = QUuid::createUuid();
    m_jobs.insert(jobId, CopyJob{pairId, request.destination, true, false});
    m_latestJob.insert(pairId, jobId);

    // The encoder runs on the scheduler's worker thread; every model write goes back to the main thread,
    // in order: "running" is always applied before the job's ending.
    const QPointer<AppModel> self(this);
    const QString name = QString::fromUtf8(request.destination.filename().native());
    m_scheduler->enqueue(jobId, name, [self, copy = m_copy, request, jobId](std::stop_token token) {
        postToMain(self, [jobId](AppModel &model) { model.jobStarted(jobId); });
        const CopyOutcome outcome = copy(request, token);
        const bool cancelled = token.stop_requested();
        postToMain(self, [jobId, outcome, cancelled](AppModel &model) { model.jobEnded(jobId, outcome, cancelled); });
    });
}

void AppModel::jobStarted(const QUuid &jobId)
{
    const auto job = m_jobs.find(jobId);
    if (job == m_jobs.end())
        return;
    job->started = true;
    if (job->cellId.isNull() || m_latestJob.value(job->cellId) != jobId)
        return;
    QHash<QUuid, BsideJobStatus> statuses = m_jobStatus;
    statuses.insert(job->cellId, BsideJobStatus::running());
    set(m_jobStatus, std::move(statuses), Field::JobStatus);
}

void AppModel::jobEnded(const QUuid &jobId, const CopyOutcome &outcome, bool cancelled)
{
    if (!m_jobs.contains(jobId))
        return;
    const CopyJob job = m_jobs.take(jobId);
    const bool listed = !job.cellId.isNull();
    const bool latest = listed && m_latestJob.value(job.cellId) == jobId;
    if (latest)
        m_latestJob.remove(job.cellId);
    // Whether the copy is still wanted: its cell is marked, or, for a cell no listing shows now, it was
    // never unmarked.
    const bool wanted = listed ? m_markedPairIds.contains(job.cellId) : job.wanted;

    QHash<QUuid, BsideJobStatus> statuses = m_jobStatus;
    QSet<QUuid> failed = m_failedPairIds;
    switch (outcome.result) {
    case CopyOutcome::Result::Completed:
        if (!wanted) {
            // The cell was unmarked while its copy was being made: a copy left behind would bring the mark
            // back at the next listing, so it goes as unmarking would have removed it, unless another job
            // that is still wanted writes the same copy.
            const bool anotherWants = std::any_of(m_jobs.cbegin(), m_jobs.cend(), [&](const CopyJob &other) {
                return other.copy == job.copy && other.wanted;
            });
            if (!anotherWants)
                removeQuietly(job.copy);
            if (latest)
                statuses.remove(job.cellId);
        } else if (latest && !cancelled) {
            statuses.insert(job.cellId, BsideJobStatus::completed());
            failed.remove(job.cellId);
        }
        break;
    case CopyOutcome::Result::Cancelled:
        // A cancelled encode leaves nothing at the destination (it writes through a temporary file), so
        // the file there, if any, belongs to another job of the same cell and stays.
        if (latest && !wanted)
            statuses.remove(job.cellId);
        if (listed)
            failed.remove(job.cellId);
        break;
    case CopyOutcome::Result::Failed:
        // A failure stands only for a cell that is listed; one of a folder left behind is forgotten with it.
        if (latest) {
            statuses.insert(job.cellId, BsideJobStatus::failed(outcome.message));
            failed.insert(job.cellId);
        }
        break;
    }
    set(m_jobStatus, std::move(statuses), Field::JobStatus);
    publishFailures(std::move(failed));
}

void AppModel::unmark(const QUuid &pairId)
{
    if (m_discarding.contains(pairId))
        return; // its originals are on their way to the Trash: the copy is all that will be left
    QSet<QUuid> marked = m_markedPairIds;
    marked.remove(pairId);
    set(m_markedPairIds, std::move(marked), Field::MarkedPairIds);

    if (const auto p = pair(pairId); p && p->copyPath())
        removeQuietly(*p->copyPath());

    QHash<QUuid, BsideJobStatus> statuses = m_jobStatus;
    QSet<QUuid> failed = m_failedPairIds;
    QSet<QUuid> restored = m_restoredCompleted;
    const QUuid jobId = m_latestJob.value(pairId);
    const auto job = m_jobs.find(jobId);
    if (!jobId.isNull() && job != m_jobs.end()) {
        job->wanted = false;
        if (m_scheduler->cancelQueued(jobId)) {
            // It never ran and never will: nothing of it is left to settle.
            m_jobs.erase(job);
            m_latestJob.remove(pairId);
            statuses.remove(pairId);
        } else {
            // Started (perhaps a moment ago): it stops at its next check, and its ending settles the status.
            m_scheduler->cancelRunning(jobId);
        }
    } else {
        statuses.remove(pairId);
        failed.remove(pairId);
        restored.remove(pairId);
    }
    set(m_jobStatus, std::move(statuses), Field::JobStatus);
    set(m_restoredCompleted, std::move(restored), Field::RestoredCompleted);
    publishFailures(std::move(failed));
}

void AppModel::rebuildMarks(const QList<MediaPair> &pairs, const QSet<QUuid> &withCopy)
{
    QSet<QUuid> marked;
    QHash<QUuid, BsideJobStatus> statuses;
    QSet<QUuid> restored;
    std::map<std::filesystem::path, QUuid> cellByCopy;
    for (const MediaPair &p : pairs) {
        if (p.copyPath())
            cellByCopy.emplace(*p.copyPath(), p.id());
        if (withCopy.contains(p.id())) {
            marked.insert(p.id());
            statuses.insert(p.id(), BsideJobStatus::completed());
            restored.insert(p.id());
        }
    }
    // Jobs still in flight follow their copy path to the new listing's cell; those of folders no longer
    // shown go on in the background and only settle their own files.
    m_latestJob.clear();
    for (auto it = m_jobs.begin(); it != m_jobs.end(); ++it) {
        const auto cell = cellByCopy.find(it->copy);
        it->cellId = cell == cellByCopy.end() ? QUuid() : cell->second;
        if (it->cellId.isNull() || !it->wanted)
            continue;
        m_latestJob.insert(it->cellId, it.key());
        marked.insert(it->cellId);
        statuses.insert(it->cellId, it->started ? BsideJobStatus::running() : BsideJobStatus::queued());
        restored.remove(it->cellId);
    }
    set(m_markedPairIds, std::move(marked), Field::MarkedPairIds);
    set(m_jobStatus, std::move(statuses), Field::JobStatus);
    set(m_restoredCompleted, std::move(restored), Field::RestoredCompleted);
    publishFailures({});
}

void AppModel::publishFailures(QSet<QUuid> failed)
{
    set(m_failedPairIds, std::move(failed), Field::FailedPairIds);
    // The status line counts the failures that still stand; the scheduler itself never sees outcomes.
    BsideScheduler::Progress shown = m_lastSnapshot;
    shown.failed = m_failedPairIds.size();
    set(m_schedulerProgress, shown, Field::SchedulerProgress);
}

} // namespace vorlane
