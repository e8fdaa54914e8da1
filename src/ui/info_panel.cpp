#include "ui/info_panel.h"

#include "core/format_bytes.h"
#include "media/shooting_info.h"
#include "ui/theme.h"
#include "ui/video_player_view.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPainter>

#include <cmath>

namespace vorlane {
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

InfoPanel::InfoPanel(QWidget *parent)
    : QLabel(parent)
    , m_jobs(QStringLiteral("shooting info"), 1, 0)
{
    Theme::setTextColor(this, Theme::onDark(Theme::Tone::Primary));
    setFont(Theme::uiFont(Theme::points(12)));
    setTextFormat(Qt::RichText); // built here from escaped values only
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    setContentsMargins(14, 12, 14, 12);
}

void InfoPanel::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::shade(0.7));
    p.drawRoundedRect(QRectF(rect()), 10, 10);
    p.end();
    QLabel::paintEvent(event);
}

void InfoPanel::showFor(const MediaPair &pair)
{
    if (m_cell == pair.id())
        return;
    m_cell = pair.id();
    m_rows.clear();
    setText(tr("Reading…"));
    adjustSize();
    QStringList names;
    for (const MediaItem &item : pair.allOriginals())
        names.append(item.displayName());
    const std::filesystem::path file = pair.primary().path;
    const bool video = pair.isVideo();
    m_jobs.run(this, [file, video, names] {
        const ShootingInfo info = ShootingInfo::read(file, video);
        QList<QPair<QString, QString>> rows;
        const auto add = [&rows](const char *label, const QString &value) {
            if (!value.isEmpty())
                rows.append({QCoreApplication::translate("vorlane::InfoPanel", label), value});
        };
        if (info.captured)
            add(QT_TRANSLATE_NOOP("vorlane::InfoPanel", "Taken"),
                QLocale(QLocale::Chinese).toString(*info.captured, QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        add(QT_TRANSLATE_NOOP("vorlane::InfoPanel", "Camera"), info.camera);
        add(QT_TRANSLATE_NOOP("vorlane::InfoPanel", "Lens"), info.lens);
        if (info.exposureSeconds && *info.exposureSeconds > 0)
            add(QT_TRANSLATE_NOOP("vorlane::InfoPanel", "Shutter"), fraction(*info.exposureSeconds));
        if (info.fNumber && *info.fNumber > 0)
            add(QT_TRANSLATE_NOOP("vorlane::InfoPanel", "Aperture"), QStringLiteral("f/") + decimal(*info.fNumber, 1));
        if (info.iso)
            add(QT_TRANSLATE_NOOP("vorlane::InfoPanel", "ISO"), QString::number(*info.iso));
        if (info.focalLengthMm && *info.focalLengthMm > 0)
            add(QT_TRANSLATE_NOOP("vorlane::InfoPanel", "Focal length"), decimal(*info.focalLengthMm, 1) + QStringLiteral(" mm"));
        if (info.exposureBiasEv)
            add(QT_TRANSLATE_NOOP("vorlane::InfoPanel", "Exposure compensation"),
                (*info.exposureBiasEv > 0 ? QStringLiteral("+") : QString()) + decimal(*info.exposureBiasEv, 1)
                    + QStringLiteral(" EV"));
        if (info.durationSeconds)
            add(QT_TRANSLATE_NOOP("vorlane::InfoPanel", "Length"),
                VideoPlayerView::clockText(qint64(*info.durationSeconds * 1000)));
        if (info.framesPerSecond)
            add(QT_TRANSLATE_NOOP("vorlane::InfoPanel", "Frame rate"), decimal(*info.framesPerSecond, 2) + QStringLiteral(" fps"));
        if (info.size.isValid())
            add(video ? QT_TRANSLATE_NOOP("vorlane::InfoPanel", "Resolution") : QT_TRANSLATE_NOOP("vorlane::InfoPanel", "Size"),
                QStringLiteral("%1 × %2").arg(info.size.width()).arg(info.size.height()));
        add(QT_TRANSLATE_NOOP("vorlane::InfoPanel", "Codec"), info.codec);
        if (info.fileBytes > 0)
            add(QT_TRANSLATE_NOOP("vorlane::InfoPanel", "File size"), formatBytes(info.fileBytes));
        add(QT_TRANSLATE_NOOP("vorlane::InfoPanel", "File"), names.join(QStringLiteral("\n")));
        return rows;
    }, [id = pair.id()](InfoPanel &panel, QList<QPair<QString, QString>> rows) { panel.showRows(id, std::move(rows)); });
}

void InfoPanel::showRows(const QUuid &cell, QList<QPair<QString, QString>> rows)
{
    if (cell != m_cell)
        return; // the panel moved on meanwhile: that cell's reading is on its way
    m_rows = std::move(rows);
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">");
    const QColor label = Theme::onDark(Theme::Tone::Secondary);
    for (const auto &[name, value] : std::as_const(m_rows)) {
        html += QStringLiteral("<tr><td style=\"color:%1\">%2</td><td>%3</td></tr>")
                    .arg(label.name(QColor::HexArgb), name.toHtmlEscaped(),
                         value.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>")));
    }
    html += QStringLiteral("</table>");
    setText(html);
    adjustSize();
    Q_EMIT shown();
}

} // namespace vorlane
