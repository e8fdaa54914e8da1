#pragma once

#include <QAbstractButton>
#include <QColor>

namespace vorlane {

// A rounded button painted from the theme: an optional symbol, a text and an optional count capsule, in
// one colour on a fill. The discard button, the start screen's button and the settings button are these.
// A checkable one takes its checked fill while checked. Main thread.
class PillButton final : public QAbstractButton
{
    Q_OBJECT

public:
    explicit PillButton(QWidget *parent = nullptr);

    void setSymbol(const QString &ligature, double pixelSize);
    void setCount(std::optional<int> count); // shown in a capsule after the text; none hides it
    void setColors(const QColor &fill, const QColor &content, const QColor &checkedFill = {});
    void setPadding(int horizontal, int vertical);
    void setRadius(double radius)
    {
        m_radius = radius;
        update();
    }

    QColor fill() const { return m_fill; }
    std::optional<int> count() const { return m_count; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    double m_symbolSize = 0;
    std::optional<int> m_count;
    QColor m_fill;
    QColor m_content = Qt::white;
    QColor m_checkedFill;
    int m_padX = 12;
    int m_padY = 6;
    double m_radius = 8;
};

} // namespace vorlane
