#include "ui/preview_overlay.h"

#include "media/shooting_info.h"
#include "model/main_thread.h"
#include "ui/large_image_view.h"
#include "ui/theme.h"
#include "ui/thumbnail_cache.h"
#include "ui/video_player_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPointer>

#include <cmath>
#include <utility>

namespace vorlane {
namespace {

// Sizes below are in the layout's points; Qt's font points are 4/3 of a pixel.
double pt(double points) { return points * 0.75; }

constexpr int kTopLineHeight = 40;
constexpr int kCounterBottom = 16;

// The information panel: its text on a dark rounded card over the picture.
class InfoCard final : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::shade(0.7));
        p.drawRoundedRect(QRectF(rect()), 10, 10);
        p.end();
        QLabel::paintEvent(event);
    }
};

QLabel *textLabel(const QString &text, double points, QFont::Weight weight, const QColor &color, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText); // a file name is never markup
    label->setFont(Theme::uiFont(pt(points), weight));
    Theme::setTextColor(label, color);
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
    m_name = textLabel(QString(), 13, QFont::Medium, Theme::onDark(Theme::Tone::Primary), m_topLine);
    row->addWidget(m_name);
    row->addStretch(1);

    m_mark = new QWidget(m_topLine);
    auto *markRow = new QHBoxLayout(m_mark);
    markRow->setContentsMargins(0, 0, 6, 0);
    markRow->setSpacing(3);
    auto *markIcon = new QLabel(QString::fromLatin1(Theme::Icon::trash), m_mark);
    markIcon->setFont(Theme::iconFont(14));
    Theme::setTextColor(markIcon, Theme::accent());
    markRow->addWidget(markIcon);
    markRow->addWidget(textLabel(tr("已标记丢弃"), 12, QFont::DemiBold, Theme::accent(), m_mark));
    row->addWidget(m_mark);
    m_hint = textLabel(tr("空格关闭 · ←→ 切换 · D 标记"), 11, QFont::Normal, Theme::onDark(Theme::Tone::Tertiary),
                       m_topLine);
    row->addWidget(m_hint);

    m_counter = textLabel(QString(), 12, QFont::Medium, Theme::onDark(Theme::Tone::Secondary), this);
    m_counter->setAlignment(Qt::AlignCenter);

    m_info = new InfoCard(this);
    Theme::setTextColor(m_info, Theme::onDark(Theme::Tone::Primary));
    m_info->setFont(Theme::uiFont(pt(12)));
    m_info->setTextFormat(Qt::RichText);
    m_info->setAutoFillBackground(false);
    m_info->setAttribute(Qt::WA_TranslucentBackground);
    m_info->setContentsMargins(14, 12, 14, 12);
    m_info->hide();
    m_infoPool.setMaxThreadCount(1);

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
            m_image->show();
        }
        std::optional<std::filesystem::path> prefer;
        if (pair.imageItem())
            prefer = pair.imageItem()->path;
        m_image->setSource(pair.primary().path, prefer, thumbnailOf(pair), neighbours(*index));
    }
    if (infoVisible() && m_infoFor != pair.id())
        loadInfo(pair);
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
    for (const auto &file : {pair.imageItem(), std::optional<MediaItem>(pair.primary())}) {
        const QPixmap cached = file ? m_thumbnails.cached(*file, size) : QPixmap();
        if (!cached.isNull())
            return cached.toImage();
    }
    return {};
}

QList<std::filesystem::path> PreviewOverlay::neighbours(int index) const
{
    // Two ahead in the direction of travel, then one behind: what the next steps will most likely show.
    const QList<MediaPair> &pairs = m_model.listing().pairs();
    const int n = int(pairs.size());
    QList<std::filesystem::path> files;
    for (const int offset : {m_direction, 2 * m_direction, -m_direction}) {
        if (n < 2)
            break;
        const MediaPair &pair = pairs[((index + offset) % n + n) % n];
        if (pair.isVideo())
            continue;
        const std::filesystem::path file = pair.imageItem() ? pair.imageItem()->path : pair.primary().path;
        if (!files.contains(file))
            files.append(file);
    }
    return files;
}

