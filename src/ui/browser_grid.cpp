#include "ui/browser_grid.h"

#include "ui/cell_painter.h"
#include "ui/file_manager.h"
#include "ui/theme.h"
#include "ui/thumbnail_cache.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QToolTip>

namespace vorlane {
namespace {

// The file a cell's thumbnail pictures: a pair's image while pairs are merged, else its primary file.
const MediaItem &picturedFile(const MediaPair &pair, ViewSettings::ViewMode mode)
{
    return mode == ViewSettings::ViewMode::Merged ? pair.picturedItem() : pair.primary();
}

} // namespace

BrowserGrid::BrowserGrid(AppModel &model, ThumbnailCache &cache, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_model(model)
    , m_cache(cache)
{
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::NoFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setSingleStep(40);
    m_spinner.setInterval(60);
    connect(&m_spinner, &QTimer::timeout, this, [this] {
        m_spinnerAngle = (m_spinnerAngle + 30) % 360;
        viewport()->update();
    });
    const FolderListing &listing = m_model.listing();
    connect(&m_model, &AppModel::shownChanged, this, [this] {
        relayout();
        keepSelectionInView();
    });
    connect(&m_model.bursts(), &BurstGroups::changed, viewport(), qOverload<>(&QWidget::update));
    connect(&listing, &FolderListing::loadingChanged, this, [this] {
        if (m_model.listing().isLoading())
            m_spinner.start();
        else
            m_spinner.stop();
        relayout();
    });
    connect(&m_model.settings(), &ViewSettings::changed, this, [this] {
        relayout();
        updateColumns();
        keepSelectionInView();
    });
    connect(&m_model.cursor(), &GridCursor::selectionChanged, this, [this] {
        // Only the cells whose highlight changed are painted again, unless the view scrolls to the new one.
        const auto selection = m_model.cursor().selection();
        const int index = selection ? int(m_model.cursor().items().indexOf(*selection)) : -1;
        for (const int changed : {m_paintedSelection, index}) {
            if (changed >= 0)
                viewport()->update(cellViewportRect(changed).toAlignedRect().adjusted(-4, -4, 4, 4));
        }
        m_paintedSelection = index;
        scrollToSelection();
    });
    connect(&m_model.cursor(), &GridCursor::gridColumnsChanged, this, [this] {
        // Another writer (the tile-size slider) set a count this grid does not lay out: the arrow keys must
        // keep moving by the rows on screen, so the real count goes back once the writer has finished.
        if (m_model.cursor().gridColumns() != geometryNow().columns())
            QTimer::singleShot(0, this, &BrowserGrid::updateColumns);
    });
    connect(&m_model.marks(), &CopyMarks::marksChanged, viewport(), qOverload<>(&QWidget::update));
    connect(&m_model.decisions(), &Decisions::changed, viewport(), qOverload<>(&QWidget::update));
    // A listing, even of the same folder, retries the thumbnails that failed (a file still being written).
    connect(&m_model, &AppModel::listingApplied, this, [this] {
        m_cache.clearFailures();
        viewport()->update();
    });
    m_thumbnailRepaint.setSingleShot(true);
    m_thumbnailRepaint.setInterval(16);
    connect(&m_thumbnailRepaint, &QTimer::timeout, this, &BrowserGrid::repaintArrivedThumbnails);
    connect(&m_cache, &ThumbnailCache::undecodableFound, viewport(), qOverload<>(&QWidget::update));
    connect(&m_cache, &ThumbnailCache::ready, this, [this](const QString &key) {
        m_arrivedThumbnails.insert(key);
        if (!m_thumbnailRepaint.isActive())
            m_thumbnailRepaint.start();
    });
    relayout();
}

GridGeometry BrowserGrid::geometryNow() const
{
    GridGeometry g;
    g.width = viewport()->width();
    g.tileSize = m_model.settings().thumbnailSize();
    g.showLabels = m_model.settings().showFilenames();
    g.top = loadErrorHeight();
    return g;
}

double BrowserGrid::loadErrorHeight() const { return m_model.listing().loadError() ? 32.0 : 0.0; }

void BrowserGrid::relayout()
{
    const GridGeometry g = geometryNow();
    const int count = int(m_model.listing().folders().size() + m_model.shownPairs().size());
    const int height = int(std::ceil(g.contentHeight(count)));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, height - viewport()->height()));
    viewport()->update();
}

