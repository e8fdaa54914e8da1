#include "app/main_window.h"

#include "app/discard_consent.h"
#include "app/key_map.h"
#include "app/start_screen.h"
#include "app/toast.h"
#include "ui/browser_grid.h"
#include "ui/compare_view.h"
#include "ui/filter_menu.h"
#include "ui/overlay_toggles.h"
#include "ui/preview_overlay.h"
#include "ui/theme.h"
#include "ui/thumbnail_cache.h"
#include "ui/top_bar.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QFileDialog>
#include <QFrame>
#include <QMenuBar>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace vorlane {

MainWindow::MainWindow(AppModel &model, ThumbnailCache &cache, QWidget *parent)
    : QMainWindow(parent)
    , m_model(model)
    , m_picker([this](const QString &message) {
        return runDirectoryDialog(this, message, m_model.listing().rootPath().value_or(std::filesystem::path()));
    })
{
    setWindowTitle(QStringLiteral("Vorlane"));
    setMinimumSize(900, 600);
    // The first window fits the screen's free area (a 1366 x 768 laptop, or 150 % scaling on 1600 x 1000).
    QSize size(1200, 800);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() - QSize(16, 48)).expandedTo(QSize(640, 480));
    setMinimumSize(minimumSize().boundedTo(size));
    resize(size);

    m_stack = new QStackedWidget(this);
    m_start = new StartScreen(m_stack);
    connect(m_start, &StartScreen::pickRequested, this, [this] {
        // The start screen's own dialog: no message line, and any choice goes to the model, which reports
        // a folder it cannot read.
        if (const auto chosen = m_picker(QString()))
            m_model.openRoot(*chosen);
    });

    buildBrowser(cache);

    m_stack->addWidget(m_start);
    m_stack->addWidget(m_browser);
    setCentralWidget(m_stack);

    m_keyMap = new KeyMap(model, this);
    m_keyMap->setWindow(this);
    m_keyMap->setPreview(m_overlay);
    m_keyMap->setCompare(m_compare);
    auto *toggles = new OverlayToggles(this);
    m_overlay->setOverlayToggles(toggles);
    m_compare->setOverlayToggles(toggles);
    m_keyMap->setOverlayToggles(toggles);
    qApp->installEventFilter(m_keyMap);

    // Broken originals go only when the user says so, in the window's own dialog.
    m_model.setConsent([this](const QList<DiscardRun::Broken> &broken, int withCopies) {
        return DiscardConsent::ask(broken, withCopies, this);
    });
    buildMenu();
    followModel();
    showScreen();
}

// The browser: the top bar over the grid, with the preview, the compare view and the toast above them.
void MainWindow::buildBrowser(ThumbnailCache &cache)
{
    m_browser = new QWidget(m_stack);
    auto *column = new QVBoxLayout(m_browser);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_topBar = new TopBar(m_model, m_browser);
    auto *divider = new QFrame(m_browser);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    Theme::setTextColor(divider, Theme::text(Theme::Tone::Quaternary, divider->palette()));
    m_grid = new BrowserGrid(m_model, cache, m_browser);
    column->addWidget(m_topBar);
    column->addWidget(divider);
    column->addWidget(m_grid, 1);
    m_overlay = new PreviewOverlay(m_model, cache, m_browser);
    m_compare = new CompareView(m_model, cache, m_overlay->loader(), m_browser);
    // A photo the preview cannot decode says so in the grid too, whatever its embedded thumbnail showed.
    connect(&m_overlay->loader(), &PreviewLoader::undecodable, &cache, &ThumbnailCache::markUndecodable);
    m_toast = new Toast(m_browser);
    connect(m_toast, &Toast::dismissed, &m_model.discard(), &DiscardRun::clearLastResult);
    m_browser->installEventFilter(this);
}

