#pragma once

#include "model/app_model.h"
#include "ui/compare_view.h"
#include "ui/overlay_toggles.h"
#include "ui/preview_overlay.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <QObject>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

class QKeyEvent;
class QWidget;

namespace vorlane {

class LargeImageView;

// The application-wide key map: an event filter on the application that turns key presses into model
// operations while the browser screen is shown, and only while the main window is the active window with
// no menu, popup or modal dialog open (their keys are theirs). Every key passes on untouched while a text
// field has the keyboard focus. Menu shortcuts (Ctrl+O, Ctrl+Backspace) are matched by Qt before this
// filter sees the key. Main thread.
//
// Holding a key acts once, whatever the X server's repeat mode and however late the event loop runs: the
// map tracks which keys are down and acts only on a key's first press. A repeat is a press flagged as one,
// a press of a key that is already down, or a press that comes at the very server time of that key's
// release (X11 without detectable auto-repeat sends each repeat as a release and a press sharing a time).
//
// The arrows are the exception: once the desktop says an arrow is held (its first repeat), the selection
// skims, one step per frame the window paints and never faster than the display refreshes. The repeats
// themselves are never queued as steps: a timer takes each step while the key is still down, so the
// skimming stops with the key's release however far behind the machine is.
class KeyMap final : public QObject
{
    Q_OBJECT

public:
    explicit KeyMap(AppModel &model, QObject *parent = nullptr);

    void setActive(bool active) { m_active = active; }
    bool isActive() const { return m_active; }
    // The window whose keys these are; keys reach the model only while it is the active window.
    void setWindow(QWidget *window) { m_window = window; }
    // The preview, for its own keys (zoom, pan, the information panel).
    void setPreview(PreviewOverlay *preview) { m_preview = preview; }
    // The compare view, for its keys while the cursor compares.
    void setCompare(CompareView *compare) { m_compare = compare; }
    // The aids over the preview's and compare's pictures, which F, P, H and O turn on and off.
    void setOverlayToggles(OverlayToggles *toggles) { m_toggles = toggles; }

    // Applies one key press; true when it was used (swallowed), false when it passes on.
    bool handle(const QKeyEvent &event);
    // Notes a key release (a release flagged as an auto-repeat changes nothing).
    void released(const QKeyEvent &event);
    // Forgets every key held down (the window lost the keyboard, so their releases will not come here).
    void forgetHeldKeys();
    bool isSkimming() const { return m_skim.isActive(); }

    // The bindings, one row a key: which keys, with which modifiers, where (the grid, the preview, the
    // compare view), how a held key acts, and what it does. The README's keyboard table documents the rows
    // that name one of its rows.
    enum class Place : unsigned { Grid = 1, Preview = 2, Compare = 4 };
    enum class Mods {
        Any,       // whatever is held
        NoCommand, // none, or Shift: no Ctrl, Alt or Meta
        ShiftHeld, // Shift among them
        CtrlHeld,  // Ctrl among them
        AltOnly,   // Alt and nothing else
        Plain,     // none at all
    };
    enum class Hold { Once, Repeats, Skims };
    struct Press
    {
        int key;
        Qt::KeyboardModifiers mods;
        bool repeat;
        Place place;
        AppModel &model;
    };
    struct Row
    {
        const char *readme; // the key column of the README's keyboard row; null for the compare view's keys
        QList<int> keys;
        Mods mods;
        unsigned places; // of Place
        Hold hold;
        bool (KeyMap::*act)(const Press &); // false: declined, the next rows may take the key
    };
    static const QList<Row> &rows();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool keysAreForTheWindow() const;
    bool isRepeat(const QKeyEvent &event);
    LargeImageView *picture() const;
    static QPointF panStep(int key, const QWidget &view);

    // The rows' actions.
    bool arrow(const Press &press);
    bool step(const Press &press);
    bool nextView(const Press &press);
    bool nextUnmarked(const Press &press);
    bool openCompare(const Press &press);
    bool togglePreview(const Press &press);
    bool closePreview(const Press &press);
    bool goUp(const Press &press);
    bool zoomPicture(const Press &press);
    bool zoomStep(const Press &press);
    bool pan(const Press &press);
    bool toggleInfo(const Press &press);
    bool page(const Press &press);
    bool firstOrLast(const Press &press);
    bool mark(const Press &press);
    bool keep(const Press &press);
    bool open(const Press &press);
    bool collapseBursts(const Press &press);
    bool compareZoomStep(const Press &press);
    bool closeCompare(const Press &press);
    bool comparePan(const Press &press);
    bool swapCompared(const Press &press);
    bool markCandidate(const Press &press);
    bool keepReference(const Press &press);
    bool compareZoom(const Press &press);
    bool compareInfo(const Press &press);
    bool rate(const Press &press);
    bool label(const Press &press);
    static std::optional<QUuid> ratedCell(const Press &press);
    bool toggleOverlay(const Press &press);
    // One arrow's move in the grid, the preview or the compare view.
    void arrowStep(int key);
    void skimStep();
    void stopSkimming();

    QPointer<AppModel> m_model;
    QPointer<QWidget> m_window;
    QPointer<PreviewOverlay> m_preview;
    QPointer<CompareView> m_compare;
    QPointer<OverlayToggles> m_toggles;
    bool m_active = false;
    QHash<int, quint64> m_down;       // key -> server time of its first press
    QHash<int, quint64> m_releasedAt; // key -> server time of its last release
    // The press being delivered and the widget it last reached: the filter sees it again for each widget it
    // propagates to.
    const QEvent *m_lastPress = nullptr;
    QPointer<QWidget> m_lastPressAt;
    bool m_lastPressUsed = false;
    // Skimming: the arrow held, the frame timer, and whether the window painted since the last step.
    int m_skimKey = 0;
    QTimer m_skim;
    bool m_painted = true;
    QElapsedTimer m_sinceStep;
};

} // namespace vorlane
