#pragma once

#include "model/app_model.h"
#include "ui/settings_panel.h"

#include <QPointer>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QMenu;
class QToolButton;

namespace vorlane {

class PillButton;

// The strip above the grid: a thin copy-progress line (status text and a 2-pixel bar), then a row with the
// breadcrumb of the current directory, the views of the folder (all, unmarked, marked, with their counts),
// the three size figures, the settings button with its popover and the discard button with the count of
// discardable cells. Reads the model on each change it announces; every
// button calls a model operation. Main thread.
class TopBar final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kStripHeight = 22;

    explicit TopBar(AppModel &model, QWidget *parent = nullptr);

    // What the progress strip shows for a snapshot: the status line, and the bar's fill (none when total is 0).
    void showProgress(const CopyMarks::Progress &progress);
    QString statusText() const { return m_statusText; }

    PillButton *settingsButton() const { return m_settingsButton; }
    PillButton *discardButton() const { return m_discard; }
    // The views of the folder, in the order All, Unmarked, Marked; the one shown is checked.
    QList<PillButton *> viewButtons() const { return m_views; }
    // The decision filters' button and its menu (FilterMenu).
    PillButton *filterButton() const { return m_filter; }
    QMenu *filterMenu() const { return m_filterMenu; }
    // The open settings popover, or null while it is closed.
    SettingsPanel *settingsPanel() const { return m_panel; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The constructor's parts: the segments of the views, the figures and buttons, the model's signals.
    QWidget *makeViewSwitch();
    // A small checkable button showing one of the theme's symbols.
    PillButton *iconButton(QWidget *parent, const QString &name, const char *icon, const QString &tip) const;
    void addFiguresAndButtons(QHBoxLayout *row);
    void followTheModel();
    void rebuildBreadcrumb();
    void showCapacity();
    void showDiscard();
    void showViews();
    void toggleSettings();

    AppModel &m_model;
    QString m_statusText;
    double m_barFraction = 0;
    QColor m_barFill;
    QWidget *m_breadcrumb = nullptr;
    QHBoxLayout *m_breadcrumbRow = nullptr;
    QLabel *m_capacity = nullptr;
    PillButton *m_settingsButton = nullptr;
    QPointer<SettingsPanel> m_panel;
    PillButton *m_discard = nullptr;
    QList<PillButton *> m_views;
    PillButton *m_filter = nullptr;
    QMenu *m_filterMenu = nullptr;
};

} // namespace vorlane
