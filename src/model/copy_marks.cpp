#include "model/copy_marks.h"

#include "model/folder_listing.h"
#include "media/main_thread.h"

#include <map>

namespace vorlane {
namespace {

void removeQuietly(const std::filesystem::path &p)
{
    std::error_code ec;
    std::filesystem::remove(p, ec);
}

bool anyOriginalLeft(const MediaPair &cell)
{
    const QList<MediaItem> originals = cell.allOriginals();
    return std::any_of(originals.begin(), originals.end(), [](const MediaItem &item) {
        std::error_code ec;
        return std::filesystem::exists(std::filesystem::symlink_status(item.path, ec));
    });
}

} // namespace

CopyMarks::CopyMarks(const FolderListing &listing, MachineInputs machine, CopyFunction copy, QObject *parent)
    : QObject(parent)
    , m_listing(listing)
    , m_copy(std::move(copy))
    , m_scheduler(std::make_unique<BsideScheduler>(std::move(machine)))
{
    const QPointer<CopyMarks> self(this);
    m_scheduler->observeProgress([self](const BsideScheduler::Progress &progress) {
        postToMain(self, [progress](CopyMarks &marks) {
            marks.m_snapshot = progress;
            marks.publishProgress();
        });
    });
}

// The copy work is stopped and joined first: it posts back to this object until the scheduler is gone.
CopyMarks::~CopyMarks() { m_scheduler.reset(); }

std::optional<BsideJobStatus> CopyMarks::status(const QUuid &cellId) const
{
    const auto it = m_statuses.constFind(cellId);
    return it == m_statuses.constEnd() ? std::nullopt : std::optional<BsideJobStatus>(*it);
}

bool CopyMarks::isCompleted(const QUuid &cellId) const
{
    const auto s = status(cellId);
    return s && s->kind() == BsideJobStatus::Case::Completed;
}

QSet<QUuid> CopyMarks::failed() const
{
    QSet<QUuid> ids;
    for (auto it = m_statuses.cbegin(); it != m_statuses.cend(); ++it) {
        if (it->kind() == BsideJobStatus::Case::Failed)
            ids.insert(it.key());
    }
    return ids;
}

void CopyMarks::unlock(const QList<std::filesystem::path> &originals)
{
    for (const auto &original : originals)
        m_locked.erase(original);
}

bool CopyMarks::isLocked(const QUuid &cellId) const
{
    if (m_locked.empty())
        return false;
    const auto cell = m_listing.pair(cellId);
    if (!cell)
        return false;
    const QList<MediaItem> originals = cell->allOriginals();
    return std::any_of(originals.begin(), originals.end(),
                       [&](const MediaItem &item) { return m_locked.count(item.path) > 0; });
}

void CopyMarks::toggle(const QUuid &cellId)
{
    if (isLocked(cellId))
        return; // its originals are on their way to the Trash: the copy is all that will be left
    if (m_marked.contains(cellId))
        unmark(cellId);
    else
        mark(cellId);
}

void CopyMarks::setStatus(const QUuid &cellId, std::optional<BsideJobStatus> status)
{
    if (status)
        m_statuses.insert(cellId, *status);
    else
        m_statuses.remove(cellId);
}

void CopyMarks::mark(const QUuid &cellId)
{
    const auto cell = m_listing.pair(cellId);
    if (!cell)
        return;
    m_marked.insert(cellId);
    m_copyOfAnother.remove(cellId);
    m_undecodable.remove(cellId);
    if (!isCompleted(cellId)) {
        if (const std::optional<CopyRequest> request = CopyRequest::forPair(*cell)) {
            setStatus(cellId, nextStatus(status(cellId), JobEvent::Marked, true));
            const QUuid jobId = QUuid::createUuid();
            m_jobs.insert(jobId, Job{cellId, request->destination, true, false});
            m_latestJob.insert(cellId, jobId);
            // Every state change goes back to the main thread, in order: "started" before the ending.
            const QPointer<CopyMarks> self(this);
            const QString name = QString::fromUtf8(request->destination.filename().native());
            m_scheduler->enqueue(jobId, name, [self, copy = m_copy, request = *request, jobId](std::stop_token token) {
                postToMain(self, [jobId](CopyMarks &marks) { marks.jobStarted(jobId); });
                const CopyOutcome outcome = copy(request, token);
                const bool cancelled = token.stop_requested();
                postToMain(
                    self, [jobId, outcome, cancelled](CopyMarks &marks) { marks.jobEnded(jobId, outcome, cancelled); });
            });
        } else {
            setStatus(cellId, nextStatus(status(cellId), JobEvent::CopyFailed, true, noCopyPathMessage()));
        }
    }
    Q_EMIT marksChanged();
    publishProgress();
}

void CopyMarks::unmark(const QUuid &cellId)
{
    m_marked.remove(cellId);
    m_undecodable.remove(cellId);
    // The copy goes with the mark, unless none of the cell's originals is left (moved or deleted by another
    // program since the listing): then the copy is all there is of the photo, and it stays.
    if (const auto cell = m_listing.pair(cellId); cell && cell->copyPath() && anyOriginalLeft(*cell))
        removeQuietly(*cell->copyPath());
    const QUuid jobId = m_latestJob.value(cellId);
    std::optional<BsideJobStatus> before = status(cellId);
    if (const auto job = m_jobs.find(jobId); !jobId.isNull() && job != m_jobs.end()) {
        job->wanted = false;
        if (m_scheduler->cancelQueued(jobId)) {
            m_jobs.erase(job); // it never ran and never will: nothing of it is left to settle
            m_latestJob.remove(cellId);
            before = std::nullopt;
        } else {
            m_scheduler->cancelRunning(jobId); // started, perhaps a moment ago: its ending settles the status
            before = BsideJobStatus::running();
        }
    }
    setStatus(cellId, nextStatus(before, JobEvent::Unmarked, false));
    Q_EMIT marksChanged();
    publishProgress();
}

void CopyMarks::jobStarted(const QUuid &jobId)
{
    const auto job = m_jobs.find(jobId);
    if (job == m_jobs.end())
        return;
    job->started = true;
    if (job->cellId.isNull() || m_latestJob.value(job->cellId) != jobId)
        return;
    setStatus(job->cellId, nextStatus(status(job->cellId), JobEvent::Started, m_marked.contains(job->cellId)));
    Q_EMIT marksChanged();
}

void CopyMarks::jobEnded(const QUuid &jobId, const CopyOutcome &outcome, bool cancelled)
{
    if (!m_jobs.contains(jobId))
        return;
    const Job job = m_jobs.take(jobId);
    const bool listed = !job.cellId.isNull();
    const bool latest = listed && m_latestJob.value(job.cellId) == jobId;
    if (latest)
        m_latestJob.remove(job.cellId);
    // Whether the copy is still wanted: its cell is marked, or, for a cell no listing shows now, it was
    // never unmarked.
    const bool wanted = listed ? m_marked.contains(job.cellId) : job.wanted;

    JobEvent event = JobEvent::CopyFailed;
    switch (outcome.result) {
    case CopyOutcome::Result::Completed:
        event = cancelled ? JobEvent::CopyStopped : JobEvent::CopyMade;
        if (!wanted) {
            // A copy left behind would bring the mark back at the next listing, so it goes as unmarking
            // would have removed it, unless another job that is still wanted writes the same copy.
            const bool anotherWants = std::any_of(m_jobs.cbegin(), m_jobs.cend(), [&](const Job &other) {
                return other.copy == job.copy && other.wanted;
            });
            if (!anotherWants)
                removeQuietly(job.copy);
        }
        break;
    case CopyOutcome::Result::Cancelled:
        // A cancelled encode leaves nothing at the destination (it writes through a temporary file), so the
        // file there, if any, belongs to another job of the same cell and stays.
        event = JobEvent::CopyStopped;
        break;
    case CopyOutcome::Result::Failed:
        event = JobEvent::CopyFailed;
        break;
    }
    if (event == JobEvent::CopyMade && wanted && !outcome.message.isEmpty())
        Q_EMIT notice(tr("%1: %2").arg(QString::fromUtf8(job.copy.filename().native()), outcome.message));
    // Only a cell's latest job settles its status; a failure of a folder left behind is forgotten with it.
    if (latest) {
        if (event == JobEvent::CopyFailed && wanted && outcome.undecodable)
            m_undecodable.insert(job.cellId, outcome.message);
        setStatus(job.cellId, nextStatus(status(job.cellId), event, wanted, outcome.message));
        Q_EMIT marksChanged();
        publishProgress();
    }
}

void CopyMarks::rebuild(const QSet<QUuid> &withCopy, const QSet<QUuid> &copyOfAnother)
{
    m_marked.clear();
    m_statuses.clear();
    m_undecodable.clear();
    m_copyOfAnother = copyOfAnother;
    std::map<std::filesystem::path, QUuid> cellByCopy;
    for (const MediaPair &p : m_listing.pairs()) {
        if (p.copyPath())
            cellByCopy.emplace(*p.copyPath(), p.id());
        if (withCopy.contains(p.id())) {
            m_marked.insert(p.id());
            setStatus(p.id(), nextStatus(std::nullopt, JobEvent::FoundOnDisk, true));
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
        m_marked.insert(it->cellId);
        m_copyOfAnother.remove(it->cellId);
        auto status = nextStatus(std::nullopt, JobEvent::Marked, true);
        if (it->started)
            status = nextStatus(status, JobEvent::Started, true);
        setStatus(it->cellId, status);
    }
    Q_EMIT marksChanged();
    publishProgress();
}

void CopyMarks::forget(const QUuid &cellId)
{
    m_marked.remove(cellId);
    m_undecodable.remove(cellId);
    m_statuses.remove(cellId);
    Q_EMIT marksChanged();
    publishProgress();
}

void CopyMarks::carryOver(const QUuid &from, const QUuid &to)
{
    if (m_marked.remove(from))
        m_marked.insert(to);
    if (m_undecodable.contains(from))
        m_undecodable.insert(to, m_undecodable.take(from));
    if (const auto s = status(from)) {
        m_statuses.remove(from);
        m_statuses.insert(to, *s);
    }
    Q_EMIT marksChanged();
}

void CopyMarks::publishProgress()
{
    // The status line counts the failures that still stand; the scheduler itself never sees outcomes.
    BsideScheduler::Progress shown = m_snapshot;
    shown.failed = failed().size();
    if (shown == m_progress)
        return;
    m_progress = shown;
    Q_EMIT progressChanged();
}

} // namespace vorlane