void BrowserGrid::updateColumns()
{
    const GridGeometry g = geometryNow();
    m_model.cursor().setGridColumns(g.columns());
    m_model.cursor().setPageRows(int(viewport()->height() / (g.cellHeight() + g.spacing())));
}

void BrowserGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
    updateColumns();
}

int BrowserGrid::indexAt(const QPoint &p) const
{
    const int count = int(m_model.listing().folders().size() + m_model.shownPairs().size());
    return geometryNow().indexAt(QPointF(p.x(), p.y() + verticalScrollBar()->value()), count);
}

QRectF BrowserGrid::cellViewportRect(int index) const
{
    return geometryNow().cellRect(index).translated(0, -verticalScrollBar()->value());
}

void BrowserGrid::mousePressEvent(QMouseEvent *event)
{
    const int index = indexAt(event->position().toPoint());
    if (index < 0)
        return;
    m_model.cursor().selectByClick(m_model.cursor().items()[index]);
}

void BrowserGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    const int index = indexAt(event->position().toPoint());
    if (index < 0 || event->button() != Qt::LeftButton)
        return;
    m_model.cursor().selectByClick(m_model.cursor().items()[index]);
    if (m_model.cursor().selectedFolderId())
        m_model.openSelectedFolder();
    else
        m_model.cursor().openPreview();
}

QMenu *BrowserGrid::contextMenuFor(int index)
{
    if (index < 0 || index >= m_model.cursor().items().size())
        return nullptr;
    const GridSelection item = m_model.cursor().items()[index];
    m_model.cursor().selectByClick(item);
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    std::filesystem::path file;
    if (item.kind == GridSelection::Kind::Media) {
        const auto pair = m_model.listing().pair(item.id);
        if (!pair)
            return nullptr;
        file = pair->primary().path;
        const bool marked = m_model.marks().marked().contains(item.id);
        QAction *mark = menu->addAction(marked ? tr("Unmark") : tr("Mark"));
        mark->setEnabled(!m_model.marks().isLocked(item.id));
        connect(mark, &QAction::triggered, this, [this, id = item.id] { m_model.marks().toggle(id); });
        connect(menu->addAction(tr("Preview")), &QAction::triggered, this, [this] { m_model.cursor().openPreview(); });
    } else if (const FolderEntry *folder = m_model.listing().folder(item.id)) {
        file = folder->path;
        connect(menu->addAction(tr("Open")), &QAction::triggered, this, [this] { m_model.openSelectedFolder(); });
    }
    menu->addSeparator();
    connect(menu->addAction(tr("Show in the file manager")), &QAction::triggered, this, [this, file] {
        if (!FileManager::showItem(file))
            Q_EMIT m_model.notice(tr("No file manager answered: %1").arg(displayPath(file.parent_path())));
    });
    return menu;
}

void BrowserGrid::contextMenuEvent(QContextMenuEvent *event)
{
    if (QMenu *menu = contextMenuFor(indexAt(event->pos())))
        menu->popup(event->globalPos());
}

void BrowserGrid::scrollContentsBy(int dx, int dy)
{
    const int value = verticalScrollBar()->value();
    m_scrollingDown = value >= m_lastScrollValue;
    m_lastScrollValue = value;
    // The pixels already painted move; only the strip scrolled in is painted (the spinner sits still over the
    // grid, so while it shows, everything is).
    if (m_model.listing().isLoading())
        viewport()->update();
    else
        viewport()->scroll(dx, dy);
}

