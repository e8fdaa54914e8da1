#include "ui/preview_overlay.h"

#include "ui/cell_painter.h"

#include "ui/info_panel.h"
#include "ui/large_image_view.h"
#include "ui/overlay_toggles.h"
#include "ui/theme.h"
#include "ui/thumbnail_cache.h"
#include "ui/video_player_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include <cmath>
#include <utility>

namespace vorlane {
namespace {

constexpr int kTopLineHeight = 40;
constexpr int kCounterBottom = 16;

} // namespace

PreviewOverlay::PreviewOverlay(AppModel &model, ThumbnailCache &thumbnails, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_thumbnails(thumbnails)
{
    m_topLine = new QWidget(this);
    auto *row = new QHBoxLayout(m_topLine);
    row->setContentsMargins(16, 10, 16, 10);
    row->setSpacing(8);
    m_name = Theme::plainLabel(QString(), 13, QFont::Medium, Theme::onDark(Theme::Tone::Primary), m_topLine);
    row->addWidget(m_name);
    m_burst = Theme::plainLabel(QString(), 12, QFont::DemiBold, Theme::burst().lighter(150), m_topLine);
    row->addWidget(m_burst);
    m_decision = Theme::plainLabel(QString(), 13, QFont::Bold, Theme::onDark(Theme::Tone::Primary), m_topLine);
    m_decision->setTextFormat(Qt::RichText);
    row->addWidget(m_decision);
    row->addStretch(1);

    m_mark = new QWidget(m_topLine);
    auto *markRow = new QHBoxLayout(m_mark);
    markRow->setContentsMargins(0, 0, 6, 0);
    markRow->setSpacing(3);
    auto *markIcon = new QLabel(QString::fromLatin1(Theme::Icon::trash), m_mark);
    markIcon->setFont(Theme::iconFont(14));
    Theme::setTextColor(markIcon, Theme::accent());
    markRow->addWidget(markIcon);
    markRow->addWidget(Theme::plainLabel(tr("Marked for discarding"), 12, QFont::DemiBold, Theme::accent(), m_mark));
    row->addWidget(m_mark);
    m_hint = Theme::plainLabel(tr("Space closes · ←→ step · D marks"), 11, QFont::Normal,
                               Theme::onDark(Theme::Tone::Tertiary), m_topLine);
    row->addWidget(m_hint);

    m_counter = Theme::plainLabel(QString(), 12, QFont::Medium, Theme::onDark(Theme::Tone::Secondary), this);
    m_counter->setAlignment(Qt::AlignCenter);
    // The name, the hints and the counter stay readable over a bright picture at 100 %: each sits on a band
    // of the overlay's own dark shade.
    for (QWidget *band : {m_topLine, static_cast<QWidget *>(m_counter)}) {
        QPalette palette = band->palette();
        palette.setColor(QPalette::Window, Theme::shade(0.62));
        band->setPalette(palette);
        band->setAutoFillBackground(true);
    }

    m_info = new InfoPanel(this);
    m_info->hide();
    connect(m_info, &InfoPanel::shown, this, [this] {
        placeChildren();
        Q_EMIT infoShown();
    });

    connect(&m_model.cursor(), &GridCursor::previewChanged, this, &PreviewOverlay::showPreview);
    connect(&m_model, &AppModel::shownChanged, this, &PreviewOverlay::showPreview);
    connect(&m_model.marks(), &CopyMarks::marksChanged, this, &PreviewOverlay::showPreview);
    connect(&m_model.bursts(), &BurstGroups::changed, this, &PreviewOverlay::showBurstPlace);
    connect(&m_model.decisions(), &Decisions::changed, this, &PreviewOverlay::showDecision);
    showPreview();
}

void PreviewOverlay::showPreview()
{
    const std::optional<int> index = m_model.cursor().previewIndex();
    const QList<MediaPair> &pairs = m_model.shownPairs();
    if (!index || *index < 0 || *index >= pairs.size()) {
        clearMedia();
        m_lastIndex.reset();
        setAttribute(Qt::WA_TransparentForMouseEvents, true);
        hide();
        return;
    }
    if (m_lastIndex && *m_lastIndex != *index) {
        const int n = int(pairs.size());
        const int forward = ((*index - *m_lastIndex) % n + n) % n;
        m_direction = forward <= n / 2 ? 1 : -1;
    }
    m_lastIndex = index;
    const MediaPair &pair = pairs[*index];
    if (pair.isVideo()) {
        delete std::exchange(m_image, nullptr);
        if (!m_video) {
            m_video = new VideoPlayerView(this);
            m_video->show();
        }
        m_video->setSource(pair.primary().path);
    } else {
        delete std::exchange(m_video, nullptr);
        if (!m_image) {
            m_image = new LargeImageView(m_loader, this);
            m_image->overlays().setToggles(m_toggles);
            m_image->show();
        }
        std::optional<std::filesystem::path> prefer;
        if (pair.imageItem())
            prefer = pair.imageItem()->path;
        m_image->setSource(pair.primary().path, prefer,
                           m_thumbnails.cachedPicture(pair, m_model.settings().thumbnailSize()), neighbours(*index));
    }
    if (m_infoWanted)
        loadInfo(pair);
    m_name->setText(pair.displayName());
    m_mark->setVisible(m_model.marks().marked().contains(pair.id()));
    showBurstPlace();
    showDecision();
    m_counter->setText(QStringLiteral("%1 / %2").arg(qint64(*index) + 1).arg(qint64(pairs.size())));
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    placeChildren();
    show(); // above the grid, below the toast: the window stacks its overlays once
}

void PreviewOverlay::showDecision()
{
    const auto id = m_model.cursor().previewedPairId();
    const QString html = id ? CellPainter::decisionHtml(m_model.decisions().of(*id)) : QString();
    m_decision->setText(html);
    m_decision->setVisible(!html.isEmpty());
}

void PreviewOverlay::showBurstPlace()
{
    const auto id = m_model.cursor().previewedPairId();
    const auto place = id ? m_model.bursts().placeOf(*id) : std::nullopt;
    m_burst->setVisible(place.has_value());
    if (place) {
        m_burst->setText(CellPainter::burstLabel(place->index, place->size, place->best));
    }
}

QList<std::filesystem::path> PreviewOverlay::neighbours(int index) const
{
    // Two ahead in the direction of travel, then one behind: what the next steps will most likely show.
    const QList<MediaPair> &pairs = m_model.shownPairs();
    const int n = int(pairs.size());
    QList<std::filesystem::path> files;
    for (const int offset : {m_direction, 2 * m_direction, -m_direction}) {
        if (n < 2)
            break;
        const MediaPair &pair = pairs[((index + offset) % n + n) % n];
        if (pair.isVideo())
            continue;
        const std::filesystem::path file = pair.picturedItem().path;
        if (!files.contains(file))
            files.append(file);
    }
    return files;
}

bool PreviewOverlay::infoVisible() const { return m_infoWanted && m_info->isVisibleTo(this); }

QList<QPair<QString, QString>> PreviewOverlay::infoRows() const { return m_info->rows(); }

void PreviewOverlay::toggleInfo()
{
    m_infoWanted = !m_infoWanted;
    if (!m_infoWanted) {
        m_info->hide();
        placeChildren();
        return;
    }
    const auto id = m_model.cursor().previewedPairId();
    if (const auto pair = id ? m_model.listing().pair(*id) : std::nullopt)
        loadInfo(*pair);
}

void PreviewOverlay::loadInfo(const MediaPair &pair)
{
    // The panel stays asked for from one cell to the next, a photo's or a clip's, while the preview closes
    // and opens again; it is shown over whichever view the cell gets.
    m_info->showFor(pair);
    m_info->show();
    placeChildren();
}

void PreviewOverlay::clearMedia()
{
    // Deleting the video view pauses and detaches its player at once, so the sound stops with the preview.
    delete std::exchange(m_video, nullptr);
    delete std::exchange(m_image, nullptr);
}

void PreviewOverlay::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeChildren();
}

void PreviewOverlay::placeChildren()
{
    const QRect area = rect();
    if (m_image)
        m_image->setGeometry(area);
    if (m_video)
        m_video->setGeometry(area.adjusted(0, kTopLineHeight, 0, -(kCounterBottom + 24)));
    m_topLine->setGeometry(0, 0, area.width(), kTopLineHeight);
    const QSize counter = m_counter->sizeHint() + QSize(24, 6);
    m_counter->setGeometry((area.width() - counter.width()) / 2, area.height() - kCounterBottom - counter.height(),
                           counter.width(), counter.height());
    m_topLine->raise();
    m_counter->raise();
    if (m_infoWanted) {
        const QSize size = m_info->sizeHint();
        m_info->setGeometry(area.width() - size.width() - 24, kTopLineHeight + 12, size.width(), size.height());
        m_info->raise();
    }
    if (m_image)
        m_image->setMessageClearOf(m_infoWanted ? m_info->geometry().translated(-m_image->pos()) : QRect());
}

void PreviewOverlay::setOverlayToggles(OverlayToggles *toggles)
{
    m_toggles = toggles;
    if (m_image)
        m_image->overlays().setToggles(toggles);
}

void PreviewOverlay::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Theme::stage());
}

} // namespace vorlane
