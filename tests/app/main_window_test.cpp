#include "app/key_map.h"
#include "app/main_window.h"
#include "ui/overlay_toggles.h"
#include "ui/thumbnail_cache.h"

#include "testsupport/model_support.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

using namespace vorlane;
using namespace vorlane::test;

namespace {

// Three pairs after the folder "sub", the key map active.
class Keys : public ModelTest
{
protected:
    void SetUp() override
    {
        t.dir("sub");
        for (const char *name : {"a.jpg", "b.jpg", "c.jpg", "sub/x.jpg"})
            t.file(name, "x");
        ASSERT_TRUE(openAndWait(m, t.root()));
        keys.setActive(true);
    }
    int index() const { return int(m.listing().gridItems().indexOf(*m.cursor().selection())); }
    // A press or a release of a key at a server time.
    bool press(int key, quint64 time, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString &text = {},
               bool repeat = false)
    {
        QKeyEvent event(QEvent::KeyPress, key, mods, text, repeat);
        event.setTimestamp(time);
        return keys.handle(event);
    }
    void release(int key, quint64 time)
    {
        QKeyEvent event(QEvent::KeyRelease, key, Qt::NoModifier);
        event.setTimestamp(time);
        keys.released(event);
    }
    // A press and its release, as a person taps a key; a listing it starts is waited for.
    bool tap(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString &text = {})
    {
        const bool used = press(key, 0, mods, text);
        release(key, 0);
        waitUntil([&] { return !m.listing().isLoading(); });
        return used;
    }

