#include "app/key_map.h"

#include "ui/large_image_view.h"
#include "ui/preview_overlay.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <cmath>

namespace vorlane {
namespace {

bool textFieldHasFocus()
{
    QWidget *focus = QApplication::focusWidget();
    return qobject_cast<QLineEdit *>(focus) || qobject_cast<QTextEdit *>(focus) || qobject_cast<QPlainTextEdit *>(focus)
        || qobject_cast<QAbstractSpinBox *>(focus);
}

bool isArrow(int key)
{
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}
bool isReturn(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

} // namespace

KeyMap::KeyMap(AppModel &model, QObject *parent)
    : QObject(parent)
    , m_model(&model)
{
    m_skim.setTimerType(Qt::PreciseTimer);
    connect(&m_skim, &QTimer::timeout, this, &KeyMap::skimStep);
}

bool KeyMap::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (!watched->isWidgetType() || !m_active)
            break;
        {
            // The same press is filtered once for each widget it propagates to, from a widget to its parent:
            // decide once. A new press may reuse the last one's memory and time (posted events carry no time).
            auto *widget = static_cast<QWidget *>(watched);
            const bool propagating = event == m_lastPress && m_lastPressAt && widget == m_lastPressAt->parentWidget();
            m_lastPress = event;
            m_lastPressAt = widget;
            if (!propagating)
                m_lastPressUsed = handle(*static_cast<QKeyEvent *>(event));
            return m_lastPressUsed;
        }
    case QEvent::KeyRelease:
        // Also a release that reaches no widget (the window that had the press has gone): the key is up.
        released(*static_cast<QKeyEvent *>(event));
        break;
    case QEvent::UpdateRequest:
    case QEvent::Paint:
        m_painted = true;
        break;
    case QEvent::ApplicationDeactivate:
        forgetHeldKeys();
        break;
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
        // Keys pressed or released while another window had the keyboard never reached this map.
        if (watched == m_window)
            forgetHeldKeys();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void KeyMap::released(const QKeyEvent &event)
{
    if (event.isAutoRepeat())
        return;
    m_down.remove(event.key());
    m_releasedAt.insert(event.key(), event.timestamp());
    if (event.key() == m_skimKey)
        stopSkimming();
}

void KeyMap::forgetHeldKeys()
{
    m_down.clear();
    m_releasedAt.clear();
    stopSkimming();
}

void KeyMap::stopSkimming()
{
    m_skim.stop();
    m_skimKey = 0;
}

void KeyMap::skimStep()
{
    if (!m_skimKey || !m_down.contains(m_skimKey) || !m_active || !keysAreForTheWindow()) {
        stopSkimming();
        return;
    }
    // One step per painted frame; a step that changed nothing on screen (the end of the grid) waits a
    // little before the next.
    if (!m_painted && m_sinceStep.isValid() && m_sinceStep.elapsed() < 100)
        return;
    m_painted = false;
    m_sinceStep.start();
    arrowStep(m_skimKey);
}

void KeyMap::arrowStep(int key)
{
    AppModel *model = m_model.data();
    if (!model)
        return;
    GridCursor &cursor = model->cursor();
    const int forward = key == Qt::Key_Down || key == Qt::Key_Right ? 1 : -1;
    if (cursor.isComparing()) {
        cursor.compareMove(forward);
    } else if (cursor.previewIndex()) {
        cursor.previewMove(forward);
    } else {
        using D = GridCursor::Direction;
        cursor.move(key == Qt::Key_Left        ? D::Left
                        : key == Qt::Key_Right ? D::Right
                        : key == Qt::Key_Down  ? D::Down
                                               : D::Up);
    }
}

bool KeyMap::isRepeat(const QKeyEvent &event)
{
    const int key = event.key();
    const bool repeat = event.isAutoRepeat() || m_down.contains(key)
        || (event.timestamp() != 0 && m_releasedAt.value(key, 0) == event.timestamp());
    m_down.insert(key, event.timestamp());
    return repeat;
}

bool KeyMap::keysAreForTheWindow() const
{
    if (QApplication::activePopupWidget() || QApplication::activeModalWidget())
        return false; // a menu, the settings popover or a dialog is open: the keys are its own
    return !m_window || QApplication::activeWindow() == m_window;
}

bool KeyMap::handle(const QKeyEvent &event)
{
    AppModel *model = m_model.data();
    // A press that belongs to a dialog, a menu or a text field is not one of this map's keys held down: its
    // release may never come here.
    if (!model || textFieldHasFocus() || !keysAreForTheWindow())
        return false;
    const bool repeat = isRepeat(event);
    const int key = event.key();
    const QString text = event.text().toLower();
    const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
    const bool commandish = mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);

