#pragma once

#include <QWidget>

namespace vorlane {

class PillButton;

// What the window shows before a root folder is chosen: a symbol, the title, a hint and the button that
// opens the folder dialog. Main thread.
class StartScreen final : public QWidget
{
    Q_OBJECT

public:
    explicit StartScreen(QWidget *parent = nullptr);

Q_SIGNALS:
    void pickRequested();

private:
    PillButton *m_button = nullptr;
};

} // namespace vorlane
