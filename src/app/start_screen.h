#pragma once

#include <QWidget>

class QPushButton;

namespace vorlane {

// What the window shows before a root folder is chosen: a symbol, the title, a hint and the button that
// opens the folder dialog. Main thread.
class StartScreen final : public QWidget
{
    Q_OBJECT

public:
    explicit StartScreen(QWidget *parent = nullptr);
    QPushButton *pickButton() const { return m_button; }

Q_SIGNALS:
    void pickRequested();

private:
    QPushButton *m_button = nullptr;
};

} // namespace vorlane
