#pragma once

#include "model/grid_selection.h"

#include <QList>
#include <QObject>

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

    // The grid's items in walking order (a listing's folders, then its pairs). The selection and the
    // preview index are kept as they are, even when they no longer name an item.
    void setItems(QList<GridSelection> items);
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
    void openPreview();
    void closePreview();
    // The neighbouring pair in the preview, wrapping around; the selection follows the pair shown.
    void previewMove(int by);
    void setGridColumns(int columns);
    // Rows of cells the grid shows at once; written by the grid like the column count.
    void setPageRows(int rows) { m_pageRows = std::max(rows, 1); }

Q_SIGNALS:
    void selectionChanged();
    void previewChanged();
    void gridColumnsChanged();

private:
    int selectionIndex() const;
    int mediaCount() const;
    int firstMedia() const;
    void keyboardSelect(const GridSelection &selection);

    QList<GridSelection> m_items;
    std::optional<GridSelection> m_selection;
    bool m_byKeyboard = false;
    std::optional<int> m_previewIndex;
    int m_gridColumns = 1;
    int m_pageRows = 1;
};

} // namespace vorlane
