#include "app/key_map.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace vorlane {
namespace {

bool textFieldHasFocus()
{
    QWidget *focus = QApplication::focusWidget();
    return qobject_cast<QLineEdit *>(focus) || qobject_cast<QTextEdit *>(focus) || qobject_cast<QPlainTextEdit *>(focus)
        || qobject_cast<QAbstractSpinBox *>(focus);
}

bool isArrow(int key) { return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down; }
bool isReturn(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

} // namespace

KeyMap::KeyMap(AppModel &model, QObject *parent)
    : QObject(parent)
    , m_model(&model)
{
}

bool KeyMap::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && m_active)
        return handle(*static_cast<QKeyEvent *>(event));
    return QObject::eventFilter(watched, event);
}

bool KeyMap::handle(const QKeyEvent &event)
{
    AppModel *model = m_model.data();
    if (!model || textFieldHasFocus())
        return false;
    const int key = event.key();
    const QString text = event.text().toLower();
    const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
    const bool commandish = mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);

    if ((isArrow(key) || isReturn(key) || key == Qt::Key_Space || key == Qt::Key_D) && event.isAutoRepeat())
        return true;

    const bool preview = model->previewIndex().has_value();
    if (key == Qt::Key_Space) {
        preview ? model->closePreview() : model->openPreview();
        return true;
    }
    if (key == Qt::Key_Escape && preview) {
        model->closePreview();
        return true;
    }
    // Alt+Up goes to the parent folder, as in the desktop's file managers.
    if (key == Qt::Key_Up && mods == Qt::AltModifier) {
        model->goUp();
        return true;
    }
    if (isArrow(key)) {
        if (preview) {
            model->previewMove(key == Qt::Key_Down || key == Qt::Key_Right ? 1 : -1);
        } else {
            using D = AppModel::GridDirection;
            model->moveSelection(key == Qt::Key_Left ? D::Left : key == Qt::Key_Right ? D::Right : key == Qt::Key_Down ? D::Down : D::Up);
        }
        return true;
    }
    if (key == Qt::Key_D && !commandish) {
        model->markCurrentAndAdvance(preview);
        return true;
    }
    if (isReturn(key)) {
        if (!preview) {
            if (model->selectedFolderId())
                model->openSelectedFolder();
            else
                model->openPreview();
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

} // namespace vorlane
