#include "ui/theme.h"

#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QWidget>

namespace vorlane::Theme {

QColor accent() { return QColor(0xB7, 0x2B, 0x35); }

QColor accent(double opacity)
{
    QColor c = accent();
    c.setAlphaF(float(opacity));
    return c;
}

namespace {

double strength(Tone tone)
{
    switch (tone) {
    case Tone::Primary:
        return 0.85;
    case Tone::Secondary:
        return 0.5;
    case Tone::Tertiary:
        return 0.3;
    case Tone::Quaternary:
        return 0.16;
    case Tone::Faint:
        return 0.12;
    }
    return 1.0;
}

QColor withAlpha(QColor c, double opacity)
{
    c.setAlphaF(float(opacity));
    return c;
}

} // namespace

QColor text(Tone tone, const QPalette &palette)
{
    return withAlpha(palette.color(QPalette::WindowText), strength(tone));
}

QColor onDark(Tone tone) { return withAlpha(Qt::white, tone == Tone::Primary ? 0.85 : strength(tone) + 0.1); }

QColor shade(double opacity) { return withAlpha(Qt::black, opacity); }
QColor stage() { return QColor(40, 40, 40); }

QColor queued() { return QColor(142, 142, 147); }
QColor running() { return QColor(10, 122, 255); }
QColor done() { return QColor(52, 199, 89); }
QColor failed() { return QColor(255, 149, 0); }

QColor burst(double opacity)
{
    QColor c(40, 110, 200);
    c.setAlphaF(float(opacity));
    return c;
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        palette.setColor(role, color);
    widget->setPalette(palette);
}

QFont uiFont(double pointSize, QFont::Weight weight)
{
    QFont f(QStringLiteral("Noto Sans CJK SC"));
    f.setPointSizeF(pointSize);
    f.setWeight(weight);
    return f;
}

QLabel *plainLabel(const QString &text, double layoutPoints, QFont::Weight weight, const QColor &color,
                   QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(uiFont(points(layoutPoints), weight));
    setTextColor(label, color);
    return label;
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

QString plainToolTip(const QString &text)
{
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace vorlane::Theme
