#include "model/copy_marks.h"

#include "catalogue/copy_provenance.h"
#include "core/main_thread.h"

#include <QTimer>

#include <map>

namespace vorlane {
namespace {

bool anyLeft(const QList<std::filesystem::path> &originals)
{
    return std::any_of(originals.begin(), originals.end(), [](const std::filesystem::path &path) {
        std::error_code ec;
        return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
    });
}

// A copy goes only when it is the cell's own (it names these originals, or was made before copies named
// theirs) and some original is still there: a copy that names another file may be all that is left of that
// file, and a copy whose originals have all gone (moved or deleted by another program) is all that is left
// of them. Whatever else stands at the path stays where it is.
// Returns whose copy stood there.
CopyProvenance::Verdict removeOwnCopy(const std::filesystem::path &copy, const QList<std::filesystem::path> &originals)
{
    const CopyProvenance::Verdict verdict = CopyProvenance::judge(copy, originals);
    if (verdict != CopyProvenance::Verdict::Own && verdict != CopyProvenance::Verdict::Unrecorded)
        return verdict;
    if (!anyLeft(originals))
        return verdict;
    std::error_code ec;
    std::filesystem::remove(copy, ec);
    return verdict;
}

// Jobs handed to the scheduler in one turn of the event loop when many cells are marked at once.
constexpr int kHandOverBatch = 256;

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
    if (m_unknown.contains(cellId)) {
        const auto cell = m_listing.pair(cellId);
        Q_EMIT notice(tr("%1 cannot be read right now, so whether its copy is its own cannot be told; nothing "
                         "changed. Open the folder again once it can be read.")
                          .arg(cell ? cell->displayName() : QString()));
        return;
    }
    if (m_marked.contains(cellId))
        unmark(cellId);
    else
        mark(cellId);
}

void CopyMarks::setStatus(const QUuid &cellId, std::optional<BsideJobStatus> status)
{
    const auto isFailed = [](const std::optional<BsideJobStatus> &st) {
        return st && st->kind() == BsideJobStatus::Case::Failed;
    };
    m_failedCount += int(isFailed(status)) - int(isFailed(this->status(cellId)));
    if (status)
        m_statuses.insert(cellId, *status);
    else
        m_statuses.remove(cellId);
}

void CopyMarks::mark(const QUuid &cellId)
{
    if (!m_listing.pair(cellId))
        return;
    markQuietly(cellId, true);
    Q_EMIT marksChanged();
    publishProgress();
}

void CopyMarks::markQuietly(const QUuid &cellId, bool handOverNow)
{
    const auto cell = m_listing.pair(cellId);
    if (!cell)
        return;
    m_marked.insert(cellId);
    m_copyOfAnother.remove(cellId);
    m_undecodable.remove(cellId);
    if (isCompleted(cellId))
        return;
    if (const std::optional<CopyRequest> request = CopyRequest::forPair(*cell)) {
        setStatus(cellId, nextStatus(status(cellId), JobEvent::Marked, true));
        m_latestJob.insert(cellId, newJob(*request, cellId, handOverNow));
    } else {
        setStatus(cellId, nextStatus(status(cellId), JobEvent::CopyFailed, true, noCopyPathMessage()));
    }
}

QUuid CopyMarks::newJob(const CopyRequest &request, const QUuid &cellId, bool handOverNow)
{
    const QUuid jobId = QUuid::createUuid();
    QList<std::filesystem::path> originals{request.source};
    if (request.preferSource && *request.preferSource != request.source)
        originals.append(*request.preferSource);
    m_jobs.insert(jobId, Job{cellId, request.destination, originals, true, false, handOverNow});
    if (handOverNow) {
        handOver(jobId, request);
    } else {
        if (m_toHandOver.empty())
            QTimer::singleShot(0, this, &CopyMarks::handOverSome);
        m_toHandOver.emplace_back(jobId, request);
        ++m_notHandedOver;
    }
    return jobId;
}

void CopyMarks::handOver(const QUuid &jobId, const CopyRequest &request)
{
    // Every state change goes back to the main thread, in order: "started" before the ending.
    const QPointer<CopyMarks> self(this);
    const QString name = QString::fromUtf8(request.destination.filename().native());
    m_scheduler->enqueue(jobId, name, [self, copy = m_copy, request, jobId](std::stop_token token) {
        postToMain(self, [jobId](CopyMarks &marks) { marks.jobStarted(jobId); });
        const CopyOutcome outcome = copy(request, token);
        const bool cancelled = token.stop_requested();
        postToMain(self, [jobId, outcome, cancelled](CopyMarks &marks) { marks.jobEnded(jobId, outcome, cancelled); });
    });
}

void CopyMarks::handOverSome()
{
    for (int n = 0; n < kHandOverBatch && !m_toHandOver.empty(); ++n) {
        const auto [jobId, request] = std::move(m_toHandOver.front());
        m_toHandOver.pop_front();
        const auto job = m_jobs.find(jobId);
        if (job == m_jobs.end())
            continue; // stopped before it was handed over
        job->handedOver = true;
        --m_notHandedOver;
        handOver(jobId, request);
    }
    if (!m_toHandOver.empty())
        QTimer::singleShot(0, this, &CopyMarks::handOverSome);
}

bool CopyMarks::stopJob(const QUuid &jobId)
{
    const auto job = m_jobs.find(jobId);
    if (job == m_jobs.end())
        return true;
    job->wanted = false;
    if (!job->handedOver)
        --m_notHandedOver;
    if (!job->handedOver || m_scheduler->cancelQueued(jobId)) {
        m_jobs.erase(job); // it never ran and never will: nothing of it is left to settle
        return true;
    }
    m_scheduler->cancelRunning(jobId); // started, perhaps a moment ago: its ending settles the status
    return false;
}

QList<QUuid> CopyMarks::markMany(const QList<QUuid> &cellIds)
{
    QList<QUuid> marked;
    for (const QUuid &cellId : cellIds) {
        if (m_marked.contains(cellId) || m_unknown.contains(cellId) || isLocked(cellId) || !m_listing.pair(cellId))
            continue;
        markQuietly(cellId, false);
        marked.append(cellId);
    }
    if (!marked.isEmpty()) {
        Q_EMIT marksChanged();
        publishProgress();
    }
    return marked;
}

int CopyMarks::setMarked(const QList<MediaPair> &listedAs, bool marked)
{
    std::map<std::filesystem::path, QUuid> listed;
    for (const MediaPair &cell : m_listing.pairs()) {
        if (cell.copyPath())
            listed.emplace(*cell.copyPath(), cell.id());
    }
    int changed = 0;
    for (const MediaPair &was : listedAs) {
        if (!was.copyPath())
            continue;
        const std::filesystem::path &copy = *was.copyPath();
        if (const auto it = listed.find(copy); it != listed.end()) {
            const auto cell = m_listing.pair(it->second);
            if (cell && cell->originalPaths() == was.originalPaths()) {
                if (m_marked.contains(cell->id()) != marked && !isLocked(cell->id()) && !m_unknown.contains(cell->id())) {
                    toggle(cell->id());
                    ++changed;
                }
                continue;
            }
        }
        // Not listed now: its jobs are found by their copy path, and a later listing shows what they leave.
        QList<QUuid> jobs;
        for (auto job = m_jobs.cbegin(); job != m_jobs.cend(); ++job) {
            if (job->copy == copy && job->wanted)
                jobs.append(job.key());
        }
        if (marked) {
            const auto verdict = CopyProvenance::judge(copy, was.originalPaths());
            if (jobs.isEmpty() && verdict != CopyProvenance::Verdict::Own && verdict != CopyProvenance::Verdict::Unknown) {
                if (const std::optional<CopyRequest> request = CopyRequest::forPair(was)) {
                    newJob(*request, QUuid(), true);
                    ++changed;
                }
            }
        } else {
            for (const QUuid &jobId : jobs)
                stopJob(jobId);
            const bool hadCopy = CopyProvenance::judge(copy, was.originalPaths()) != CopyProvenance::Verdict::Absent;
            removeOwnCopy(copy, was.originalPaths());
            changed += !jobs.isEmpty() || hadCopy ? 1 : 0;
        }
    }
    publishProgress();
    return changed;
}

QList<std::filesystem::path> CopyMarks::unfinished() const
{
    QList<std::filesystem::path> originals;
    for (const Job &job : m_jobs) {
        if (job.wanted && !job.originals.isEmpty() && !originals.contains(job.originals.last()))
            originals.append(job.originals.last());
    }
    std::sort(originals.begin(), originals.end());
    return originals;
}

QList<std::filesystem::path> CopyMarks::abandonUnfinished()
{
    const QList<std::filesystem::path> lost = unfinished();
    for (const QUuid &jobId : m_jobs.keys()) {
        const QUuid cellId = m_jobs.value(jobId).cellId;
        stopJob(jobId);
        if (!cellId.isNull() && m_latestJob.value(cellId) == jobId) {
            m_marked.remove(cellId);
            m_latestJob.remove(cellId);
            setStatus(cellId, std::nullopt);
        }
    }
    m_toHandOver.clear();
    Q_EMIT marksChanged();
    publishProgress();
    return lost;
}

void CopyMarks::unmark(const QUuid &cellId)
{
    m_marked.remove(cellId);
    m_undecodable.remove(cellId);
    // Another photo's copy stays, and its cell shows so again.
    if (const auto cell = m_listing.pair(cellId); cell && cell->copyPath()
        && removeOwnCopy(*cell->copyPath(), cell->originalPaths()) == CopyProvenance::Verdict::Another)
        m_copyOfAnother.insert(cellId);
    const QUuid jobId = m_latestJob.value(cellId);
    std::optional<BsideJobStatus> before = status(cellId);
    if (!jobId.isNull() && m_jobs.contains(jobId)) {
        if (stopJob(jobId)) {
            m_latestJob.remove(cellId);
            before = std::nullopt;
        } else {
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
                removeOwnCopy(job.copy, job.originals);
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

void CopyMarks::rebuild(const CopyFindings &copies)
{
    m_marked.clear();
    m_statuses.clear();
    m_failedCount = 0;
    m_undecodable.clear();
    m_copyOfAnother = copies.copyOfAnother;
    m_unknown = copies.unknown;
    const QSet<QUuid> &withCopy = copies.withCopy;
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
        m_unknown.remove(it->cellId);
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
    m_unknown.remove(cellId);
    m_undecodable.remove(cellId);
    setStatus(cellId, std::nullopt);
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
        setStatus(from, std::nullopt);
        setStatus(to, *s);
    }
    Q_EMIT marksChanged();
}

void CopyMarks::publishProgress()
{
    // The status line counts the failures that still stand; the scheduler itself never sees outcomes.
    // Jobs a batch has not handed to the scheduler yet count as waiting already.
    BsideScheduler::Progress shown = m_snapshot;
    shown.failed = m_failedCount;
    shown.queued += m_notHandedOver;
    shown.total += m_notHandedOver;
    if (shown == m_progress)
        return;
    m_progress = shown;
    Q_EMIT progressChanged();
}

} // namespace vorlane
