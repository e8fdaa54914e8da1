#pragma once

#include "model/app_model.h"

#include <QMainWindow>

#include <filesystem>
#include <functional>
#include <optional>

class QAction;
class QMessageBox;
class QStackedWidget;

namespace vorlane {

class BrowserGrid;
class CompareView;
class KeyMap;
class PreviewOverlay;
class StartScreen;
class ThumbnailCache;
class Toast;
class TopBar;

// The one window: the start screen until a root folder is chosen, then the browser (top bar, grid,
// preview overlay, toast), the Photos menu and the key map. Main thread.
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    // Shows a directory dialog with a message (empty: no message line) and returns the chosen folder.
    using DirectoryPicker = std::function<std::optional<std::filesystem::path>(const QString &message)>;

    MainWindow(AppModel &model, ThumbnailCache &cache, QWidget *parent = nullptr);
    ~MainWindow() override;

    void setDirectoryPicker(DirectoryPicker picker) { m_picker = std::move(picker); }
    // The folder dialog, starting at start (the opened root) when given.
    static std::optional<std::filesystem::path> runDirectoryDialog(QWidget *parent, const QString &message,
                                                                   const std::filesystem::path &start = {});

    // The menu's "Open Folder…" and the dialog shown on a fresh start: opens the choice if it is a folder.
    void pickDirectory();
    void autoPickDirectory() { pickDirectory(); }

    BrowserGrid *grid() const { return m_grid; }
    Toast *toast() const { return m_toast; }
    PreviewOverlay *overlay() const { return m_overlay; }
    CompareView *compare() const { return m_compare; }
    KeyMap *keyMap() const { return m_keyMap; }
    bool showsBrowser() const;
    // Quits at once, giving up the unfinished copies (a second SIGTERM): returns the cells whose marks are lost.
    QList<std::filesystem::path> quitNow();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildBrowser(ThumbnailCache &cache);
    void followModel();
    void buildMenu();
    void buildViewMenu();
    void showScreen();
    void placeOverlays();
    void askBeforeQuit(int unfinished);
    void quitIfDone();

    AppModel &m_model;
    DirectoryPicker m_picker;
    QStackedWidget *m_stack = nullptr;
    StartScreen *m_start = nullptr;
    QWidget *m_browser = nullptr;
    TopBar *m_topBar = nullptr;
    BrowserGrid *m_grid = nullptr;
    PreviewOverlay *m_overlay = nullptr;
    CompareView *m_compare = nullptr;
    Toast *m_toast = nullptr;
    KeyMap *m_keyMap = nullptr;
    QAction *m_markAction = nullptr;
    QAction *m_discardAction = nullptr;
    QAction *m_undoAction = nullptr;
    QMessageBox *m_quitQuestion = nullptr;
    bool m_quitWhenDone = false; // waiting for the last copies, then closing
    bool m_mayClose = false;     // the user gave up the unfinished copies
};

} // namespace vorlane