QString BrowserGrid::thumbnailKey(const MediaPair &pair) const
{
    return ThumbnailCache::cacheKey(picturedFile(pair, m_model.settings().viewMode()),
                                    m_model.settings().thumbnailSize());
}

void BrowserGrid::repaintArrivedThumbnails()
{
    // Only the visible cells whose picture arrived are painted again.
    const QList<FolderEntry> &folders = m_model.listing().folders();
    const QList<MediaPair> &pairs = m_model.shownPairs();
    const int count = int(folders.size() + pairs.size());
    const double top = verticalScrollBar()->value();
    const auto [first, last] = geometryNow().indexRange(top, top + viewport()->height(), count);
    for (int i = std::max<int>(first, int(folders.size())); i <= last && !m_arrivedThumbnails.isEmpty(); ++i) {
        if (m_arrivedThumbnails.remove(thumbnailKey(pairs[i - folders.size()])))
            viewport()->update(cellViewportRect(i).toAlignedRect().adjusted(-4, -4, 4, 4));
    }
    m_arrivedThumbnails.clear();
}

void BrowserGrid::scrollToSelection()
{
    const auto selection = m_model.cursor().selection();
    if (!selection)
        return;
    const bool byKeyboard = m_model.cursor().lastSelectionByKeyboard();
    if (byKeyboard ? !m_model.settings().autoScrollOnNav() : !m_model.settings().autoScrollOnClick())
        return;
    const int index = int(m_model.cursor().items().indexOf(*selection));
    if (index < 0)
        return;
    const QRectF cell = geometryNow().cellRect(index);
    QScrollBar *bar = verticalScrollBar();
    const int target = std::clamp(int(cell.center().y() - viewport()->height() / 2.0), bar->minimum(), bar->maximum());
    if (target == bar->value())
        return;
    if (m_scrollAnimation)
        m_scrollAnimation->stop();
    auto *animation = new QPropertyAnimation(bar, "value", this);
    animation->setDuration(120);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    animation->setEndValue(target);
    animation->start(QAbstractAnimation::DeleteWhenStopped);

    m_scrollAnimation = animation;
}

void BrowserGrid::keepSelectionInView()
{
    const auto selection = m_model.cursor().selection();
    const int index = selection ? int(m_model.cursor().items().indexOf(*selection)) : -1;
    if (index < 0)
        return;
    const QRectF cell = cellViewportRect(index);
    if (cell.top() >= 0 && cell.bottom() <= viewport()->height())
        return;
    if (m_scrollAnimation)
        m_scrollAnimation->stop();
    QScrollBar *bar = verticalScrollBar();
    const QRectF content = geometryNow().cellRect(index);
    bar->setValue(std::clamp(int(content.center().y() - viewport()->height() / 2.0), bar->minimum(), bar->maximum()));
}

void BrowserGrid::requestThumbnails()
{
    const GridGeometry g = geometryNow();
    const QList<FolderEntry> &folders = m_model.listing().folders();
    const QList<MediaPair> &pairs = m_model.shownPairs();
    const int count = int(folders.size() + pairs.size());
    const double top = verticalScrollBar()->value();
    const double h = viewport()->height();
    const double scale = devicePixelRatioF();
    const double size = m_model.settings().thumbnailSize();
    // Visible cells first, then one screen ahead in the direction of scrolling.
    const auto [v0, v1] = g.indexRange(top, top + h, count);
    const auto [a0, a1]
        = m_scrollingDown ? g.indexRange(top + h, top + 2 * h, count) : g.indexRange(top - h, top, count);
    QStringList wanted;
    auto want = [&](int index) {
        if (index < folders.size() || index >= count)
            return;
        const MediaPair &pair = pairs[index - folders.size()];
        const MediaItem &file = picturedFile(pair, m_model.settings().viewMode());
        wanted.append(ThumbnailCache::cacheKey(file, size));
        if (m_cache.cached(file, size).isNull())
            m_cache.request(file, size, scale);
    };
    for (int i = v0; i <= v1; ++i)
        want(i);
    if (m_scrollingDown)
        for (int i = a0; i <= a1; ++i)
            want(i);
    else
        for (int i = a1; i >= a0; --i)
            want(i);
    m_cache.setWanted(wanted);
}

