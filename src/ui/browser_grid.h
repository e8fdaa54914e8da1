#pragma once

#include "model/app_model.h"
#include "ui/cell_painter.h"
#include "ui/grid_geometry.h"

#include <QAbstractScrollArea>
#include <QPointer>
#include <QSet>
#include <QTimer>

class QMenu;
class QPainter;
class QPropertyAnimation;

namespace vorlane {

class ThumbnailCache;

// The grid of folders and pairs. Cells are painted as data straight from the model (no widget per cell),
// so ten thousand cells scroll smoothly; thumbnails come from the cache, asked for the visible cells first
// and about one screen ahead in the direction of scrolling. Writes gridColumns whenever its width or the
// tile size changes; a click selects, a double-click opens a folder or the preview, and a right-click offers
// Mark / Unmark, Preview and Show in the file manager; a new selection is scrolled into view by the auto-scroll settings.
// Main thread.
class BrowserGrid final : public QAbstractScrollArea
{
    Q_OBJECT

public:
    BrowserGrid(AppModel &model, ThumbnailCache &cache, QWidget *parent = nullptr);

    GridGeometry geometryNow() const;
    // Index in gridItems of the cell at a viewport point, or -1.
    int indexAt(const QPoint &viewportPoint) const;
    // The cell's rectangle in viewport coordinates.
    QRectF cellViewportRect(int index) const;
    bool spinnerVisible() const { return m_spinner.isActive(); }
    // The right-click menu of the cell at an index (null for none), built and not yet shown.
    QMenu *contextMenuFor(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent *event) override;

private:
    // A cell's marks, job and copy badges; describeCell adds what painting it needs (selection, burst tray,
    // settings, picture).
    CellPainter::MediaCell markState(const MediaPair &pair) const;
    void describeCell(CellPainter::MediaCell &cell, int index, const GridGeometry &g) const;
    void paintEmptyViewNote(QPainter &p, const GridGeometry &g, double offset) const;
    void paintSpinner(QPainter &p) const;
    void relayout();
    void updateColumns();
    void scrollToSelection();
    // Scrolls at once, without the animation, so that the selected cell is on screen (after the tiles
    // changed size, the columns their count, or a view left out cells); nothing when it already is.
    void keepSelectionInView();
    void requestThumbnails();
    void repaintArrivedThumbnails();
    QString thumbnailKey(const MediaPair &pair) const;
    double loadErrorHeight() const;

    AppModel &m_model;
    ThumbnailCache &m_cache;
    QTimer m_spinner;
    QTimer m_thumbnailRepaint;         // thumbnails landing within one frame share one repaint
    QSet<QString> m_arrivedThumbnails; // keys made since the last repaint
    int m_spinnerAngle = 0;
    int m_lastScrollValue = 0;
    int m_paintedSelection = -1; // the cell painted with the highlight, by index in the cursor's items
    bool m_scrollingDown = true;
    QPointer<QPropertyAnimation> m_scrollAnimation;
};

} // namespace vorlane
