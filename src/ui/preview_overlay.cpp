#include "ui/preview_overlay.h"

#include "ui/large_image_view.h"
#include "ui/theme.h"
#include "ui/thumbnail_cache.h"
#include "ui/video_player_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include <utility>

namespace vorlane {
namespace {

// Sizes below are in the layout's points; Qt's font points are 4/3 of a pixel.
double pt(double points) { return points * 0.75; }

constexpr int kTopLineHeight = 40;
constexpr int kCounterBottom = 16;

QLabel *textLabel(const QString &text, double points, QFont::Weight weight, const QString &color, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(Theme::uiFont(pt(points), weight));
    label->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(color));
    return label;
}

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
    m_name = textLabel(QString(), 13, QFont::Medium, QStringLiteral("rgba(255,255,255,217)"), m_topLine);
    row->addWidget(m_name);
    row->addStretch(1);

    const QColor accent = Theme::accent();
    const QString accentCss = QStringLiteral("rgb(%1,%2,%3)").arg(accent.red()).arg(accent.green()).arg(accent.blue());
    m_mark = new QWidget(m_topLine);
    auto *markRow = new QHBoxLayout(m_mark);
    markRow->setContentsMargins(0, 0, 6, 0);
    markRow->setSpacing(3);
    auto *markIcon = new QLabel(QString::fromLatin1(Theme::Icon::trash), m_mark);
    markIcon->setFont(Theme::iconFont(14));
    markIcon->setStyleSheet(QStringLiteral("color: %1;").arg(accentCss));
    markRow->addWidget(markIcon);
    markRow->addWidget(textLabel(QStringLiteral("已标记丢弃"), 12, QFont::DemiBold, accentCss, m_mark));
    row->addWidget(m_mark);
    m_hint = textLabel(QStringLiteral("空格关闭 · ←→ 切换 · D 标记"), 11, QFont::Normal,
                       QStringLiteral("rgba(255,255,255,102)"), m_topLine);
    row->addWidget(m_hint);

    m_counter = textLabel(QString(), 12, QFont::Medium, QStringLiteral("rgba(255,255,255,153)"), this);
    m_counter->setAlignment(Qt::AlignCenter);

    connect(&m_model.cursor(), &GridCursor::previewChanged, this, &PreviewOverlay::showPreview);
    connect(&m_model.listing(), &FolderListing::contentsChanged, this, &PreviewOverlay::showPreview);
    connect(&m_model.marks(), &CopyMarks::marksChanged, this, &PreviewOverlay::showPreview);
    showPreview();
}

void PreviewOverlay::showPreview()
{
    const std::optional<int> index = m_model.cursor().previewIndex();
    const QList<MediaPair> &pairs = m_model.listing().pairs();
    if (!index || *index < 0 || *index >= pairs.size()) {
        clearMedia();
        setAttribute(Qt::WA_TransparentForMouseEvents, true);
        hide();
        return;
    }
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
            m_image = new LargeImageView(this);
            m_image->show();
        }
        std::optional<std::filesystem::path> prefer;
        if (pair.imageItem())
            prefer = pair.imageItem()->path;
        m_image->setSource(pair.primary().path, prefer, thumbnailOf(pair));
    }
    m_name->setText(pair.displayName());
    m_mark->setVisible(m_model.marks().marked().contains(pair.id()));
    m_counter->setText(QStringLiteral("%1 / %2").arg(qint64(*index) + 1).arg(qint64(pairs.size())));
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    placeChildren();
    show();
    raise();
}

QImage PreviewOverlay::thumbnailOf(const MediaPair &pair) const
{
    // The grid asked for the JPEG of a pair, or for the primary file when pairs are shown apart.
    const double size = m_model.settings().thumbnailSize();
    std::optional<std::filesystem::path> jpeg;
    if (pair.imageItem())
        jpeg = pair.imageItem()->path;
    for (const auto &prefer : {jpeg, std::optional<std::filesystem::path>()}) {
        const QPixmap cached = m_thumbnails.cached(pair.primary(), prefer, size);
        if (!cached.isNull())
            return cached.toImage();
    }
    return {};
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
    const int counterHeight = m_counter->sizeHint().height();
    m_counter->setGeometry(0, area.height() - kCounterBottom - counterHeight, area.width(), counterHeight);
    m_topLine->raise();
    m_counter->raise();
}

void PreviewOverlay::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 0, 0, 245));
}

} // namespace vorlane