// The window follows the model: its screen and title, the mark action, the discard's result and notices.
void MainWindow::followModel()
{
    connect(&m_model.listing(), &FolderListing::locationChanged, this, &MainWindow::showScreen);
    connect(&m_model.listing(), &FolderListing::locationChanged, this, [this] {
        // The window names the folder shown, as file managers do.
        const auto &current = m_model.listing().currentPath();
        const QString name
            = current ? QFile::decodeName(QByteArray::fromStdString(current->filename().native())) : QString();
        setWindowTitle(name.isEmpty() ? QStringLiteral("Vorlane") : name + QStringLiteral(" — Vorlane"));
    });
    connect(&m_model.cursor(), &GridCursor::selectionChanged, this,
            [this] { m_markAction->setEnabled(m_model.cursor().selection().has_value()); });
    connect(&m_model.discard(), &DiscardRun::resultChanged, this, [this] {
        if (const auto &message = m_model.discard().lastResult()) {
            m_toast->showMessage(*message);
            placeOverlays();
        }
    });
    connect(&m_model.marks(), &CopyMarks::marksChanged, this, &MainWindow::quitIfDone);
    connect(&m_model.marks(), &CopyMarks::progressChanged, this, &MainWindow::quitIfDone);
    connect(&m_model, &AppModel::notice, this, [this](const QString &text) {
        m_toast->showMessage(text);
        placeOverlays();
    });
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(m_keyMap);
    m_model.setConsent({});
}

bool MainWindow::showsBrowser() const { return m_stack->currentWidget() == m_browser; }

std::optional<std::filesystem::path> MainWindow::runDirectoryDialog(QWidget *parent, const QString &message,
                                                                    const std::filesystem::path &start)
{
    QFileDialog dialog(parent);
    if (!start.empty())
        dialog.setDirectory(QFile::decodeName(QByteArray::fromStdString(start.native())));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setLabelText(QFileDialog::Accept, tr("Choose a photo folder"));
    dialog.setWindowTitle(message.isEmpty() ? tr("Choose a photo folder") : message);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return std::filesystem::path(QFile::encodeName(dialog.selectedFiles().first()).toStdString());
}

void MainWindow::pickDirectory()
{
    const auto chosen = m_picker(tr("Choose a folder with photos or videos"));
    std::error_code ec;
    if (chosen && std::filesystem::is_directory(*chosen, ec))
        m_model.openRoot(*chosen);
}

