#include "ui/theme.h"

#include <QPainter>

namespace vorlane::Theme {

QColor accent() { return QColor(0xB7, 0x2B, 0x35); }

QColor accent(double opacity)
{
    QColor c = accent();
    c.setAlphaF(float(opacity));
    return c;
}

QFont uiFont(double pointSize, QFont::Weight weight)
{
    QFont f(QStringLiteral("Noto Sans CJK SC"));
    f.setPointSizeF(pointSize);
    f.setWeight(weight);
    return f;
}

QFont monoFont(double pointSize, QFont::Weight weight)
{
    QFont f(QStringLiteral("Noto Sans Mono CJK SC"));
    f.setStyleHint(QFont::Monospace);
    f.setPointSizeF(pointSize);
    f.setWeight(weight);
    return f;
}

QFont iconFont(double pixelSize)
{
    QFont f(QStringLiteral("Material Icons"));
    f.setPixelSize(std::max(1, int(pixelSize + 0.5)));
    return f;
}

void drawIcon(QPainter &painter, const QRectF &rect, const QString &ligature, const QColor &color, double pixelSize)
{
    painter.save();
    painter.setFont(iconFont(pixelSize));
    painter.setPen(color);
    painter.drawText(rect, Qt::AlignCenter, ligature);
    painter.restore();
}

} // namespace vorlane::Theme
