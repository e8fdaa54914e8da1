#pragma once

#include "copies/bside_scheduler.h"
#include "copies/copy_maker.h"
#include "model/folder_listing.h"
#include "model/job_status.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QUuid>

#include <filesystem>
#include <functional>
#include <memory>
#include <deque>
#include <set>
#include <stop_token>

namespace vorlane {

// The marks of the listed cells and their copy jobs: which cells are marked, each one's job status (the
// transitions are the table of nextStatus), the failures that stand, and the scheduler's progress with
// those failures counted in. Owns the one scheduler of the process.
//
// A mark starts a copy job; the encoder runs on the scheduler's worker thread and every state change comes
// back to the main thread in order. Jobs are known to the scheduler by their own id and follow their cell
// across listings by its copy path: a cell listed again while its copy is being made shows marked with the
// job's state, and unmarking it cancels that job. Everything kept for cells that no listing holds any more
// is dropped at each listing. Main thread: every method and signal.
class CopyMarks final : public QObject
{
    Q_OBJECT

public:
    using CopyFunction = std::function<CopyOutcome(const CopyRequest &, std::stop_token)>;

    // copy: the encoder call of each job; the real encoders unless a test supplies its own.
    CopyMarks(const FolderListing &listing, MachineInputs machine, CopyFunction copy, QObject *parent = nullptr);
    ~CopyMarks() override;

    const QSet<QUuid> &marked() const { return m_marked; }
    const QHash<QUuid, BsideJobStatus> &statuses() const { return m_statuses; }
    std::optional<BsideJobStatus> status(const QUuid &cellId) const;
    bool isCompleted(const QUuid &cellId) const;
    // Cells whose last job failed (and which are still listed).
    QSet<QUuid> failed() const;
    // The scheduler's latest snapshot, with the failures that stand as its failed count.
    using Progress = BsideScheduler::Progress;
    const Progress &progress() const { return m_progress; }
    BsideScheduler &scheduler() { return *m_scheduler; }

    void toggle(const QUuid &cellId);
    // Marks many cells at once (a burst's frames): the marks and statuses change at once, with one signal;
    // their jobs reach the scheduler a few hundred at a time from the event loop, so that the window never
    // waits for thousands of them. Cells already marked, locked or unknown are passed over. Returns the
    // cells marked.
    QList<QUuid> markMany(const QList<QUuid> &cellIds);
    // The same as marking or unmarking the cells these files were listed as, for cells that may not be in the
    // listing shown any more (an undo from another folder): a listed cell with the same files is toggled as
    // usual; otherwise its copy is made, or its job stopped and its own copy removed, in the background.
    // Returns how many cells changed.
    int setMarked(const QList<MediaPair> &listedAs, bool marked);

    // The marked cells whose copies are still to be made (waiting or being made, in any folder), each named
    // by its picture or clip: a mark lives in its copy, so these marks are lost if the process ends first.
    QList<std::filesystem::path> unfinished() const;
    // Gives up every unfinished copy (quitting without waiting): their jobs are cancelled and their marks
    // dropped. Returns the cells whose marks are lost, as unfinished() names them.
    QList<std::filesystem::path> abandonUnfinished();
    // Originals a discard is moving: marking and unmarking a cell that holds one is refused meanwhile. Held
    // by path, so a listing made during the run (a breadcrumb click) keeps them.
    void lock(const std::set<std::filesystem::path> &originals) { m_locked.insert(originals.begin(), originals.end()); }
    void unlock(const QList<std::filesystem::path> &originals);
    bool isLocked(const QUuid &cellId) const;

    // A new listing: marks from the copies on disk (withCopy) and from the jobs still in flight.
    // copyOfAnother: unmarked cells whose copy path holds the copy of another file (a reused name); marking
    // one makes its own copy, and the other file's copy is kept aside.
    void rebuild(const CopyFindings &copies);
    const QSet<QUuid> &copyOfAnother() const { return m_copyOfAnother; }
    // Cells with a copy whose originals cannot be read right now: whose copy it is cannot be told, so they
    // are neither marked nor unmarked until a listing can read them.
    const QSet<QUuid> &unknown() const { return m_unknown; }
    // Marked cells whose copy failed because their original cannot be decoded (it reads, but is no picture or
    // clip a decoder here makes sense of), with the failure's message.
    const QHash<QUuid, QString> &undecodable() const { return m_undecodable; }
    // After a discard: cells that left the grid, and a cell replaced by what stayed of it.
    void forget(const QUuid &cellId);
    void carryOver(const QUuid &from, const QUuid &to);

Q_SIGNALS:
    void marksChanged(); // marks or job statuses
    void progressChanged();
    // A note about a copy made (one that could not be made smaller than its original), or a key refused.
    void notice(const QString &text);

private:
    // One copy job from its enqueueing to its end.
    struct Job
    {
        QUuid cellId;               // its cell in the listing shown; null when no listed cell has its copy path
        std::filesystem::path copy; // the copy path it writes
        QList<std::filesystem::path> originals; // the cell's files: a copy is removed only when it is theirs
        bool wanted = true;         // false once its cell was unmarked: a copy it still finishes is removed
        bool started = false;
        bool handedOver = true;     // false while it waits in m_toHandOver
    };

    void mark(const QUuid &cellId);
    // Marks without signals; the job is handed to the scheduler now, or later from m_toHandOver.
    void markQuietly(const QUuid &cellId, bool handOverNow);
    QUuid newJob(const CopyRequest &request, const QUuid &cellId, bool handOverNow);
    void handOver(const QUuid &jobId, const CopyRequest &request);
    void handOverSome();
    // Stops a job: dropped if it waits, asked to stop if it runs. True when it will never run.
    bool stopJob(const QUuid &jobId);
    void unmark(const QUuid &cellId);
    void jobStarted(const QUuid &jobId);
    void jobEnded(const QUuid &jobId, const CopyOutcome &outcome, bool cancelled);
    void setStatus(const QUuid &cellId, std::optional<BsideJobStatus> status);
    void publishProgress();

    const FolderListing &m_listing;
    CopyFunction m_copy;
    QSet<QUuid> m_marked;
    QSet<QUuid> m_copyOfAnother;
    QSet<QUuid> m_unknown;
    std::deque<std::pair<QUuid, CopyRequest>> m_toHandOver; // batch jobs not yet given to the scheduler
    int m_notHandedOver = 0;                                 // of them, those not stopped meanwhile
    int m_failedCount = 0;                                   // statuses that are Failed
    QHash<QUuid, QString> m_undecodable;
    QHash<QUuid, BsideJobStatus> m_statuses;
    std::set<std::filesystem::path> m_locked;
    QHash<QUuid, Job> m_jobs;            // by job id: every job enqueued and not yet ended
    QHash<QUuid, QUuid> m_latestJob;     // cell id -> its latest job in flight
    BsideScheduler::Progress m_snapshot; // the scheduler's own
    BsideScheduler::Progress m_progress; // what is shown
    std::unique_ptr<BsideScheduler> m_scheduler;
};

} // namespace vorlane
