#include "app/key_map.h"

#include "ui/large_image_view.h"
#include "ui/overlay_toggles.h"
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

// The one table of keys, in the order they are tried: the first row whose key, modifiers and place match
// acts; a row whose action declines (returns false) lets the next rows try. A row that acts once swallows the
// key's repeats; one that repeats acts on each (panning and zooming, as in every picture viewer). Each row
// names the README's keyboard row it is (null: the compare view's paragraph).
const QList<KeyMap::Row> &KeyMap::rows()
{
    using M = Mods;
    using H = Hold;
    constexpr unsigned grid = unsigned(Place::Grid), preview = unsigned(Place::Preview),
                       compare = unsigned(Place::Compare);
    const QList<int> arrows{Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down};
    const QList<int> zoomKeys{Qt::Key_Equal, Qt::Key_Plus, Qt::Key_Minus};
    static const QList<Row> table{
        // The compare view's keys come first: while it is open they are the only ones, bar the arrows.
        {nullptr, zoomKeys, M::CtrlHeld, compare, H::Repeats, &KeyMap::compareZoomStep},
        {nullptr, {Qt::Key_Escape, Qt::Key_C}, M::NoCommand, compare, H::Once, &KeyMap::closeCompare},
        {nullptr, arrows, M::ShiftHeld, compare, H::Repeats, &KeyMap::comparePan},
        {nullptr, {Qt::Key_R}, M::NoCommand, compare, H::Once, &KeyMap::swapCompared},
        {nullptr, {Qt::Key_D}, M::NoCommand, compare, H::Once, &KeyMap::markCandidate},
        {nullptr, {Qt::Key_K}, M::NoCommand, compare, H::Once, &KeyMap::keepReference},
        {nullptr, {Qt::Key_Z}, M::NoCommand, compare, H::Once, &KeyMap::compareZoom},
        {nullptr, {Qt::Key_I}, M::NoCommand, compare, H::Once, &KeyMap::compareInfo},
        // The grid and the preview.
        {"← → ↑ ↓", arrows, M::Plain, grid | preview | compare, H::Skims, &KeyMap::arrow},
        {"V", {Qt::Key_V}, M::NoCommand, grid | preview, H::Once, &KeyMap::nextView},
        {"N, Shift+N", {Qt::Key_N}, M::NoCommand, grid | preview, H::Once, &KeyMap::nextUnmarked},
        {"C", {Qt::Key_C}, M::NoCommand, grid | preview, H::Once, &KeyMap::openCompare},
        {"Space", {Qt::Key_Space}, M::Any, grid | preview, H::Once, &KeyMap::togglePreview},
        {"Esc", {Qt::Key_Escape}, M::Any, preview, H::Once, &KeyMap::closePreview},
        {"Backspace, Alt+↑", {Qt::Key_Up}, M::AltOnly, grid | preview, H::Once, &KeyMap::goUp},
        {"Z", {Qt::Key_Z}, M::NoCommand, preview, H::Once, &KeyMap::zoomPicture},
        {"Ctrl+= / Ctrl+- (or Ctrl+wheel)", zoomKeys, M::CtrlHeld, preview, H::Repeats, &KeyMap::zoomStep},
        {"Shift+← → ↑ ↓", arrows, M::ShiftHeld, preview, H::Repeats, &KeyMap::pan},
        {"I", {Qt::Key_I}, M::NoCommand, preview, H::Once, &KeyMap::toggleInfo},
        {"F", {Qt::Key_F}, M::NoCommand, preview | compare, H::Once, &KeyMap::toggleOverlay},
        {"P", {Qt::Key_P}, M::NoCommand, preview | compare, H::Once, &KeyMap::toggleOverlay},
        {"H", {Qt::Key_H}, M::NoCommand, preview | compare, H::Once, &KeyMap::toggleOverlay},
        {"O", {Qt::Key_O}, M::NoCommand, preview | compare, H::Once, &KeyMap::toggleOverlay},
        {"PageUp, PageDown", {Qt::Key_PageUp, Qt::Key_PageDown}, M::Any, grid, H::Once, &KeyMap::page},
        {"Home, End", {Qt::Key_Home, Qt::Key_End}, M::Any, grid, H::Repeats, &KeyMap::firstOrLast},
        // Shift (or Ctrl) with an arrow, outside a zoomed picture: one step per press, as the arrow alone.
        {"Shift+← → ↑ ↓", arrows, M::Any, grid | preview, H::Once, &KeyMap::step},
        {"D (or Shift+D)", {Qt::Key_D}, M::NoCommand, grid | preview, H::Once, &KeyMap::mark},
        {"K", {Qt::Key_K}, M::NoCommand, grid | preview, H::Once, &KeyMap::keep},
        {"Return, keypad Enter", {Qt::Key_Return, Qt::Key_Enter}, M::Any, grid | preview, H::Once, &KeyMap::open},
        {"G", {Qt::Key_G}, M::NoCommand, grid, H::Once, &KeyMap::collapseBursts},
        {"1 2 3 4 5, 0", {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5, Qt::Key_0}, M::NoCommand,
         grid | preview | compare, H::Once, &KeyMap::rate},
        {"6 7 8 9", {Qt::Key_6, Qt::Key_7, Qt::Key_8, Qt::Key_9}, M::NoCommand, grid | preview | compare, H::Once,
         &KeyMap::label},
        {"Backspace, Alt+↑", {Qt::Key_Backspace}, M::Plain, grid | preview, H::Once, &KeyMap::goUp},
    };
    return table;
}

