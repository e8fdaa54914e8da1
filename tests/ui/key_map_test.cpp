#include "app/key_map.h"

#include "model_harness.h"

#include <QKeyEvent>
#include <QLineEdit>

using namespace vorlane;
using namespace vorlane::test;

namespace {

QKeyEvent press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString &text = {}, bool repeat = false)
{
    return QKeyEvent(QEvent::KeyPress, key, mods, text, repeat);
}

// A press or a release of a key at a server time.
bool pressAt(KeyMap &keys, int key, quint64 time)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    event.setTimestamp(time);
    return keys.handle(event);
}

void releaseAt(KeyMap &keys, int key, quint64 time)
{
    QKeyEvent event(QEvent::KeyRelease, key, Qt::NoModifier);
    event.setTimestamp(time);
    keys.released(event);
}

class KeyMapTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        t.dir("sub");
        t.file("a.jpg", "a");
        t.file("b.jpg", "b");
        t.file("c.jpg", "c");
        t.file("sub/x.jpg", "x");
        ASSERT_TRUE(openAndWait(m, t.root()));
        keys.setActive(true);
    }
    int index() const { return int(m.listing().gridItems().indexOf(*m.cursor().selection())); }
    // A press and its release, as a person taps a key.
    bool tap(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString &text = {})
    {
        const bool used = keys.handle(press(key, mods, text));
        releaseAt(keys, key, 0);
        return used;
    }

    TempTree t;
    AppModel m{nullptr, quietMachine()};
    KeyMap keys{m};
};

// X11 sends a held key's repeats as presses flagged as repeats, as presses with no release between, or, with
// detectable auto-repeat off, as a release and a press at the same server time: each acts once.
TEST_F(KeyMapTest, AHeldKeyActsOnceWhateverTheRepeatsLookLike)
{
    EXPECT_TRUE(pressAt(keys, Qt::Key_Right, 1000));
    EXPECT_EQ(index(), 1);
    EXPECT_TRUE(pressAt(keys, Qt::Key_Right, 1500)) << "no release came between";
    releaseAt(keys, Qt::Key_Right, 1530);
    EXPECT_TRUE(pressAt(keys, Qt::Key_Right, 1530)) << "a release-press pair";
    EXPECT_EQ(index(), 1);
    releaseAt(keys, Qt::Key_Right, 1600);
    EXPECT_TRUE(pressAt(keys, Qt::Key_Right, 1700)) << "a new press";
    EXPECT_EQ(index(), 2);
}

TEST_F(KeyMapTest, ArrowsMoveOnceWhileHeld)
{
    EXPECT_TRUE(tap(Qt::Key_Right));
    EXPECT_EQ(index(), 1);
    EXPECT_TRUE(keys.handle(press(Qt::Key_Right, Qt::NoModifier, {}, true))) << "repeats are swallowed";
    EXPECT_EQ(index(), 1);
    EXPECT_TRUE(tap(Qt::Key_Left, Qt::ShiftModifier));
    EXPECT_EQ(index(), 0);
    EXPECT_TRUE(m.cursor().lastSelectionByKeyboard());
}

TEST_F(KeyMapTest, SpaceEscapeAndArrowsInThePreview)
{
    EXPECT_FALSE(tap(Qt::Key_Escape)) << "escape passes on with the preview closed";
    tap(Qt::Key_Right);
    EXPECT_TRUE(tap(Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")));
    ASSERT_EQ(m.cursor().previewIndex(), 0);
    EXPECT_TRUE(tap(Qt::Key_Left));
    EXPECT_EQ(m.cursor().previewIndex(), 2) << "wraps to the last pair";
    EXPECT_TRUE(tap(Qt::Key_Return));
    EXPECT_EQ(m.cursor().previewIndex(), 2) << "return does nothing in the preview";
    EXPECT_TRUE(tap(Qt::Key_Escape));
    EXPECT_FALSE(m.cursor().previewIndex());
    EXPECT_EQ(index(), 3) << "the grid keeps the pair shown last";
}

TEST_F(KeyMapTest, MarkKeyAndModifiers)
{
    EXPECT_TRUE(tap(Qt::Key_D, Qt::NoModifier, QStringLiteral("d"))) << "swallowed with a folder selected";
    EXPECT_TRUE(m.marks().marked().isEmpty());
    EXPECT_FALSE(tap(Qt::Key_D, Qt::ControlModifier, QStringLiteral("d")));
    tap(Qt::Key_Right);
    EXPECT_TRUE(tap(Qt::Key_D, Qt::ShiftModifier, QStringLiteral("D")));
    EXPECT_EQ(m.marks().marked().size(), 1);
    EXPECT_EQ(index(), 2) << "marking moves on";
}

TEST_F(KeyMapTest, ReturnOpensFoldersAndBackspaceGoesUp)
{
    EXPECT_FALSE(tap(Qt::Key_Backspace, Qt::ShiftModifier));
    EXPECT_TRUE(tap(Qt::Key_Enter, Qt::KeypadModifier));
    ASSERT_TRUE(waitUntil([&] { return !m.listing().isLoading(); }));
    EXPECT_EQ(*m.listing().currentPath(), t.root() / "sub");
    EXPECT_TRUE(tap(Qt::Key_Backspace));
    ASSERT_TRUE(waitUntil([&] { return !m.listing().isLoading(); }));
    EXPECT_EQ(*m.listing().currentPath(), t.root());
    EXPECT_EQ(m.cursor().selection(), GridSelection::folder(m.listing().folders()[0].id));

    tap(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !m.listing().isLoading(); }));
    EXPECT_TRUE(tap(Qt::Key_Up, Qt::AltModifier));
    ASSERT_TRUE(waitUntil([&] { return !m.listing().isLoading(); }));
    EXPECT_EQ(*m.listing().currentPath(), t.root());
}

TEST_F(KeyMapTest, TextFieldKeepsItsKeys)
{
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

} // namespace
