#include "ui/browser_grid.h"

#include "ui/cell_painter.h"
#include "ui/thumbnail_cache.h"
#include "ui/theme.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QToolTip>

namespace vorlane {
namespace {

std::optional<std::filesystem::path> preferredFile(const MediaPair &pair, AppModel::ViewMode mode)
{
    if (mode == AppModel::ViewMode::Merged && pair.imageItem())
        return pair.imageItem()->path;
    return std::nullopt;
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
    connect(&m_model, &AppModel::changed, this, &BrowserGrid::modelChanged);
    // A listing, even of the same folder, retries the thumbnails that failed (a file still being written).
    connect(&m_model, &AppModel::listingApplied, this, [this] {
        m_cache.clearFailures();
        viewport()->update();
    });
    m_thumbnailRepaint.setSingleShot(true);
    m_thumbnailRepaint.setInterval(16);
    connect(&m_thumbnailRepaint, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));
    connect(&m_cache, &ThumbnailCache::ready, this, [this] {
        if (!m_thumbnailRepaint.isActive())
            m_thumbnailRepaint.start();
    });
    relayout();
}

GridGeometry BrowserGrid::geometryNow() const
{
    GridGeometry g;
    g.width = viewport()->width();
    g.tileSize = m_model.thumbnailSize();
    g.showLabels = m_model.showFilenames();
    g.top = loadErrorHeight();
    return g;
}

double BrowserGrid::loadErrorHeight() const { return m_model.loadError() ? 32.0 : 0.0; }

void BrowserGrid::modelChanged(AppModel::Field field)
{
    using F = AppModel::Field;
    switch (field) {
    case F::Folders:
    case F::Pairs:
    case F::ShowFilenames:
    case F::LoadError:
        relayout();
        break;
    case F::GridColumns:
        // Another writer (the tile-size slider) set a count this grid does not lay out: the arrow keys must
        // keep moving by the rows on screen, so the real count goes back once the writer has finished.
        if (m_model.gridColumns() != geometryNow().columns())
            QTimer::singleShot(0, this, &BrowserGrid::updateColumns);
        break;
    case F::ThumbnailSize:
        relayout();
        updateColumns();
        break;
    case F::Selection:
        viewport()->update();
        scrollToSelection();
        break;
    case F::IsLoading:
        if (m_model.isLoading())
            m_spinner.start();
        else
            m_spinner.stop();
        viewport()->update();
        break;
    case F::MarkedPairIds:
    case F::JobStatus:
    case F::ViewMode:
    case F::FillMode:
    case F::ShowRawLabel:
        viewport()->update();
        break;
    default:
        break;
    }
}

void BrowserGrid::relayout()
{
    const GridGeometry g = geometryNow();
    const int count = int(m_model.folders().size() + m_model.pairs().size());
    const int height = int(std::ceil(g.contentHeight(count)));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, height - viewport()->height()));
    viewport()->update();
}

void BrowserGrid::updateColumns() { m_model.setGridColumns(geometryNow().columns()); }

void BrowserGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
    updateColumns();
}

int BrowserGrid::indexAt(const QPoint &p) const
{
    const int count = int(m_model.folders().size() + m_model.pairs().size());
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
    m_model.selectByClick(m_model.gridItems()[index]);
}

void BrowserGrid::scrollContentsBy(int, int)
{
    const int value = verticalScrollBar()->value();
    m_scrollingDown = value >= m_lastScrollValue;
    m_lastScrollValue = value;
    viewport()->update();
}

