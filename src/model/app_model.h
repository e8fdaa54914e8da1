#pragma once

#include "catalogue/folder_entry.h"
#include "catalogue/media_pair.h"
#include "model/job_status.h"
#include "copies/bside_scheduler.h"
#include "copies/copy_maker.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QThreadPool>
#include <QString>
#include <QUuid>

#include <filesystem>
#include <memory>
#include <optional>

namespace vorlane {

struct DirectoryListing;

// One cell of the grid named by identity: a folder entry or a media pair of the current listing.
struct GridSelection
{
    enum class Kind { Folder, Media };
    Kind kind = Kind::Media;
    QUuid id;

    static GridSelection folder(const QUuid &id) { return {Kind::Folder, id}; }
    static GridSelection media(const QUuid &id) { return {Kind::Media, id}; }
    bool operator==(const GridSelection &) const = default;
};

// The state of the browser window and every user action on it. Lives on the main thread: every field is
// read and written there and every operation is entered there. Slow work (listing, sizes, dates, copies,
// moves to the Trash) runs on other threads and comes back through queued calls that are dropped when the
// model is gone or a newer navigation has started.
//
// Views observe `changed(field)` and call operations; only the display settings, gridColumns, a click's
// selection and the toast's dismissal are written directly by views.
//
// The operations are implemented by concern: browsing.cpp, selection.cpp, marking.cpp, discarding.cpp.
class AppModel final : public QObject
{
    Q_OBJECT

public:
    enum class ViewMode { Merged, Split };
    enum class FillMode { Fill, Fit };
    enum class SortMode { Name, Date };
    enum class GridDirection { Up, Down, Left, Right };

    enum class Field {
        RootPath, CurrentPath, Breadcrumb, Folders, Pairs, Selection, ViewMode, FillMode, SortMode, ShowFilenames,
        ShowRawLabel, AutoScrollOnNav, AutoScrollOnClick, LastSelectionByKeyboard, ThumbnailSize, GridColumns,
        LoadError, IsLoading, CurrentDirBytes, RootDirBytes, FreeSpaceBytes, PreviewIndex, MarkedPairIds, JobStatus,
        SchedulerProgress, FailedPairIds, IsTrashing, LastTrashResult, RestoredCompleted
    };
    Q_ENUM(Field)

    using Path = std::filesystem::path;
    using CopyFunction = std::function<CopyOutcome(const CopyRequest &, std::stop_token)>;

    // copy: the encoder call of each copy job; the real encoders unless a test supplies its own.
    explicit AppModel(QObject *parent = nullptr, MachineInputs machine = MachineInputs::system(),
                      CopyFunction copy = makeCopy);
    ~AppModel() override;

    // --- fields (read) ---
    const std::optional<Path> &rootPath() const { return m_rootPath; }
    const std::optional<Path> &currentPath() const { return m_currentPath; }
    const QList<Path> &breadcrumb() const { return m_breadcrumb; }
    const QList<FolderEntry> &folders() const { return m_folders; }
    const QList<MediaPair> &pairs() const { return m_pairs; }
    const std::optional<GridSelection> &selection() const { return m_selection; }
    ViewMode viewMode() const { return m_viewMode; }
    FillMode fillMode() const { return m_fillMode; }
    SortMode sortMode() const { return m_sortMode; }
    bool showFilenames() const { return m_showFilenames; }
    bool showRawLabel() const { return m_showRawLabel; }
    bool autoScrollOnNav() const { return m_autoScrollOnNav; }
    bool autoScrollOnClick() const { return m_autoScrollOnClick; }
    bool lastSelectionByKeyboard() const { return m_lastSelectionByKeyboard; }
    double thumbnailSize() const { return m_thumbnailSize; }
    int gridColumns() const { return m_gridColumns; }
    const std::optional<QString> &loadError() const { return m_loadError; }
    bool isLoading() const { return m_isLoading; }
    int64_t currentDirBytes() const { return m_currentDirBytes; }
    int64_t rootDirBytes() const { return m_rootDirBytes; }
    int64_t freeSpaceBytes() const { return m_freeSpaceBytes; }
    const std::optional<int> &previewIndex() const { return m_previewIndex; }
    const QSet<QUuid> &markedPairIds() const { return m_markedPairIds; }
    const QHash<QUuid, BsideJobStatus> &jobStatus() const { return m_jobStatus; }
    const BsideScheduler::Progress &schedulerProgress() const { return m_schedulerProgress; }
    const QSet<QUuid> &failedPairIds() const { return m_failedPairIds; }
    bool isTrashing() const { return m_isTrashing; }
    const std::optional<QString> &lastTrashResult() const { return m_lastTrashResult; }
    const QSet<QUuid> &restoredCompleted() const { return m_restoredCompleted; }
    BsideScheduler &scheduler() { return *m_scheduler; }

    // --- direct writes by views ---
    void setViewMode(ViewMode v);
    void setFillMode(FillMode v);
    void setShowFilenames(bool v);
    void setShowRawLabel(bool v);
    void setAutoScrollOnNav(bool v);
    void setAutoScrollOnClick(bool v);
    void setThumbnailSize(double v);
    void setGridColumns(int v);
    void selectByClick(const GridSelection &s); // selection, lastSelectionByKeyboard = false
    void clearLastTrashResult();

    // --- browsing ---
    // select: a folder or a media file of path to select once listed (a file opened with the app).
    void openRoot(const Path &path, const std::optional<Path> &select = std::nullopt);
    void navigate(const Path &path, const std::optional<Path> &selectPath = std::nullopt);
    void goUp();
    void openFolder(const FolderEntry &entry);
    void setSortMode(SortMode mode);
    static QString formatBytes(int64_t bytes);
    static int64_t freeSpace(const Path &path);
    static QList<Path> breadcrumbFor(const Path &path, const Path &root);

