#include "app/toast.h"

#include "ui/theme.h"

#include <QFontMetrics>
#include <QPainter>

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
        m_timer.start();
    }
    adjustSize();
    update();
}

void Toast::dismiss()
{
    hide();
    if (m_onDismiss)
        m_onDismiss();
}

QSize Toast::sizeHint() const
{
    const QFontMetrics fm(Theme::uiFont(12));
    return QSize(fm.horizontalAdvance(m_message) + 32 + 16, fm.height() + 20 + 16);
}

void Toast::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = QRectF(rect()).adjusted(8, 6, -8, -10);
    // A soft shadow, then the capsule with its hairline and the text.
    for (int i = 4; i > 0; --i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 14));
        p.drawRoundedRect(capsule.adjusted(-i, -i + 2, i, i + 2), capsule.height() / 2 + i, capsule.height() / 2 + i);
    }
    p.setBrush(QColor(250, 250, 250, 240));
    p.setPen(QPen(QColor(0, 0, 0, 40), 1));
    p.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    p.setPen(QColor(30, 30, 30));
    p.setFont(Theme::uiFont(12));
    p.drawText(capsule, Qt::AlignCenter, m_message);
}

} // namespace vorlane