CellPainter::MediaCell BrowserGrid::markState(const MediaPair &pair) const
{
    CellPainter::MediaCell cell;
    cell.pair = &pair;
    cell.isMarked = m_model.marks().marked().contains(pair.id());
    if (const auto status = m_model.marks().status(pair.id()))
        cell.jobStatus = *status;
    cell.copyOfAnother = m_model.marks().copyOfAnother().contains(pair.id());
    cell.copyUnknown = m_model.marks().unknown().contains(pair.id());
    cell.decision = m_model.decisions().of(pair.id());
    cell.size = m_model.settings().thumbnailSize();
    cell.undecodable = m_model.marks().undecodable().contains(pair.id())
        || m_cache.isUndecodable(picturedFile(pair, m_model.settings().viewMode()));
    return cell;
}

void BrowserGrid::describeCell(CellPainter::MediaCell &cell, int index, const GridGeometry &g) const
{
    const QList<MediaPair> &pairs = m_model.shownPairs();
    const qsizetype folders = m_model.listing().folders().size();
    const MediaPair &pair = *cell.pair;
    cell.isSelected = m_model.cursor().selection() == GridSelection::media(pair.id());
    if (const QList<QUuid> frames = m_model.framesShownAs(pair.id()); !frames.isEmpty()) {
        const auto place = m_model.bursts().placeOf(pair.id());
        const QSet<QUuid> &marked = m_model.marks().marked();
        const int markedFrames = int(std::count_if(frames.begin(), frames.end(), [&](const QUuid &id) { return marked.contains(id); }));
        cell.burst = CellPainter::MediaCell::Burst{0, 0, place && place->best, false, false, int(frames.size()), markedFrames};
    } else if (const auto place = m_model.bursts().placeOf(pair.id())) {
        // The tray reaches a neighbour on the same row that is in the same group (a filtered view may
        // leave out frames between).
        const int column = index % g.columns();
        const qsizetype at = index - folders;
        const auto sameGroup = [&](qsizetype neighbour) {
            if (neighbour < 0 || neighbour >= pairs.size())
                return false;
            const auto other = m_model.bursts().placeOf(pairs[neighbour].id());
            return other && other->group == place->group;
        };
        cell.burst = CellPainter::MediaCell::Burst{place->index, place->size, place->best,
                                                   column > 0 && sameGroup(at - 1),
                                                   column < g.columns() - 1 && sameGroup(at + 1)};
    }
    cell.spacing = g.spacing();
    cell.cellHeight = g.cellHeight();
    cell.size = g.tileSize;
    cell.viewMode = m_model.settings().viewMode();
    cell.fillMode = m_model.settings().fillMode();
    cell.showFilename = m_model.settings().showFilenames();
    cell.showRawLabel = m_model.settings().showRawLabel();
    const MediaItem &file = picturedFile(pair, cell.viewMode);
    cell.image = m_cache.cached(file, g.tileSize);
    cell.loadFailed = cell.image.isNull() && m_cache.failed(file, g.tileSize);
}

void BrowserGrid::paintEmptyViewNote(QPainter &p, const GridGeometry &g, double offset) const
{
    // A view that leaves out every cell says so, and how to see them.
    const bool unmarkedView = m_model.settings().folderView() == ViewSettings::FolderView::Unmarked;
    p.setPen(Theme::text(Theme::Tone::Secondary, palette()));
    p.setFont(Theme::uiFont(Theme::points(14)));
    const double top = g.contentHeight(int(m_model.listing().folders().size())) - offset + 24;
    p.drawText(QRectF(24, std::max(top, 24.0), viewport()->width() - 48, 60), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
               unmarkedView ? tr("Every cell here is marked. V shows the marked ones, or all.")
                            : tr("Nothing here is marked. V shows the unmarked ones, or all."));
}