void BrowserGrid::scrollToSelection()
{
    const auto selection = m_model.selection();
    if (!selection)
        return;
    const bool byKeyboard = m_model.lastSelectionByKeyboard();
    if (byKeyboard ? !m_model.autoScrollOnNav() : !m_model.autoScrollOnClick())
        return;
    const int index = int(m_model.gridItems().indexOf(*selection));
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

void BrowserGrid::requestThumbnails()
{
    const GridGeometry g = geometryNow();
    const QList<FolderEntry> &folders = m_model.folders();
    const QList<MediaPair> &pairs = m_model.pairs();
    const int count = int(folders.size() + pairs.size());
    const double top = verticalScrollBar()->value();
    const double h = viewport()->height();
    const double scale = devicePixelRatioF();
    const double size = m_model.thumbnailSize();
    // Visible cells first, then one screen ahead in the direction of scrolling.
    const auto [v0, v1] = g.indexRange(top, top + h, count);
    const auto [a0, a1] = m_scrollingDown ? g.indexRange(top + h, top + 2 * h, count) : g.indexRange(top - h, top, count);
    QStringList wanted;
    auto want = [&](int index) {
        if (index < folders.size() || index >= count)
            return;
        const MediaPair &pair = pairs[index - folders.size()];
        const auto prefer = preferredFile(pair, m_model.viewMode());
        wanted.append(ThumbnailCache::cacheKey(prefer.value_or(pair.primary().path), size));
        if (m_cache.cached(pair.primary(), prefer, size).isNull())
            m_cache.request(pair.primary(), prefer, size, scale);
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

void BrowserGrid::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    const QPalette pal = palette();
    p.fillRect(viewport()->rect(), pal.color(QPalette::Window));
    const GridGeometry g = geometryNow();
    const double offset = verticalScrollBar()->value();
    if (const auto &error = m_model.loadError()) {
        p.setPen(QColor(220, 40, 40));
        p.setFont(Theme::uiFont(10));
        p.drawText(QRectF(12, 8 - offset, viewport()->width() - 24, 24), Qt::AlignLeft | Qt::AlignVCenter, *error);
    }
    const QList<FolderEntry> &folders = m_model.folders();
    const QList<MediaPair> &pairs = m_model.pairs();
    const int count = int(folders.size() + pairs.size());
    const auto [first, last] = g.indexRange(offset, offset + viewport()->height(), count);
    const auto selection = m_model.selection();
    for (int i = first; i <= last; ++i) {
        const QPointF origin = g.cellRect(i).topLeft() - QPointF(0, offset);
        if (i < folders.size()) {
            const FolderEntry &f = folders[i];
            CellPainter::paintFolder(p, origin,
                                     {&f, g.tileSize, selection == GridSelection::folder(f.id), m_model.showFilenames()});
            continue;
        }
        const MediaPair &pair = pairs[i - folders.size()];
        CellPainter::MediaCell cell;
        cell.pair = &pair;
        cell.isSelected = selection == GridSelection::media(pair.id());
        cell.isMarked = m_model.markedPairIds().contains(pair.id());
        const auto status = m_model.jobStatus().constFind(pair.id());
        if (status != m_model.jobStatus().constEnd())
            cell.jobStatus = *status;
        cell.size = g.tileSize;
        cell.viewMode = m_model.viewMode();
        cell.fillMode = m_model.fillMode();
        cell.showFilename = m_model.showFilenames();
        cell.showRawLabel = m_model.showRawLabel();
        const auto prefer = preferredFile(pair, cell.viewMode);
        cell.image = m_cache.cached(pair.primary(), prefer, g.tileSize);
        cell.loadFailed = cell.image.isNull() && m_cache.failed(pair.primary(), prefer, g.tileSize);
        CellPainter::paintMedia(p, origin, cell);
    }
    if (m_model.isLoading()) {
        // An indeterminate spinner over the grid: twelve spokes, the brightest turning.
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF c = QRectF(viewport()->rect()).center();
        for (int k = 0; k < 12; ++k) {
            p.save();
            p.translate(c);
            p.rotate(k * 30 + m_spinnerAngle);
            QColor spoke = pal.color(QPalette::WindowText);
            spoke.setAlphaF(float(0.15 + 0.85 * ((k + 1) / 12.0)));
            p.setPen(QPen(spoke, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(0, -10), QPointF(0, -18));
            p.restore();
        }
    }
    requestThumbnails();
}

bool BrowserGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        // A failed copy says why on its badge.
        auto *help = static_cast<QHelpEvent *>(event);
        const int index = indexAt(help->pos());
        const int folderCount = int(m_model.folders().size());
        if (index >= folderCount) {
            const MediaPair &pair = m_model.pairs()[index - folderCount];
            const auto status = m_model.jobStatus().constFind(pair.id());
            if (status != m_model.jobStatus().constEnd() && status->kind() == BsideJobStatus::Case::Failed) {
                CellPainter::MediaCell cell;
                cell.pair = &pair;
                cell.isMarked = m_model.markedPairIds().contains(pair.id());
                cell.jobStatus = *status;
                cell.size = m_model.thumbnailSize();
                const QPointF origin = cellViewportRect(index).topLeft();
                const QList<QRectF> rects = CellPainter::badgeRects(origin, cell);
                if (!rects.isEmpty() && rects.last().contains(help->pos())) {
                    QToolTip::showText(help->globalPos(), QStringLiteral("副本生成失败：") + status->message(), viewport());
                    return true;
                }
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

} // namespace vorlane