    // --- selection and preview ---
    QList<GridSelection> gridItems() const;
    std::optional<QUuid> selectedPairId() const;
    std::optional<QUuid> selectedFolderId() const;
    void moveSelection(GridDirection direction);
    void moveSelection(int step);
    void openSelectedFolder();
    void openPreview();
    void closePreview();
    void previewMove(int step);
    void markCurrentAndAdvance(bool inPreview);

    // --- marking ---
    void toggleMark(const QUuid &pairId);
    std::optional<MediaPair> pair(const QUuid &id) const;

    // --- discarding ---
    // The cells a press of the discard button takes: marked cells of this listing whose copy is complete
    // (while a run moves them, the cells it is moving).
    int discardableCount() const;
    void discardOriginals();
    // True while a discard run is moving this cell's originals: marking and unmarking it are refused.
    bool isBeingDiscarded(const QUuid &pairId) const { return m_discarding.contains(pairId); }

Q_SIGNALS:
    void changed(vorlane::AppModel::Field field);
    // Emitted when a navigation's result (or failure) has been applied; tests and the window wait on it.
    void listingApplied();
    // Emitted when a discard run's result has been applied.
    void discardFinished();

private:
    // One copy job from its enqueueing to its end. Jobs are known to the scheduler by their own id, and
    // follow their cell across listings by its copy path: a cell listed again while its copy is being made
    // shows marked, with the job's state, and unmarking it cancels that job.
    struct CopyJob
    {
        QUuid cellId;                // its cell in the listing shown; null when no listed cell has its copy path
        std::filesystem::path copy;  // the copy path it writes
        bool wanted = true;          // false once its cell was unmarked: a copy it still finishes is removed
        bool started = false;
    };

    // What a discard run did to one cell.
    struct DiscardOutcome
    {
        QUuid cellId;
        QList<Path> moved;
        QList<QPair<Path, QString>> failed; // with the reason each file stayed
        int64_t movedBytes = 0;
    };

    template<typename T>
    void set(T &member, T value, Field field)
    {
        if (member == value)
            return;
        member = std::move(value);
        Q_EMIT changed(field);
    }
    void setSelection(std::optional<GridSelection> s) { set(m_selection, std::move(s), Field::Selection); }
    int selectionIndex() const;
    void resortPairs();
    void applyListing(int token, const Path &path, const std::optional<Path> &select, DirectoryListing listing);
    void applyListingFailure(int token, const QString &reason);

    void mark(const QUuid &pairId);
    void unmark(const QUuid &pairId);
    void jobStarted(const QUuid &jobId);
    void jobEnded(const QUuid &jobId, const CopyOutcome &outcome, bool cancelled);
    // The marks and job states of a new listing: from the copies on disk and the jobs still in flight.
    // Everything kept for cells of earlier listings is dropped.
    void rebuildMarks(const QList<MediaPair> &pairs, const QSet<QUuid> &withCopy);
    void startProgressObservation();
    void publishFailures(QSet<QUuid> failed);
    void applyDiscard(const QList<DiscardOutcome> &outcomes, const QString &skipped);
    void refreshFreeSpace();

    std::optional<Path> m_rootPath;
    std::optional<Path> m_currentPath;
    QList<Path> m_breadcrumb;
    QList<FolderEntry> m_folders;
    QList<MediaPair> m_pairs;
    std::optional<GridSelection> m_selection;
    ViewMode m_viewMode = ViewMode::Merged;
    FillMode m_fillMode = FillMode::Fill;
    SortMode m_sortMode = SortMode::Name;
    bool m_showFilenames = true;
    bool m_showRawLabel = true;
    bool m_autoScrollOnNav = true;
    bool m_autoScrollOnClick = true;
    bool m_lastSelectionByKeyboard = false;
    double m_thumbnailSize = 160.0;
    int m_gridColumns = 1;
    std::optional<QString> m_loadError;
    bool m_isLoading = false;
    int64_t m_currentDirBytes = 0;
    int64_t m_rootDirBytes = 0;
    int64_t m_freeSpaceBytes = 0;
    std::optional<int> m_previewIndex;
    QSet<QUuid> m_markedPairIds;
    QHash<QUuid, BsideJobStatus> m_jobStatus;
    BsideScheduler::Progress m_schedulerProgress;
    QSet<QUuid> m_failedPairIds;
    bool m_isTrashing = false;
    std::optional<QString> m_lastTrashResult;
    QSet<QUuid> m_restoredCompleted;
    int m_navToken = 0;
    BsideScheduler::Progress m_lastSnapshot; // the scheduler's own, before the model adds its failures
    QHash<QUuid, CopyJob> m_jobs;       // by job id, every job enqueued and not yet ended
    QHash<QUuid, QUuid> m_latestJob;    // cell id -> its latest job in flight
    QSet<QUuid> m_discarding;           // cells whose originals a discard run is moving
    CopyFunction m_copy;
    std::unique_ptr<BsideScheduler> m_scheduler;
    // Listing (and the free-space query) and discarding run on threads of their own, so that decodes of
    // thumbnails and previews, however long one takes, never leave a folder unlisted or a discard waiting.
    QThreadPool m_listingPool;
    QThreadPool m_discardPool;
};

size_t qHash(const GridSelection &s, size_t seed = 0);

} // namespace vorlane