    KeyMap keys{m};
};

// X11 sends a held key's repeats as presses flagged as repeats, as presses with no release between, or, with
// detectable auto-repeat off, as a release and a press at the same server time: each acts once, and every
// repeat is swallowed.
TEST_F(Keys, AHeldKeyActsOnceWhateverTheRepeatsLookLike)
{
    EXPECT_TRUE(press(Qt::Key_Right, 1000));
    EXPECT_EQ(index(), 1);
    EXPECT_TRUE(press(Qt::Key_Right, 1500)) << "no release came between";
    release(Qt::Key_Right, 1530);
    EXPECT_TRUE(press(Qt::Key_Right, 1530)) << "a release-press pair";
    release(Qt::Key_Right, 1600);
    EXPECT_TRUE(press(Qt::Key_Right, 1650, Qt::NoModifier, {}, true)) << "a press flagged as a repeat";
    EXPECT_EQ(index(), 1);
    release(Qt::Key_Right, 1660);
    EXPECT_TRUE(press(Qt::Key_Right, 1700)) << "a new press";
    EXPECT_EQ(index(), 2);
    release(Qt::Key_Right, 1800);
    EXPECT_TRUE(tap(Qt::Key_Left, Qt::ShiftModifier));
    EXPECT_EQ(index(), 1);
    EXPECT_TRUE(m.cursor().lastSelectionByKeyboard());
}

// The filter sees a press once for each widget it propagates to and acts once; the next press acts again even
// when it reuses the last one's memory and carries no time, as posted presses do.
TEST_F(Keys, EachPressActsOnceThroughTheFilter)
{
    QWidget parent;
    auto *child = new QWidget(&parent);
    QObject &filter = keys;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
    for (int step = 1; step <= 2; ++step) {
        EXPECT_TRUE(filter.eventFilter(child, &press));
        EXPECT_TRUE(filter.eventFilter(&parent, &press));
        filter.eventFilter(child, &release);
        EXPECT_EQ(index(), step);
    }
}

// Space opens and closes the preview, Escape closes it (and passes on while it is closed), the arrows step in
// it, Return does nothing there; D marks and moves on, but not with Ctrl and not on a folder.
TEST_F(Keys, PreviewAndMarkKeys)
{
    EXPECT_FALSE(tap(Qt::Key_Escape)) << "escape passes on with the preview closed";
    EXPECT_TRUE(tap(Qt::Key_D, Qt::NoModifier, QStringLiteral("d"))) << "swallowed with a folder selected";
    EXPECT_TRUE(m.marks().marked().isEmpty());
    tap(Qt::Key_Right);
    EXPECT_TRUE(tap(Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")));
    ASSERT_EQ(m.cursor().previewIndex(), 0);
    EXPECT_TRUE(tap(Qt::Key_Left));
    EXPECT_EQ(m.cursor().previewIndex(), 2);
    EXPECT_TRUE(tap(Qt::Key_Return));
    EXPECT_EQ(m.cursor().previewIndex(), 2) << "return does nothing in the preview";
    EXPECT_TRUE(tap(Qt::Key_Escape));
    EXPECT_FALSE(m.cursor().previewIndex());
    EXPECT_FALSE(tap(Qt::Key_D, Qt::ControlModifier, QStringLiteral("d")));
    EXPECT_TRUE(tap(Qt::Key_D, Qt::ShiftModifier, QStringLiteral("D")));
    EXPECT_EQ(m.marks().marked().size(), 1);
    EXPECT_EQ(index(), 0) << "marking moves on, wrapping around";
    for (const auto &[key, to] : std::vector<std::pair<int, int>>{
             {Qt::Key_End, 3}, {Qt::Key_Home, 0}, {Qt::Key_PageDown, 1}, {Qt::Key_PageUp, 0}}) {
        EXPECT_TRUE(tap(key));
        EXPECT_EQ(index(), to) << key;
    }
}

// Return opens a folder, Backspace or Alt+Up goes up; every key passes on while a text field has the focus.
TEST_F(Keys, ReturnOpensFoldersBackspaceGoesUpAndTextFieldsKeepTheirKeys)
{
    EXPECT_FALSE(tap(Qt::Key_Backspace, Qt::ShiftModifier));
    EXPECT_TRUE(tap(Qt::Key_Enter, Qt::KeypadModifier));
    EXPECT_EQ(*m.listing().currentPath(), t.root() / "sub");
    EXPECT_TRUE(tap(Qt::Key_Backspace));
    EXPECT_EQ(*m.listing().currentPath(), t.root());
    EXPECT_EQ(m.cursor().selection(), GridSelection::folder(m.listing().folders()[0].id));

    tap(Qt::Key_Return);
    EXPECT_TRUE(tap(Qt::Key_Up, Qt::AltModifier));
    EXPECT_EQ(*m.listing().currentPath(), t.root());

    QLineEdit field;
    field.show();
    field.activateWindow();
    field.setFocus();
    ASSERT_TRUE(waitUntil([&] { return field.hasFocus(); }, 2000));
    const auto before = m.cursor().selection();
    for (int key : {Qt::Key_Right, Qt::Key_Space, Qt::Key_D, Qt::Key_Backspace})
        EXPECT_FALSE(tap(key)) << key;
    EXPECT_EQ(m.cursor().selection(), before);
}

// A held arrow skims from its first repeat, a step at a time on a timer (each waits for the window to paint,
// or a moment when nothing paints), never one step per queued repeat, and stops the moment it is released.
TEST_F(Keys, AHeldArrowSkimsUntilItIsReleased)
{
    for (int i = 0; i < 30; ++i)
        t.file("many/" + std::to_string(100 + i) + ".jpg", "x");
    ASSERT_TRUE(navigateAndWait(m, t.root() / "many"));
    EXPECT_TRUE(press(Qt::Key_Right, 1000));
    EXPECT_EQ(index(), 1);
    for (quint64 time = 1400; time < 1600; time += 40)
        EXPECT_TRUE(press(Qt::Key_Right, time, Qt::NoModifier, {}, true));
    EXPECT_TRUE(keys.isSkimming());
    EXPECT_EQ(index(), 1) << "the repeats themselves do not step";
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitUntil([&] { return index() >= 4; }, 2000)) << "it skims, a step every 100 ms or so";
    const int skimmed = index();
    EXPECT_LE(skimmed - 1, clock.elapsed() / 100 + 1) << "nothing paints here: a step waits for a paint, or 100 ms";
    release(Qt::Key_Right, 2000);
    EXPECT_FALSE(keys.isSkimming());
    QTest::qWait(250);
    EXPECT_EQ(index(), skimmed) << "not one step after the release";
}

// A key pressed in a dialog belongs to it: when the dialog closes on that press and its release never comes
// here, the next press of the key in the window still acts.
TEST_F(Keys, AKeyThatClosedADialogIsNotLeftHeld)
{
    QDialog dialog;
    dialog.setModal(true);
    dialog.show();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeModalWidget() == &dialog; }, 2000));
    EXPECT_FALSE(press(Qt::Key_Return, 100)) << "the dialog's";
    dialog.close();
    ASSERT_TRUE(waitUntil([&] { return !QApplication::activeModalWidget(); }, 2000));
    EXPECT_TRUE(press(Qt::Key_Return, 300));
    ASSERT_TRUE(waitUntil([&] { return !m.listing().isLoading(); }));
    EXPECT_EQ(*m.listing().currentPath(), t.root() / "sub") << "the first Return after the dialog opens the folder";
}