void MainWindow::buildMenu()
{
    QMenu *menu = menuBar()->addMenu(tr("&Photos"));
    QAction *open = menu->addAction(tr("&Open Folder…"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(open, &QAction::triggered, this, &MainWindow::pickDirectory);

    m_markAction = menu->addAction(tr("&Mark / Unmark (D)"));
    m_markAction->setEnabled(false);
    connect(m_markAction, &QAction::triggered, this,
            [this] { m_model.markCurrentAndAdvance(m_model.cursor().previewIndex().has_value()); });
    QAction *compare = menu->addAction(tr("&Compare (C)"));
    connect(compare, &QAction::triggered, this, [this] { m_model.openCompare(); });
    QAction *keep = menu->addAction(tr("&Keep This One, Mark the Rest of Its Burst (K)"));
    connect(keep, &QAction::triggered, this, [this] { m_model.keepBest(m_model.cursor().previewIndex().has_value()); });
    menu->addSeparator();
    m_discardAction = menu->addAction(tr("Discard Ori&ginals"));
    m_discardAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Backspace));
    m_discardAction->setAutoRepeat(false); // a held key discards once
    connect(m_discardAction, &QAction::triggered, &m_model, &AppModel::discardOriginals);
    // Always there: with nothing to take back, Ctrl+Z says so (and where earlier discards are).
    m_undoAction = menu->addAction(tr("&Undo"));
    m_undoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_undoAction->setAutoRepeat(false);
    connect(m_undoAction, &QAction::triggered, &m_model, &AppModel::undo);
    connect(&m_model, &AppModel::undoableChanged, this, [this] {
        switch (m_model.undoable()) {
        case AppModel::Undoable::Nothing:
            m_undoAction->setText(tr("&Undo"));
            break;
        case AppModel::Undoable::Discard:
            m_undoAction->setText(tr("&Undo Discard"));
            break;
        case AppModel::Undoable::KeepBest:
            m_undoAction->setText(tr("&Undo Keep This One"));
            break;
        case AppModel::Undoable::Rating:
            m_undoAction->setText(tr("&Undo Rating"));
            break;
        }
        m_undoAction->setEnabled(!m_model.discard().isTrashing());
    });
    menu->addSeparator();
    QAction *quit = menu->addAction(tr("&Quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    buildViewMenu();
}

void MainWindow::buildViewMenu()
{
    // The views of the folder: V cycles them, as the top bar's control does.
    QMenu *view = menuBar()->addMenu(tr("&View"));
    auto *views = new QActionGroup(view);
    using FolderView = ViewSettings::FolderView;
    for (const auto &[which, label] : {std::pair{FolderView::All, tr("&All (V)")},
                                       std::pair{FolderView::Unmarked, tr("&Unmarked (V)")},
                                       std::pair{FolderView::Marked, tr("&Marked (V)")}}) {
        QAction *action = view->addAction(label);
        action->setCheckable(true);
        action->setChecked(m_model.settings().folderView() == which);
        views->addAction(action);
        connect(action, &QAction::triggered, this, [this, which = which] { m_model.settings().setFolderView(which); });
        connect(&m_model.settings(), &ViewSettings::changed, action,
                [this, action, which = which] { action->setChecked(m_model.settings().folderView() == which); });
    }
    view->addSeparator();
    // Collapsed bursts: G and this item, for the session only.
    QAction *collapse = view->addAction(tr("Collapse &Bursts (G)"));
    collapse->setCheckable(true);
    connect(collapse, &QAction::triggered, this, [this](bool on) { m_model.setBurstsCollapsed(on); });
    connect(&m_model, &AppModel::shownChanged, collapse, [this, collapse] { collapse->setChecked(m_model.burstsCollapsed()); });
    FilterMenu::attach(view->addMenu(tr("&Filter")), m_model);
    connect(view->addAction(tr("&Next Unmarked (N)")), &QAction::triggered, this, [this] { m_model.moveToUnmarked(1); });
    connect(view->addAction(tr("&Previous Unmarked (Shift+N)")), &QAction::triggered, this,
            [this] { m_model.moveToUnmarked(-1); });
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    const int unfinished = int(m_model.marks().unfinished().size());
    if (m_mayClose || unfinished == 0) {
        event->accept();
        return;
    }
    // A mark lives only in its copy: quitting before the copies are made would drop marks the user gave.
    event->ignore();
    askBeforeQuit(unfinished);
}

void MainWindow::askBeforeQuit(int unfinished)
{
    if (m_quitQuestion) {
        m_quitQuestion->raise();
        return;
    }
    auto *box = new QMessageBox(this);
    m_quitQuestion = box;
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Question);
    box->setWindowTitle(tr("Copies not finished"));
    box->setTextFormat(Qt::PlainText);
    box->setText(tr("%n copy/copies of marked cells are not finished yet.", nullptr, unfinished));
    box->setInformativeText(tr("A mark is kept in its copy. Quit now and the marks of these cells are lost; wait "
                               "and Vorlane quits when the last copy is made."));
    QPushButton *wait = box->addButton(tr("&Wait for Them"), QMessageBox::AcceptRole);
    QPushButton *giveUp = box->addButton(tr("&Give Up and Quit"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(wait);
    box->setEscapeButton(cancel);
    connect(box, &QMessageBox::finished, this, [this, box, wait, giveUp] {
        m_quitQuestion = nullptr;
        const QAbstractButton *answer = box->clickedButton();
        if (answer == wait) {
            m_quitWhenDone = true;
            m_toast->showMessage(tr("Quitting when the last copy is made"));
            placeOverlays();
            quitIfDone();
        } else if (answer == giveUp) {
            quitNow();
        } else {
            m_quitWhenDone = false;
        }
    });
    box->open();
}

void MainWindow::quitIfDone()
{
    if (m_quitWhenDone && m_model.marks().unfinished().isEmpty()) {
        m_mayClose = true;
        close();
    }
}

QList<std::filesystem::path> MainWindow::quitNow()
{
    if (m_quitQuestion)
        m_quitQuestion->close();
    const QList<std::filesystem::path> lost = m_model.marks().abandonUnfinished();
    m_mayClose = true;
    close();
    return lost;
}

void MainWindow::showScreen()
{
    const bool browsing = m_model.listing().rootPath().has_value();
    if (showsBrowser() == browsing && m_keyMap->isActive() == browsing)
        return;
    m_stack->setCurrentWidget(browsing ? m_browser : static_cast<QWidget *>(m_start));
    m_keyMap->setActive(browsing);
    if (browsing && QApplication::focusWidget())
        QApplication::focusWidget()->clearFocus();
}

void MainWindow::placeOverlays()
{
    const QRect area = m_browser->rect();
    m_overlay->setGeometry(area);
    m_compare->setGeometry(area);
    const QSize toast = m_toast->sizeHint();
    m_toast->setGeometry(area.center().x() - toast.width() / 2, area.bottom() - 24 - toast.height(), toast.width(),
                         toast.height());
    m_overlay->raise();
    m_compare->raise();
    m_toast->raise();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_browser && event->type() == QEvent::Resize)
        placeOverlays();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    placeOverlays();
}

} // namespace vorlane