    // A held arrow skims: its first repeat starts the frame timer, and the repeats themselves do nothing.
    if (isArrow(key) && !(mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        if (!repeat) {
            stopSkimming();
            m_skimKey = key;
            arrowStep(key);
        } else if (!m_skim.isActive()) {
            m_skimKey = key;
            const QScreen *screen = m_window ? m_window->screen() : QGuiApplication::primaryScreen();
            const double hz = screen && screen->refreshRate() > 1 ? screen->refreshRate() : 60.0;
            m_skim.start(std::max(4, int(std::lround(1000.0 / hz))));
        }
        return true;
    }

    // Holding a key acts once; panning and zooming are the exception, as in every picture viewer.
    const bool continuous = (isArrow(key) && (mods & Qt::ShiftModifier)) || key == Qt::Key_Equal || key == Qt::Key_Plus
        || key == Qt::Key_Minus;
    if (repeat && !continuous
        && (isArrow(key) || isReturn(key) || key == Qt::Key_Space || key == Qt::Key_D || key == Qt::Key_K
            || key == Qt::Key_C || key == Qt::Key_R || key == Qt::Key_Backspace || key == Qt::Key_Z
            || key == Qt::Key_I || key == Qt::Key_N || key == Qt::Key_V || key == Qt::Key_PageUp
            || key == Qt::Key_PageDown))
        return true;

    GridCursor &cursor = model->cursor();
    if (cursor.isComparing())
        return handleCompare(event, *model);
    const bool preview = cursor.previewIndex().has_value();
    // V: the next view of the folder (all, unmarked, marked); N and Shift+N: the next and previous unmarked.
    if (key == Qt::Key_V && !commandish) {
        model->settings().cycleFolderView();
        return true;
    }
    if (key == Qt::Key_N && !commandish) {
        model->moveToUnmarked(mods & Qt::ShiftModifier ? -1 : 1);
        return true;
    }
    if (key == Qt::Key_C && !commandish) {
        cursor.openCompare();
        return true;
    }
    if (key == Qt::Key_Space) {
        preview ? cursor.closePreview() : cursor.openPreview();
        return true;
    }
    if (key == Qt::Key_Escape && preview) {
        cursor.closePreview();
        return true;
    }
    // Alt+Up goes to the parent folder, as in the desktop's file managers.
    if (key == Qt::Key_Up && mods == Qt::AltModifier) {
        model->goUp();
        return true;
    }
    LargeImageView *picture = preview && m_preview ? m_preview->imageView() : nullptr;
    if (picture) {
        // The picture's own keys: zoom to 100 % and back, zoom steps, and panning while zoomed.
        if (key == Qt::Key_Z && !commandish) {
            picture->toggleZoom();
            return true;
        }
        if ((mods & Qt::ControlModifier) && (key == Qt::Key_Equal || key == Qt::Key_Plus || key == Qt::Key_Minus)) {
            picture->zoomBy(key == Qt::Key_Minus ? -1 : 1);
            return true;
        }
        if (isArrow(key) && (mods & Qt::ShiftModifier) && picture->isZoomed()) {
            const double step = 0.15 * std::min(picture->width(), picture->height());
            picture->pan(QPointF(key == Qt::Key_Left        ? step
                                     : key == Qt::Key_Right ? -step
                                                            : 0,
                                 key == Qt::Key_Up         ? step
                                     : key == Qt::Key_Down ? -step
                                                           : 0));
            return true;
        }
    }
    if (preview && m_preview && key == Qt::Key_I && !commandish) {
        m_preview->toggleInfo();
        return true;
    }
    if (!preview && (key == Qt::Key_PageUp || key == Qt::Key_PageDown)) {
        cursor.movePage(key == Qt::Key_PageDown ? 1 : -1);
        return true;
    }
    if (!preview && (key == Qt::Key_Home || key == Qt::Key_End)) {
        key == Qt::Key_Home ? cursor.moveToFirst() : cursor.moveToLast();
        return true;
    }
    if (isArrow(key)) {
        // Shift with an arrow, outside a zoomed picture: one step per press, as the arrow alone.
        if (!repeat)
            arrowStep(key);
        return true;
    }
    if (key == Qt::Key_D && !commandish) {
        model->markCurrentAndAdvance(preview);
        return true;
    }
    if (key == Qt::Key_K && !commandish) {
        model->keepBest(preview);
        return true;
    }
    if (isReturn(key)) {
        if (!preview) {
            if (cursor.selectedFolderId())
                model->openSelectedFolder();
            else
                cursor.openPreview();
        }
        return true;
    }
    if (key == Qt::Key_Backspace || text == QStringLiteral("\x7f")) {
        if (mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return false;
        model->goUp();
        return true;
    }
    return false;
}

bool KeyMap::handleCompare(const QKeyEvent &event, AppModel &model)
{
    const int key = event.key();
    const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        if (m_compare && (mods & Qt::ControlModifier)
            && (key == Qt::Key_Equal || key == Qt::Key_Plus || key == Qt::Key_Minus)) {
            m_compare->zoomBy(key == Qt::Key_Minus ? -1 : 1);
            return true;
        }
        return false; // the menu's shortcuts
    }
    GridCursor &cursor = model.cursor();
    if (key == Qt::Key_Escape || key == Qt::Key_C) {
        cursor.closeCompare();
        return true;
    }
    if (isArrow(key) && (mods & Qt::ShiftModifier)) {
        if (m_compare && m_compare->candidateView()->isZoomed()) {
            const double step = 0.15 * std::min(m_compare->candidateView()->width(), m_compare->candidateView()->height());
            m_compare->pan(QPointF(key == Qt::Key_Left ? step : key == Qt::Key_Right ? -step : 0,
                                   key == Qt::Key_Up ? step : key == Qt::Key_Down ? -step : 0));
        }
        return true;
    }
    switch (key) {
    case Qt::Key_R:
        cursor.compareSwap();
        return true;
    case Qt::Key_D:
        model.markCandidateAndAdvance();
        return true;
    case Qt::Key_K:
        model.keepBest(false, cursor.compareReference());
        return true;
    case Qt::Key_Z:
        if (m_compare)
            m_compare->toggleZoom();
        return true;
    case Qt::Key_I:
        if (m_compare)
            m_compare->toggleInfo();
        return true;
    default:
        // Every other key stays in the compare view: the grid behind it is not walked.
        return key != Qt::Key_Tab;
    }
}

} // namespace vorlane
