#pragma once

#include <QObject>

namespace vorlane {

// Which aids are drawn over the preview's and compare's pictures: the camera's focus points (F), focus
// peaking (P), the histogram (H) and the clipping warning (O). For the session only: nothing is written.
// Main thread.
class OverlayToggles final : public QObject
{
    Q_OBJECT
public:
    enum Overlay : unsigned { FocusPoints = 1, Peaking = 2, Histogram = 4, Clipping = 8 };

    using QObject::QObject;
    bool isOn(Overlay overlay) const { return m_on & overlay; }
    void toggle(Overlay overlay)
    {
        m_on ^= overlay;
        Q_EMIT changed();
    }

Q_SIGNALS:
    void changed();

private:
    unsigned m_on = 0;
};

} // namespace vorlane