namespace {

QString fraction(double seconds)
{
    if (seconds >= 1.0)
        return QString::number(seconds, 'g', 3) + QStringLiteral(" s");
    return QStringLiteral("1/") + QString::number(std::lround(1.0 / seconds)) + QStringLiteral(" s");
}

QString decimal(double value, int precision)
{
    QString text = QString::number(value, 'f', precision);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return text;
}

} // namespace

bool PreviewOverlay::infoVisible() const { return m_info->isVisible(); }

void PreviewOverlay::toggleInfo()
{
    if (infoVisible()) {
        m_info->hide();
        return;
    }
    const auto id = m_model.cursor().previewedPairId();
    const auto pair = id ? m_model.listing().pair(*id) : std::nullopt;
    if (!pair)
        return;
    m_info->show();
    m_info->raise();
    loadInfo(*pair);
}

void PreviewOverlay::loadInfo(const MediaPair &pair)
{
    m_infoFor = pair.id();
    m_info->setText(tr("读取中…"));
    m_info->adjustSize();
    placeChildren();
    QStringList names;
    for (const MediaItem &item : pair.allOriginals())
        names.append(item.displayName());
    const std::filesystem::path file = pair.primary().path;
    const bool video = pair.isVideo();
    const QPointer<PreviewOverlay> self(this);
    m_infoPool.start([self, id = pair.id(), file, video, names] {
        const ShootingInfo info = ShootingInfo::read(file, video);
        QList<QPair<QString, QString>> rows;
        const auto add = [&rows](const char *label, const QString &value) {
            if (!value.isEmpty())
                rows.append({PreviewOverlay::tr(label), value});
        };
        if (info.captured)
            add("拍摄时间", QLocale(QLocale::Chinese).toString(*info.captured, QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        add("相机", info.camera);
        add("镜头", info.lens);
        if (info.exposureSeconds && *info.exposureSeconds > 0)
            add("快门", fraction(*info.exposureSeconds));
        if (info.fNumber && *info.fNumber > 0)
            add("光圈", QStringLiteral("f/") + decimal(*info.fNumber, 1));
        if (info.iso)
            add("ISO", QString::number(*info.iso));
        if (info.focalLengthMm && *info.focalLengthMm > 0)
            add("焦距", decimal(*info.focalLengthMm, 1) + QStringLiteral(" mm"));
        if (info.exposureBiasEv)
            add("曝光补偿",
                (*info.exposureBiasEv > 0 ? QStringLiteral("+") : QString()) + decimal(*info.exposureBiasEv, 1)
                    + QStringLiteral(" EV"));
        if (info.durationSeconds)
            add("时长", VideoPlayerView::clockText(qint64(*info.durationSeconds * 1000)));
        if (info.framesPerSecond)
            add("帧率", decimal(*info.framesPerSecond, 2) + QStringLiteral(" fps"));
        if (info.size.isValid())
            add(video ? "分辨率" : "尺寸", QStringLiteral("%1 × %2").arg(info.size.width()).arg(info.size.height()));
        add("编码", info.codec);
        if (info.fileBytes > 0)
            add("文件大小", formatBytes(info.fileBytes));
        add("文件", names.join(QStringLiteral("\n")));
        postToMain(self, [id, rows](PreviewOverlay &overlay) { overlay.showInfo(id, rows); });
    });
}

void PreviewOverlay::showInfo(const QUuid &pairId, QList<QPair<QString, QString>> rows)
{
    if (pairId != m_infoFor || !infoVisible())
        return; // the preview moved on meanwhile: that cell's reading is on its way
    m_infoRows = std::move(rows);
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">");
    const QColor label = Theme::onDark(Theme::Tone::Secondary);
    for (const auto &[name, value] : std::as_const(m_infoRows)) {
        html += QStringLiteral("<tr><td style=\"color:%1\">%2</td><td>%3</td></tr>")
                    .arg(label.name(QColor::HexArgb), name.toHtmlEscaped(),
                         value.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>")));
    }
    html += QStringLiteral("</table>");
    m_info->setText(html);
    m_info->adjustSize();
    placeChildren();
    Q_EMIT infoShown();
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
    if (m_info->isVisible()) {
        const QSize size = m_info->sizeHint();
        m_info->setGeometry(area.width() - size.width() - 24, kTopLineHeight + 12, size.width(), size.height());
        m_info->raise();
    }
}

void PreviewOverlay::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Theme::shade(0.96));
}

} // namespace vorlane
