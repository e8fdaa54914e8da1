#pragma once

#include "model/app_model.h"

#include <QObject>
#include <QPointer>

class QKeyEvent;

namespace vorlane {

// The application-wide key map: an event filter on the application that turns key presses into model
// operations while the browser screen is shown. Auto-repeats of the action keys are swallowed (holding a
// key acts once), and every key passes on untouched while a text field has the keyboard focus. Menu
// shortcuts (Ctrl+O, Ctrl+Backspace) are matched by Qt before this filter sees the key. Main thread.
class KeyMap final : public QObject
{
    Q_OBJECT

public:
    explicit KeyMap(AppModel &model, QObject *parent = nullptr);

    void setActive(bool active) { m_active = active; }
    bool isActive() const { return m_active; }

    // Applies one key press; true when it was used (swallowed), false when it passes on.
    bool handle(const QKeyEvent &event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<AppModel> m_model;
    bool m_active = false;
};

} // namespace vorlane
