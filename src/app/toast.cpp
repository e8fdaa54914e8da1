#include "app/toast.h"

#include "ui/theme.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace vorlane {

Toast::Toast(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_timer.setSingleShot(true);
    m_timer.setInterval(kShowMs);
    connect(&m_timer, &QTimer::timeout, this, &Toast::dismiss);
    hide();
}

void Toast::showMessage(const QString &message)
{
    m_message = message;
    if (!isVisible()) {
        show();
        raise();
        m_timer.start(message.contains(u'\n') ? kShowWithReasonsMs : kShowMs);
    }
    adjustSize();
    update();
}

void Toast::dismiss()
{
    hide();
    Q_EMIT dismissed();
}

QSize Toast::sizeHint() const
{
    const QFontMetrics fm(Theme::uiFont(12));
    const QStringList lines = m_message.split(u'\n');
    int width = 0;
    for (const QString &line : lines)
        width = std::max(width, fm.horizontalAdvance(line));
    return QSize(width + 32 + 16, fm.height() * int(lines.size()) + 20 + 16);
}

void Toast::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = QRectF(rect()).adjusted(8, 6, -8, -10);
    // A soft shadow, then the capsule with its hairline and the text.
    for (int i = 4; i > 0; --i) {
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::shade(0.055));
        p.drawRoundedRect(capsule.adjusted(-i, -i + 2, i, i + 2), std::min(capsule.height() / 2, 18.0) + i,
                          std::min(capsule.height() / 2, 18.0) + i);
    }
    p.setBrush(palette().color(QPalette::Base));
    p.setPen(QPen(Theme::text(Theme::Tone::Quaternary, palette()), 1));
    const double radius = std::min(capsule.height() / 2, 18.0);
    p.drawRoundedRect(capsule, radius, radius);
    // The summary, then the reasons in a quieter grey.
    p.setFont(Theme::uiFont(12));
    const QFontMetrics fm(p.font());
    const QStringList lines = m_message.split(u'\n');
    double y = capsule.center().y() - fm.height() * lines.size() / 2.0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        p.setPen(Theme::text(i == 0 ? Theme::Tone::Primary : Theme::Tone::Secondary, palette()));
        p.drawText(QRectF(capsule.left(), y, capsule.width(), fm.height()), Qt::AlignCenter, lines[i]);
        y += fm.height();
    }
}

} // namespace vorlane
