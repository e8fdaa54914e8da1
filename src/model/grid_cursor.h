#pragma once

#include "model/grid_selection.h"

#include <QList>
#include <QObject>

#include <functional>
#include <optional>

namespace vorlane {

// Where the user is in the grid: the selected cell, the cell shown full-window (the preview), the column
// count the arrow keys move by, and whether the last move came from the keyboard (the grid scrolls by it).
// It walks a list of items given to it, folders first and then media pairs, and needs nothing else: the
// façade hands it each new listing's items. Main thread.
class GridCursor final : public QObject
{
    Q_OBJECT

public:
    enum class Direction { Up, Down, Left, Right };

    using QObject::QObject;

    // The grid's items in walking order (a listing's folders, then its pairs in the view). A new listing's
    // items come with keepPlace false: the selection and the preview index are kept as they are, even when they
    // no longer name an item, until the listing says what to select. The same listing's items, filtered, sorted
    // or with cells gone, come with keepPlace true: the selection, the previewed pair and the compared pairs
    // follow their cells, and one that has gone gives way to the cell that now stands in its place (the one
    // after it, or the last).
    void setItems(QList<GridSelection> items, bool keepPlace = false);
    const QList<GridSelection> &items() const { return m_items; }

    const std::optional<GridSelection> &selection() const { return m_selection; }
    std::optional<QUuid> selectedPairId() const;
    std::optional<QUuid> selectedFolderId() const;
    bool lastSelectionByKeyboard() const { return m_byKeyboard; }
    // Index among the media items of the pair shown full-window; absent while the preview is closed.
    const std::optional<int> &previewIndex() const { return m_previewIndex; }
    std::optional<QUuid> previewedPairId() const;
    int gridColumns() const { return m_gridColumns; }

    void select(const std::optional<GridSelection> &selection); // by the program: the flag is not touched
    void selectByClick(const GridSelection &selection);         // clears lastSelectionByKeyboard
    // Arrow keys: a move in the two-dimensional grid, clamped at the edges.
    void move(Direction direction);
    // A step along the walking order, wrapping around (after a mark).
    void step(int by);
    // PageUp / PageDown: as many rows as the grid shows, clamped at the ends; Home / End: the first and the
    // last cell.
    void movePage(int pages);
    void moveToFirst();
    void moveToLast();
    // N and Shift+N: the next (by > 0) or previous pair that accept takes, wrapping around, in the grid or in
    // the preview; false when none does (the cursor stays).
    bool stepTo(int by, const std::function<bool(const QUuid &)> &accept);
    void openPreview();
    void closePreview();
    // The neighbouring pair in the preview, wrapping around; the selection follows the pair shown.
    void previewMove(int by);

    // The compare view: a reference pair that stays, and a candidate that moves. Opening it takes the
    // selected pair as the reference and the next one as the candidate and closes the preview; closing it
    // selects the candidate. Nothing opens with fewer than two pairs. When the reference is a frame of a
    // burst shown with at least one other, the candidate walks that burst's frames only; otherwise it walks
    // every pair.
    const std::optional<QUuid> &compareReference() const { return m_compareReference; }
    const std::optional<QUuid> &compareCandidate() const { return m_compareCandidate; }
    bool isComparing() const { return m_compareReference.has_value(); }
    void openCompare();
    void closeCompare();
    // The candidate steps along the pairs (the burst's, in a burst), wrapping around and passing over the
    // reference.
    void compareMove(int by);
    // The candidate becomes the reference, and the pair after it (in its burst, in a burst) the candidate.
    void compareSwap();
    // The frames of a pair's burst in the grid's order, empty for a pair alone: the compare view's bounds.
    void setBurstOf(std::function<QList<QUuid>(const QUuid &)> burstOf) { m_burstOf = std::move(burstOf); }
    // The pairs of the items, in walking order.
    QList<QUuid> pairIds() const;
    void setGridColumns(int columns);
    // Rows of cells the grid shows at once; written by the grid like the column count.
    void setPageRows(int rows) { m_pageRows = std::max(rows, 1); }

Q_SIGNALS:
    void selectionChanged();
    void previewChanged();
    void compareChanged();
    void gridColumnsChanged();

private:
    int selectionIndex() const;
    int mediaCount() const;
    int firstMedia() const;
    void keyboardSelect(const GridSelection &selection);
    // The pairs the compare view walks with this reference: its burst's that are shown, else all.
    QList<QUuid> compareRing(const QUuid &reference) const;
    static std::optional<QUuid> nextPair(const QList<QUuid> &ids, const QUuid &from, int by,
                                         const std::optional<QUuid> &passOver);

    QList<GridSelection> m_items;
    std::optional<GridSelection> m_selection;
    bool m_byKeyboard = false;
    std::optional<int> m_previewIndex;
    std::optional<QUuid> m_compareReference;
    std::optional<QUuid> m_compareCandidate;
    int m_gridColumns = 1;
    int m_pageRows = 1;
    std::function<QList<QUuid>(const QUuid &)> m_burstOf;
};

} // namespace vorlane
