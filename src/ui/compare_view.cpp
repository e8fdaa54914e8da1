#include "ui/compare_view.h"

#include "ui/cell_painter.h"

#include "ui/info_panel.h"
#include "ui/overlay_toggles.h"
#include "ui/large_image_view.h"
#include "ui/preview_loader.h"
#include "ui/theme.h"
#include "ui/thumbnail_cache.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace vorlane {
namespace {

constexpr int kHeaderHeight = 40;
constexpr int kHintHeight = 28;
constexpr int kGap = 2;

} // namespace

CompareView::CompareView(AppModel &model, ThumbnailCache &thumbnails, PreviewLoader &loader, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_thumbnails(thumbnails)
{
    const QString roles[2] = {tr("Reference"), tr("Candidate")};
    for (int i = 0; i < 2; ++i) {
        Pane &pane = m_panes[i];
        pane.header = new QWidget(this);
        auto *row = new QHBoxLayout(pane.header);
        row->setContentsMargins(14, 8, 14, 8);
        row->setSpacing(8);
        pane.role = Theme::plainLabel(roles[i], 12, QFont::Bold, Theme::onDark(Theme::Tone::Secondary), pane.header);
        row->addWidget(pane.role);
        pane.name = Theme::plainLabel(QString(), 13, QFont::Medium, Theme::onDark(Theme::Tone::Primary), pane.header);
        row->addWidget(pane.name);
        pane.burst = Theme::plainLabel(QString(), 12, QFont::DemiBold, Theme::burst().lighter(150), pane.header);
        row->addWidget(pane.burst);
        pane.decision = Theme::plainLabel(QString(), 13, QFont::Bold, Theme::onDark(Theme::Tone::Primary), pane.header);
        pane.decision->setTextFormat(Qt::RichText);
        row->addWidget(pane.decision);
        row->addStretch(1);
        pane.mark = new QWidget(pane.header);
        auto *markRow = new QHBoxLayout(pane.mark);
        markRow->setContentsMargins(0, 0, 0, 0);
        markRow->setSpacing(3);
        auto *icon = Theme::plainLabel(QString::fromLatin1(Theme::Icon::trash), 12, QFont::Normal, Theme::accent(),
                                       pane.mark);
        icon->setFont(Theme::iconFont(14));
        markRow->addWidget(icon);
        markRow->addWidget(
            Theme::plainLabel(tr("Marked for discarding"), 12, QFont::DemiBold, Theme::accent(), pane.mark));
        row->addWidget(pane.mark);
        pane.view = new LargeImageView(loader, this);
        pane.info = new InfoPanel(this);
        pane.info->hide();
        connect(pane.info, &InfoPanel::shown, this, &CompareView::placeChildren);
    }
    // The panes move together: what one is told (a key, a drag, the wheel), the other follows.
    for (int i = 0; i < 2; ++i) {
        LargeImageView *self = m_panes[i].view;
        LargeImageView *other = m_panes[1 - i].view;
        connect(self, &LargeImageView::viewMoved, this, [this, self, other] {
            if (m_following)
                return;
            m_following = true;
            other->followView(self->zoom(), self->centre());
            m_following = false;
        });
    }
    m_hint = Theme::plainLabel(
        tr("←→ candidate · R make reference · D mark candidate · K keep reference · Z 100% · I info · Esc close"),
        11, QFont::Normal, Theme::onDark(Theme::Tone::Tertiary), this);
    m_hint->setAlignment(Qt::AlignCenter);

    connect(&m_model.cursor(), &GridCursor::compareChanged, this, &CompareView::showCells);
    connect(&m_model.listing(), &FolderListing::contentsChanged, this, &CompareView::showCells);
    connect(&m_model.marks(), &CopyMarks::marksChanged, this, &CompareView::showCells);
    connect(&m_model.bursts(), &BurstGroups::changed, this, &CompareView::showCells);
    connect(&m_model.decisions(), &Decisions::changed, this, &CompareView::showCells);
    showCells();
}

void CompareView::showCells()
{
    const GridCursor &cursor = m_model.cursor();
    const auto reference
        = cursor.compareReference() ? m_model.listing().pair(*cursor.compareReference()) : std::nullopt;
    const auto candidate
        = cursor.compareCandidate() ? m_model.listing().pair(*cursor.compareCandidate()) : std::nullopt;
    if (!reference || !candidate) {
        setAttribute(Qt::WA_TransparentForMouseEvents, true);
        hide();
        return;
    }
    // The candidates after this one are decoded ahead, so a step shows its picture at once.
    QList<std::filesystem::path> ahead;
    const QList<QUuid> ids = cursor.pairIds();
    const qsizetype at = ids.indexOf(candidate->id());
    for (int offset : {1, 2, -1}) {
        if (ids.size() < 3)
            break;
        const QUuid id = ids[((at + offset) % ids.size() + ids.size()) % ids.size()];
        if (id == reference->id())
            continue;
        if (const auto pair = m_model.listing().pair(id); pair && !pair->isVideo())
            ahead.append(pair->picturedItem().path);
    }
    fill(m_panes[0], *reference, {});
    fill(m_panes[1], *candidate, ahead);
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    placeChildren();
    show(); // above the grid, below the toast: the window stacks its overlays once
}

void CompareView::fill(Pane &pane, const MediaPair &pair, const QList<std::filesystem::path> &ahead)
{
    pane.name->setText(pair.displayName());
    pane.mark->setVisible(m_model.marks().marked().contains(pair.id()));
    const auto place = m_model.bursts().placeOf(pair.id());
    const QString decision = CellPainter::decisionHtml(m_model.decisions().of(pair.id()));
    pane.decision->setText(decision);
    pane.decision->setVisible(!decision.isEmpty());
    pane.burst->setVisible(place.has_value());
    if (place)
        pane.burst->setText(CellPainter::burstLabel(place->index, place->size, place->best));
    std::optional<std::filesystem::path> prefer;
    if (pair.imageItem())
        prefer = pair.imageItem()->path;
    pane.view->setSource(pair.primary().path, prefer,
                         m_thumbnails.cachedPicture(pair, m_model.settings().thumbnailSize()), ahead);
    // Asked of the panel itself: while the view is closed its panels are not visible, yet stay asked for.
    if (pane.info->isVisibleTo(this))
        pane.info->showFor(pair);
}

void CompareView::setOverlayToggles(OverlayToggles *toggles)
{
    for (Pane &pane : m_panes)
        pane.view->overlays().setToggles(toggles);
}

void CompareView::toggleZoom()
{
    // The candidate leads; the reference follows it to the same spot.
    m_panes[1].view->toggleZoom();
}

void CompareView::zoomBy(int steps) { m_panes[1].view->zoomBy(steps); }

void CompareView::pan(QPointF by) { m_panes[1].view->pan(by); }

bool CompareView::infoVisible() const { return m_panes[0].info->isVisibleTo(this); }

void CompareView::toggleInfo()
{
    const bool show = !infoVisible();
    const GridCursor &cursor = m_model.cursor();
    const std::optional<QUuid> ids[2] = {cursor.compareReference(), cursor.compareCandidate()};
    for (int i = 0; i < 2; ++i) {
        m_panes[i].info->setVisible(show);
        if (show && ids[i]) {
            if (const auto pair = m_model.listing().pair(*ids[i]))
                m_panes[i].info->showFor(*pair);
        }
    }
    placeChildren();
}

void CompareView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeChildren();
}

void CompareView::placeChildren()
{
    const int half = (width() - kGap) / 2;
    for (int i = 0; i < 2; ++i) {
        const QRect column(i == 0 ? 0 : width() - half, 0, half, height() - kHintHeight);
        Pane &pane = m_panes[i];
        pane.header->setGeometry(column.left(), 0, column.width(), kHeaderHeight);
        pane.view->setGeometry(column.left(), kHeaderHeight, column.width(), column.height() - kHeaderHeight);
        const bool info = pane.info->isVisibleTo(this);
        if (info) {
            const QSize size = pane.info->sizeHint().boundedTo(QSize(column.width() - 32, column.height() - 80));
            pane.info->setGeometry(column.right() - size.width() - 16, kHeaderHeight + 12, size.width(), size.height());
            pane.info->raise();
        }
        pane.view->setMessageClearOf(info ? pane.info->geometry().translated(-pane.view->pos()) : QRect());
    }
    m_hint->setGeometry(0, height() - kHintHeight, width(), kHintHeight);
}

void CompareView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Theme::stage());
    // The seam between the panes.
    p.fillRect(QRect((width() - kGap) / 2, 0, kGap, height() - kHintHeight), Theme::onDark(Theme::Tone::Quaternary));
}

} // namespace vorlane