void BrowserGrid::paintSpinner(QPainter &p) const
{
    // An indeterminate spinner over the grid: twelve spokes, the brightest turning.
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c = QRectF(viewport()->rect()).center();
    for (int k = 0; k < 12; ++k) {
        p.save();
        p.translate(c);
        p.rotate(k * 30 + m_spinnerAngle);
        QColor spoke = palette().color(QPalette::WindowText);
        spoke.setAlphaF(float(0.15 + 0.85 * ((k + 1) / 12.0)));
        p.setPen(QPen(spoke, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(0, -10), QPointF(0, -18));
        p.restore();
    }
}

void BrowserGrid::paintEvent(QPaintEvent *event)
{
    QPainter p(viewport());
    const QPalette pal = palette();
    const QRect dirty = event->rect();
    p.fillRect(dirty, pal.color(QPalette::Window));
    const GridGeometry g = geometryNow();
    const double offset = verticalScrollBar()->value();
    if (const auto &error = m_model.listing().loadError()) {
        p.setPen(Theme::accent());
        p.setFont(Theme::uiFont(10));
        p.drawText(QRectF(12, 8 - offset, viewport()->width() - 24, 24), Qt::AlignLeft | Qt::AlignVCenter, *error);
    }
    const QList<FolderEntry> &folders = m_model.listing().folders();
    const QList<MediaPair> &pairs = m_model.shownPairs();
    const int count = int(folders.size() + pairs.size());
    const auto [first, last] = g.indexRange(offset + dirty.top(), offset + dirty.bottom() + 1, count);
    const auto selection = m_model.cursor().selection();
    for (int i = first; i <= last; ++i) {
        const QRectF cellRect = g.cellRect(i).translated(0, -offset);
        if (!cellRect.adjusted(-4, -4, 4, 4).intersects(dirty))
            continue;
        const QPointF origin = cellRect.topLeft();
        if (i < folders.size()) {
            const FolderEntry &f = folders[i];
            CellPainter::paintFolder(
                p, origin,
                {&f, g.tileSize, selection == GridSelection::folder(f.id), m_model.settings().showFilenames()});
            continue;
        }
        CellPainter::MediaCell cell = markState(pairs[i - folders.size()]);
        describeCell(cell, i, g);
        CellPainter::paintMedia(p, origin, cell);
    }
    if (pairs.isEmpty() && !m_model.listing().pairs().isEmpty())
        paintEmptyViewNote(p, g, offset);
    if (m_model.listing().isLoading())
        paintSpinner(p);
    requestThumbnails();
}

bool BrowserGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int index = indexAt(help->pos());
        const int folderCount = int(m_model.listing().folders().size());
        if (index >= folderCount) {
            // A failed copy says why on its badge, and so does a copy path holding another file's copy.
            const CellPainter::MediaCell cell = markState(m_model.shownPairs()[index - folderCount]);
            const QList<CellPainter::Badge> badges = CellPainter::badgesFor(cell);
            const QList<QRectF> rects = CellPainter::badgeRects(cellViewportRect(index).topLeft(), cell);
            QString tip;
            if (!badges.isEmpty() && rects.last().contains(help->pos())) {
                if (badges.last() == CellPainter::Badge::Failed)
                    tip = tr("The copy could not be made: %1").arg(cell.jobStatus->message());
                else if (badges.last() == CellPainter::Badge::CopyOfAnother)
                    tip = tr("The copy belongs to another photo");
                else if (badges.last() == CellPainter::Badge::CopyUnknown)
                    tip = tr("The original cannot be read right now, so whether the copy is its own cannot be told");
                else if (badges.last() == CellPainter::Badge::Undecodable)
                    tip = tr("This file cannot be decoded: it may be cut short or damaged");
            }
            if (!tip.isEmpty()) {
                QToolTip::showText(help->globalPos(), Theme::plainToolTip(tip), viewport());
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

} // namespace vorlane
