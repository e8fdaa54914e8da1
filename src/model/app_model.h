#pragma once

#include "model/burst_groups.h"
#include "model/copy_marks.h"
#include "model/decisions.h"
#include "model/discard_run.h"
#include "model/folder_listing.h"
#include "model/grid_cursor.h"
#include "model/undo_stack.h"
#include "model/view_filter.h"
#include "model/view_settings.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <optional>

namespace vorlane {

// The application's state, as nine objects with their own signals, and the few operations that span
// them, which the keys and the menu call:
// - listing(): the folder shown, its cells and size figures (FolderListing);
// - cursor(): the selection, the preview and the column count (GridCursor);
// - marks(): the marks and their copy jobs, with the scheduler (CopyMarks);
// - discard(): the discard of originals (DiscardRun);
// - bursts(): the similar-shot groups of the listing, their scores and best frames (BurstGroups);
// - settings(): how the grid shows its cells (ViewSettings);
// - shownPairs(): the cells the chosen folder view shows, handed to the cursor (ViewFilter);
// - decisions(): the cells' ratings and colour labels, in XMP sidecars (Decisions);
// - undoStack(): what Ctrl+Z takes back (UndoStack).
// Views observe the objects they show and call operations; everything lives on the main thread.
class AppModel final : public QObject
{
    Q_OBJECT

public:
    using Path = std::filesystem::path;

    // copy: the encoder call of each copy job; the real encoders unless a test supplies its own.
    explicit AppModel(QObject *parent = nullptr, MachineInputs machine = MachineInputs::system(),
                      CopyMarks::CopyFunction copy = makeCopy, BurstGroups::Analyse analyse = {});
    ~AppModel() override;

    FolderListing &listing() { return m_listing; }
    const FolderListing &listing() const { return m_listing; }
    GridCursor &cursor() { return m_cursor; }
    const GridCursor &cursor() const { return m_cursor; }
    CopyMarks &marks() { return *m_marks; }
    const CopyMarks &marks() const { return *m_marks; }
    DiscardRun &discard() { return *m_discard; }
    const DiscardRun &discard() const { return *m_discard; }
    BurstGroups &bursts() { return *m_bursts; }
    const BurstGroups &bursts() const { return *m_bursts; }
    Decisions &decisions() { return *m_decisions; }
    const Decisions &decisions() const { return *m_decisions; }
    UndoStack &undoStack() { return *m_undo; }
    const UndoStack &undoStack() const { return *m_undo; }
    ViewSettings &settings() { return m_settings; }
    const ViewSettings &settings() const { return m_settings; }
    // The listing's pairs that the folder view shows, in the listing's order; the grid, the preview and the
    // cursor walk these (the folders are shown in every view).
    const QList<MediaPair> &shownPairs() const { return m_shown->pairs(); }
    // Collapsed bursts (ViewFilter): G turns them on and off, and on a frame of a burst expanded with
    // Return, folds that burst again; Return on a collapsed cell shows its burst whole (false elsewhere).
    bool burstsCollapsed() const { return m_shown->burstsCollapsed(); }
    void setBurstsCollapsed(bool collapsed) { m_shown->setBurstsCollapsed(collapsed); }
    void toggleBurstsCollapsed();
    bool expandSelectedBurst();
    // C: the compare view on the selected (or previewed) cell; a collapsed burst opens in place first, so that
    // the candidate walks its frames.
    void openCompare();
    QList<QUuid> framesShownAs(const QUuid &cell) const { return m_shown->framesOf(cell); }
    // The decision filters over the folder view: at least N stars, a colour label, a camera, a lens; for the
    // session only.
    const ViewFilter::Criteria &filter() const { return m_shown->criteria(); }
    void setFilter(const ViewFilter::Criteria &criteria) { m_shown->setCriteria(criteria); }

    void openRoot(const Path &path, const std::optional<Path> &select = std::nullopt);
    void navigate(const Path &path, const std::optional<Path> &select = std::nullopt);
    // To the parent folder; closes the preview.
    void goUp();
    void openSelectedFolder();
    // D: unmark the current cell if it is marked; otherwise mark it and step on to the next cell (in the
    // preview, the next pair).
    void markCurrentAndAdvance(bool inPreview);
    // The discard button: the originals of the marked cells whose copies are made go to the Trash. Marked
    // broken originals (their copy failed because they cannot be decoded) go too only when the consent
    // function, asked with their list, agrees; without one they stay. Ctrl+Z takes either back.
    enum class Consent { Cancel, OnlyCopied, AlsoBroken };
    // The function is asked with the broken cells it shows; only those it was shown may go.
    using ConsentFunction = std::function<Consent(const QList<DiscardRun::Broken> &broken, int withCopies)>;
    void setConsent(ConsentFunction consent) { m_consent = std::move(consent); }
    void discardOriginals();
    // D in the compare view: the candidate is marked and the next cell becomes the candidate; a marked
    // candidate is unmarked and stays.
    void markCandidateAndAdvance();
    // N and Shift+N: to the next (by 1) or previous (by -1) cell that is not marked, in the grid or the
    // preview; a notice when there is none.
    void moveToUnmarked(int by);
    // K: keep this frame of a burst. The frame is unmarked if it was marked, and every other frame of its
    // group that is not marked yet is marked, as D marks (their copies are made; nothing moves until the
    // discard), at once whatever the burst's size. The notice says how many; Ctrl+Z takes the press back.
    // in: the current cell is the grid's selection, the previewed cell, or the one given (the compare view).
    void keepBest(bool inPreview, const std::optional<QUuid> &cell = std::nullopt);

    // 1-5 and 0: the current cell's star rating (0 clears it); 6-9: its colour label, red, yellow, green or
    // blue, the label it has already clearing it. The current cell is the one given (the compare view's
    // candidate), else the previewed cell, else the grid's selection; folders have none.
    void rateCurrent(int stars, bool inPreview, const std::optional<QUuid> &cell = std::nullopt);
    void labelCurrent(ColourLabel label, bool inPreview, const std::optional<QUuid> &cell = std::nullopt);
    // Ctrl+Z: the newest discard, keep-the-best batch or rating is taken back (UndoStack).
    using Undoable = UndoStack::Kind;
    Undoable undoable() const { return m_undo->top(); }
    void undo() { m_undo->undo(); }

Q_SIGNALS:
    // The shown pairs changed (a listing, a new order, a discard, a mark in a filtered view, another view).
    void shownChanged();
    // A navigation's result (or failure) has been applied; tests and the window wait on it.
    void listingApplied();
    // A short message for the status line (the toast).
    void notice(const QString &text);
    void undoableChanged();

private:
    void applyListing(const CopyFindings &copies, const std::optional<GridSelection> &select);

    FolderListing m_listing;
    GridCursor m_cursor;
    ViewSettings m_settings;
    std::unique_ptr<CopyMarks> m_marks;
    std::unique_ptr<DiscardRun> m_discard;
    std::unique_ptr<BurstGroups> m_bursts;
    std::unique_ptr<Decisions> m_decisions;
    std::unique_ptr<UndoStack> m_undo;
    std::unique_ptr<ViewFilter> m_shown;
    ConsentFunction m_consent;
};

} // namespace vorlane