namespace {

bool modifiersMatch(KeyMap::Mods rule, Qt::KeyboardModifiers mods)
{
    const Qt::KeyboardModifiers command = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    switch (rule) {
    case KeyMap::Mods::Any:
        return true;
    case KeyMap::Mods::NoCommand:
        return !(mods & command);
    case KeyMap::Mods::ShiftHeld:
        return bool(mods & Qt::ShiftModifier);
    case KeyMap::Mods::CtrlHeld:
        return bool(mods & Qt::ControlModifier);
    case KeyMap::Mods::AltOnly:
        return mods == Qt::AltModifier;
    case KeyMap::Mods::Plain:
        return !(mods & (command | Qt::ShiftModifier));
    }
    return false;
}

} // namespace

bool KeyMap::handle(const QKeyEvent &event)
{
    AppModel *model = m_model.data();
    // A press that belongs to a dialog, a menu or a text field is not one of this map's keys held down: its
    // release may never come here.
    if (!model || textFieldHasFocus() || !keysAreForTheWindow())
        return false;
    const bool repeat = isRepeat(event);
    // Some keyboards send Delete's character for the key above Return.
    const int key = event.text() == QStringLiteral("\x7f") ? int(Qt::Key_Backspace) : event.key();
    const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
    const GridCursor &cursor = model->cursor();
    const Place place = cursor.isComparing() ? Place::Compare
        : cursor.previewIndex()                ? Place::Preview
                                               : Place::Grid;
    const Press press{key, mods, repeat, place, *model};
    for (const Row &row : rows()) {
        if (!(row.places & unsigned(place)) || !row.keys.contains(key) || !modifiersMatch(row.mods, mods))
            continue;
        if (row.hold == Hold::Once && repeat)
            return true; // a held key acts once
        if ((this->*row.act)(press))
            return true;
    }
    // The compare view keeps every other key from the grid behind it, bar the menu's shortcuts and Tab.
    const bool command = mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return place == Place::Compare && !command && key != Qt::Key_Tab;
}

LargeImageView *KeyMap::picture() const { return m_preview ? m_preview->imageView() : nullptr; }

QPointF KeyMap::panStep(int key, const QWidget &view)
{
    const double step = 0.15 * std::min(view.width(), view.height());
    return QPointF(key == Qt::Key_Left ? step : key == Qt::Key_Right ? -step : 0,
                   key == Qt::Key_Up ? step : key == Qt::Key_Down ? -step : 0);
}

bool KeyMap::arrow(const Press &press)
{
    // A held arrow skims: its first repeat starts the frame timer, and the repeats themselves do nothing.
    if (!press.repeat) {
        stopSkimming();
        m_skimKey = press.key;
        arrowStep(press.key);
    } else if (!m_skim.isActive()) {
        m_skimKey = press.key;
        const QScreen *screen = m_window ? m_window->screen() : QGuiApplication::primaryScreen();
        const double hz = screen && screen->refreshRate() > 1 ? screen->refreshRate() : 60.0;
        m_skim.start(std::max(4, int(std::lround(1000.0 / hz))));
    }
    return true;
}

bool KeyMap::step(const Press &press)
{
    arrowStep(press.key);
    return true;
}

bool KeyMap::nextView(const Press &press)
{
    press.model.settings().cycleFolderView();
    return true;
}

bool KeyMap::nextUnmarked(const Press &press)
{
    press.model.moveToUnmarked(press.mods & Qt::ShiftModifier ? -1 : 1);
    return true;
}

bool KeyMap::openCompare(const Press &press)
{
    press.model.openCompare();
    return true;
}

bool KeyMap::togglePreview(const Press &press)
{
    GridCursor &cursor = press.model.cursor();
    press.place == Place::Preview ? cursor.closePreview() : cursor.openPreview();
    return true;
}

