#pragma once

#include "catalogue/media_item.h"
#include "core/background_jobs.h"
#include "model/trash_service.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QUuid>

#include <filesystem>
#include <functional>
#include <stop_token>
#include <optional>
#include <set>

namespace vorlane {

class CopyMarks;
class FolderListing;
class GridCursor;

// A press of the discard button: the originals of every marked cell of the listing whose copy is complete
// go to the Trash, on a thread of its own so that neither the window nor a decode elsewhere waits for it.
// While it runs, its cells can be neither marked nor unmarked. Cells whose files all moved leave the grid;
// a cell whose files the Trash refused stays, marked (what stayed of a RAW+image pair becomes a cell of its
// own); the summary says how many files moved and failed, the first refusal's reason, and how many marked
// cells were skipped and why. Main thread.
class DiscardRun final : public QObject
{
    Q_OBJECT

public:
    DiscardRun(FolderListing &listing, CopyMarks &marks, GridCursor &cursor, QObject *parent = nullptr);
    ~DiscardRun() override;

    bool isTrashing() const { return m_isTrashing; }
    const std::optional<QString> &lastResult() const { return m_lastResult; }
    void clearLastResult();

    // The cells a press takes: marked cells of this listing whose copy is complete (while a run moves them,
    // the cells it is moving).
    int discardableCount() const;
    // Marked cells of this listing whose copy failed because their original cannot be decoded: a press takes
    // them only with the user's consent (start(true)), each file with the reason its copy failed.
    struct Broken
    {
        QUuid cellId;
        QList<std::filesystem::path> originals;
        QString reason;
    };
    QList<Broken> brokenOriginals() const;
    // consented: broken cells the user was shown and agreed to discard without a copy; only those go (a copy
    // that failed while the question was asked waits for the next press). Every file must still be the one
    // listed (its size and time); one that changed since stays.
    //
    // Before an original with a copy moves, every byte of it is read and checked against what its copy
    // records, so the run takes as long as reading the originals: progress() says how far it is, and
    // cancel() stops it between files (what moved stays moved, and Ctrl+Z takes it back).
    void start(const QSet<QUuid> &consented = {});
    void cancel();
    // Bytes of originals checked so far and in all, while a run checks them.
    QPair<int64_t, int64_t> progress() const { return {m_checked, m_toCheck}; }

    // Ctrl+Z: the originals the last discard moved go back from the Trash where they were (the folder is
    // listed again, so their cells come back with their marks, since their copies stayed). Files gone from
    // the Trash, or whose place is taken, stay where they are and the message says why.
    // entries: what a discard moved, as moved() reported it.
    void undo(const QList<TrashService::Trashed> &entries);

Q_SIGNALS:
    void trashingChanged();
    void resultChanged();
    void progressChanged();
    // A run moved files: the entries an undo puts back.
    void movedToTrash(const QList<TrashService::Trashed> &entries);
    void finished();

private:
    // A cell a press takes: its originals and the copy they must match.
    struct Target
    {
        QUuid cellId;
        QList<std::filesystem::path> originals;
        std::filesystem::path copy; // empty for a broken original, which goes without one
        QList<MediaItem> listed;    // a broken original's files as listed: each must still be that file
    };
    // Why a cell's originals stay, in the interface's language (made on the main thread).
    struct Refusals
    {
        QString missingCopy;
        QString anotherFilesCopy;
        QString changedSinceFailure;
        QString changedSinceCopy;
        QString unreadable;
        QString stopped;
    };
    struct Outcome
    {
        QUuid cellId;
        QList<std::filesystem::path> originals;
        QList<TrashService::Trashed> moved;
        QList<QPair<std::filesystem::path, QString>> failed; // with the reason each file stayed
        int64_t movedBytes = 0;
        // The XMP sidecars that went with the originals moved, and those that could not follow them.
        QList<TrashService::Trashed> sidecars;
        QList<QPair<std::filesystem::path, QString>> sidecarsLeft;
    };

    QList<Target> targetsFor(const QSet<QUuid> &consented, int *unfinished, int *failedCopies) const;
    static QString skippedText(int unfinished, int failedCopies);
    // One cell on the run's thread: its copy checked against every byte of its originals, then the move.
    static bool isRegularFile(const std::filesystem::path &path);
    static void moveSidecars(Outcome &outcome, const QList<std::filesystem::path> &sidecars);
    static void moveStemSidecars(QList<Outcome> &outcomes, const std::set<std::filesystem::path> &remainingStems);
    static Outcome discardCell(const Target &target, const Refusals &why, const std::stop_token &token,
                               const std::function<void(int64_t)> &onBytes);
    void apply(const QList<Outcome> &outcomes, const QString &skipped);
    // The listing shown after a run: the cells that left are taken out of it, or, when it was listed again
    // while the run moved files (a navigation, a breadcrumb click), the folder is listed once more.
    void updateListing(const QList<Outcome> &outcomes);
    void applyUndo(const TrashService::RestoreResult &result);
    void setResult(std::optional<QString> result);

    FolderListing &m_listing;
    CopyMarks &m_marks;
    GridCursor &m_cursor;
    bool m_isTrashing = false;
    std::optional<QString> m_lastResult;
    int m_runGeneration = 0;                         // the listing's generation when the run started
    std::filesystem::path m_runFolder;               // the folder it started in
    int64_t m_checked = 0;
    int64_t m_toCheck = 0;
    BackgroundJobs m_jobs; // last: stopped and joined before the members its work is handed to
};

} // namespace vorlane