// F, P, H and O turn the aids on and off in the preview (and compare), once a press; in the grid they are not
// taken.
TEST_F(Keys, TheAidsToggleInThePreviewOnly)
{
    OverlayToggles toggles;
    keys.setOverlayToggles(&toggles);
    EXPECT_FALSE(tap(Qt::Key_P)) << "the grid has no picture to peak";
    EXPECT_FALSE(toggles.isOn(OverlayToggles::Peaking));
    tap(Qt::Key_Right);
    tap(Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    ASSERT_TRUE(m.cursor().previewIndex());
    const std::pair<int, OverlayToggles::Overlay> rows[] = {{Qt::Key_F, OverlayToggles::FocusPoints},
                                                            {Qt::Key_P, OverlayToggles::Peaking},
                                                            {Qt::Key_H, OverlayToggles::Histogram},
                                                            {Qt::Key_O, OverlayToggles::Clipping}};
    for (const auto &[key, overlay] : rows) {
        EXPECT_TRUE(tap(key));
        EXPECT_TRUE(toggles.isOn(overlay)) << key;
        press(key, 0, Qt::NoModifier, {}, true);
        release(key, 0);
        EXPECT_TRUE(toggles.isOn(overlay)) << "a held key acts once";
        tap(key);
        EXPECT_FALSE(toggles.isOn(overlay)) << key;
    }
}

// A main window over a model of its own.
class MainWindowTest : public ModelTest
{
protected:
    ThumbnailCache cache;
    MainWindow window{m, cache};
};

TEST_F(MainWindowTest, StartScreenUntilAFolderIsChosen)
{
    std::optional<std::filesystem::path> picked;
    window.setDirectoryPicker([&](const QString &) { return picked; });
    window.show();
    EXPECT_FALSE(window.showsBrowser());
    EXPECT_FALSE(window.keyMap()->isActive()) << "no keys reach the model from the start screen";
    picked = t.root() / "missing";
    window.pickDirectory();
    EXPECT_FALSE(m.listing().rootPath()) << "a path that is not a folder is ignored";
    picked = t.root();
    window.pickDirectory();
    EXPECT_TRUE(window.showsBrowser());
    EXPECT_TRUE(window.keyMap()->isActive());
}

// Alt with a menu's letter opens it, with the grid's keys active; every item of a menu has a letter of its own,
// and none is D.
TEST_F(MainWindowTest, AltOpensTheMenusByTheirLetters)
{
    window.setDirectoryPicker([&](const QString &) { return std::optional(t.root()); });
    window.show();
    window.pickDirectory();
    ASSERT_TRUE(window.keyMap()->isActive());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    for (const auto &[key, title] : {std::pair{Qt::Key_P, "&Photos"}, std::pair{Qt::Key_V, "&View"}}) {
        SCOPED_TRACE(title);
        QTest::keyClick(&window, key, Qt::AltModifier);
        auto *open = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_NE(open, nullptr) << "no menu opened";
        EXPECT_EQ(open->title(), QString::fromUtf8(title));
        QSet<QChar> letters;
        for (const QAction *action : open->actions()) {
            if (action->isSeparator())
                continue;
            const qsizetype amp = action->text().indexOf(u'&');
            ASSERT_GE(amp, 0) << action->text().toStdString();
            const QChar letter = action->text().at(amp + 1).toLower();
            EXPECT_FALSE(letters.contains(letter)) << action->text().toStdString();
            EXPECT_NE(letter, u'd') << "D marks in the grid: pressed by habit in an open menu, it must not discard";
            letters.insert(letter);
        }
        open->close();
    }
}


// The README's keyboard table says what the bindings are: its key column, row by row, is the key map's rows
// and the menu's shortcuts, no more and no fewer.
using KeyTable = MainWindowTest;
TEST_F(KeyTable, TheReadmeDocumentsEveryBinding)
{
    QFile readme(QStringLiteral(VORLANE_SOURCE_DIR "/README.md"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    // The table: from the first line under the heading that starts with '|' to the blank line after it.
    const qsizetype from = text.indexOf(QStringLiteral("\n|"), text.indexOf(QStringLiteral("## Keyboard")));
    ASSERT_GE(from, 0);
    QSet<QString> documented;
    for (const QString &line : text.mid(from + 1).section(QStringLiteral("\n\n"), 0, 0).split(u'\n')) {
        const QString key = line.section(u'|', 1, 1).trimmed();
        if (key != QStringLiteral("Key") && !key.startsWith(QStringLiteral("---")))
            documented.insert(key);
    }
    QSet<QString> bound;
    for (const KeyMap::Row &row : KeyMap::rows()) {
        if (row.readme)
            bound.insert(QString::fromUtf8(row.readme));
    }
    for (const QAction *action : window.findChildren<QAction *>()) {
        if (!action->shortcut().isEmpty())
            bound.insert(action->shortcut().toString(QKeySequence::PortableText));
    }
    EXPECT_EQ(documented, bound);
}

} // namespace