bool KeyMap::closePreview(const Press &press)
{
    press.model.cursor().closePreview();
    return true;
}

bool KeyMap::goUp(const Press &press)
{
    press.model.goUp();
    return true;
}

bool KeyMap::zoomPicture(const Press &)
{
    if (LargeImageView *view = picture()) {
        view->toggleZoom();
        return true;
    }
    return false;
}

bool KeyMap::zoomStep(const Press &press)
{
    if (LargeImageView *view = picture()) {
        view->zoomBy(press.key == Qt::Key_Minus ? -1 : 1);
        return true;
    }
    return false;
}

bool KeyMap::pan(const Press &press)
{
    LargeImageView *view = picture();
    if (!view || !view->isZoomed())
        return false; // not zoomed: the arrow steps
    view->pan(panStep(press.key, *view));
    return true;
}

bool KeyMap::toggleInfo(const Press &)
{
    if (!m_preview)
        return false;
    m_preview->toggleInfo();
    return true;
}

bool KeyMap::page(const Press &press)
{
    press.model.cursor().movePage(press.key == Qt::Key_PageDown ? 1 : -1);
    return true;
}

bool KeyMap::firstOrLast(const Press &press)
{
    press.key == Qt::Key_Home ? press.model.cursor().moveToFirst() : press.model.cursor().moveToLast();
    return true;
}

bool KeyMap::mark(const Press &press)
{
    press.model.markCurrentAndAdvance(press.place == Place::Preview);
    return true;
}

bool KeyMap::keep(const Press &press)
{
    press.model.keepBest(press.place == Place::Preview);
    return true;
}

bool KeyMap::open(const Press &press)
{
    if (press.place == Place::Preview)
        return true; // nothing to open in the preview
    if (press.model.cursor().selectedFolderId())
        press.model.openSelectedFolder();
    else if (!press.model.expandSelectedBurst())
        press.model.cursor().openPreview();
    return true;
}

// In compare the candidate is rated; in the preview the previewed cell; in the grid the selection.
std::optional<QUuid> KeyMap::ratedCell(const Press &press)
{
    if (press.place == Place::Compare)
        return press.model.cursor().compareCandidate();
    return press.place == Place::Preview ? press.model.cursor().previewedPairId() : press.model.cursor().selectedPairId();
}

bool KeyMap::rate(const Press &press)
{
    if (const auto cell = ratedCell(press))
        press.model.rateCurrent(press.key - Qt::Key_0, false, cell);
    return true;
}

bool KeyMap::label(const Press &press)
{
    static constexpr ColourLabel kLabels[] = {ColourLabel::Red, ColourLabel::Yellow, ColourLabel::Green, ColourLabel::Blue};
    if (const auto cell = ratedCell(press))
        press.model.labelCurrent(kLabels[press.key - Qt::Key_6], false, cell);
    return true;
}

bool KeyMap::collapseBursts(const Press &press)
{
    press.model.toggleBurstsCollapsed();
    return true;
}

bool KeyMap::compareZoomStep(const Press &press)
{
    if (m_compare)
        m_compare->zoomBy(press.key == Qt::Key_Minus ? -1 : 1);
    return true;
}

bool KeyMap::closeCompare(const Press &press)
{
    press.model.cursor().closeCompare();
    return true;
}

bool KeyMap::comparePan(const Press &press)
{
    if (m_compare && m_compare->candidateView()->isZoomed())
        m_compare->pan(panStep(press.key, *m_compare->candidateView()));
    return true;
}

bool KeyMap::swapCompared(const Press &press)
{
    press.model.cursor().compareSwap();
    return true;
}

bool KeyMap::markCandidate(const Press &press)
{
    press.model.markCandidateAndAdvance();
    return true;
}

bool KeyMap::keepReference(const Press &press)
{
    press.model.keepBest(false, press.model.cursor().compareReference());
    return true;
}

bool KeyMap::compareZoom(const Press &)
{
    if (m_compare)
        m_compare->toggleZoom();
    return true;
}

bool KeyMap::toggleOverlay(const Press &press)
{
    if (!m_toggles)
        return false;
    using O = OverlayToggles;
    m_toggles->toggle(press.key == Qt::Key_F   ? O::FocusPoints
                      : press.key == Qt::Key_P ? O::Peaking
                      : press.key == Qt::Key_H ? O::Histogram
                                               : O::Clipping);
    return true;
}

bool KeyMap::compareInfo(const Press &)
{
    if (m_compare)
        m_compare->toggleInfo();
    return true;
}

} // namespace vorlane
