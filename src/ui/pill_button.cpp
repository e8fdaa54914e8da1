#include "ui/pill_button.h"

#include "ui/theme.h"

#include <QFontMetrics>
#include <QPainter>

namespace vorlane {
namespace {

constexpr int kGap = 5;

QFont countFont(const QFont &base)
{
    QFont f = base;
    f.setPointSizeF(base.pointSizeF() * 0.85);
    f.setWeight(QFont::Bold);
    return f;
}

} // namespace

PillButton::PillButton(QWidget *parent)
    : QAbstractButton(parent)
    , m_fill(Theme::accent())
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void PillButton::setSymbol(const QString &ligature, double pixelSize)
{
    m_symbol = ligature;
    m_symbolSize = pixelSize;
    updateGeometry();
    update();
}

void PillButton::setCount(std::optional<int> count)
{
    if (m_count == count)
        return;
    m_count = count;
    updateGeometry();
    update();
}

void PillButton::setColors(const QColor &fill, const QColor &content, const QColor &checkedFill)
{
    m_fill = fill;
    m_content = content;
    m_checkedFill = checkedFill;
    update();
}

void PillButton::setPadding(int horizontal, int vertical)
{
    m_padX = horizontal;
    m_padY = vertical;
    updateGeometry();
}

QSize PillButton::sizeHint() const
{
    const QFontMetrics fm(font());
    int width = 2 * m_padX;
    int height = fm.height();
    if (!m_symbol.isEmpty()) {
        width += int(m_symbolSize) + (text().isEmpty() ? 0 : kGap);
        height = std::max(height, int(m_symbolSize));
    }
    width += fm.horizontalAdvance(text());
    if (m_count)
        width += kGap + QFontMetrics(countFont(font())).horizontalAdvance(QString::number(*m_count)) + 12;
    return {width, height + 2 * m_padY};
}

void PillButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill = isChecked() && m_checkedFill.isValid() ? m_checkedFill : m_fill;
    if (isDown() && fill.alpha() > 0)
        fill = fill.darker(125);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(rect()), m_radius, m_radius);

    // Content centred as one row: symbol, text, count capsule.
    const QFontMetrics fm(font());
    const QFont small = countFont(font());
    const int countWidth = m_count ? QFontMetrics(small).horizontalAdvance(QString::number(*m_count)) + 12 : 0;
    const int symbolWidth = m_symbol.isEmpty() ? 0 : int(m_symbolSize) + (text().isEmpty() ? 0 : kGap);
    const int total = symbolWidth + fm.horizontalAdvance(text()) + (m_count ? kGap + countWidth : 0);
    double x = (width() - total) / 2.0;
    const double mid = height() / 2.0;
    if (!m_symbol.isEmpty()) {
        Theme::drawIcon(p, QRectF(x, mid - m_symbolSize / 2, m_symbolSize, m_symbolSize), m_symbol, m_content,
                        m_symbolSize);
        x += symbolWidth;
    }
    p.setPen(m_content);
    p.setFont(font());
    const double textWidth = fm.horizontalAdvance(text());
    p.drawText(QRectF(x, 0, textWidth + 1, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
    x += textWidth;
    if (m_count) {
        x += kGap;
        const QRectF capsule(x, mid - 8, countWidth, 16);
        p.setPen(Qt::NoPen);
        QColor capsuleFill = m_content;
        capsuleFill.setAlphaF(0.25f);
        p.setBrush(capsuleFill);
        p.drawRoundedRect(capsule, 8, 8);
        p.setPen(m_content);
        p.setFont(small);
        p.drawText(capsule, Qt::AlignCenter, QString::number(*m_count));
    }
}

} // namespace vorlane
