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
    int index() const { return int(m.gridItems().indexOf(*m.selection())); }

    TempTree t;
    AppModel m{nullptr, quietMachine()};
    KeyMap keys{m};
};

TEST_F(KeyMapTest, ArrowsMoveOnceWhileHeld)
{
    EXPECT_TRUE(keys.handle(press(Qt::Key_Right)));
    EXPECT_EQ(index(), 1);
    EXPECT_TRUE(keys.handle(press(Qt::Key_Right, Qt::NoModifier, {}, true))) << "repeats are swallowed";
    EXPECT_EQ(index(), 1);
    EXPECT_TRUE(keys.handle(press(Qt::Key_Left, Qt::ShiftModifier)));
    EXPECT_EQ(index(), 0);
    EXPECT_TRUE(m.lastSelectionByKeyboard());
}

TEST_F(KeyMapTest, SpaceEscapeAndArrowsInThePreview)
{
    EXPECT_FALSE(keys.handle(press(Qt::Key_Escape))) << "escape passes on with the preview closed";
    keys.handle(press(Qt::Key_Right));
    EXPECT_TRUE(keys.handle(press(Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "))));
    ASSERT_EQ(m.previewIndex(), 0);
    EXPECT_TRUE(keys.handle(press(Qt::Key_Left)));
    EXPECT_EQ(m.previewIndex(), 2) << "wraps to the last pair";
    EXPECT_TRUE(keys.handle(press(Qt::Key_Return)));
    EXPECT_EQ(m.previewIndex(), 2) << "return does nothing in the preview";
    EXPECT_TRUE(keys.handle(press(Qt::Key_Escape)));
    EXPECT_FALSE(m.previewIndex());
    EXPECT_EQ(index(), 3) << "the grid keeps the pair shown last";
}

TEST_F(KeyMapTest, MarkKeyAndModifiers)
{
    EXPECT_TRUE(keys.handle(press(Qt::Key_D, Qt::NoModifier, QStringLiteral("d")))) << "swallowed with a folder selected";
    EXPECT_TRUE(m.markedPairIds().isEmpty());
    EXPECT_FALSE(keys.handle(press(Qt::Key_D, Qt::ControlModifier, QStringLiteral("d"))));
    keys.handle(press(Qt::Key_Right));
    EXPECT_TRUE(keys.handle(press(Qt::Key_D, Qt::ShiftModifier, QStringLiteral("D"))));
    EXPECT_EQ(m.markedPairIds().size(), 1);
    EXPECT_EQ(index(), 2) << "marking moves on";
}

TEST_F(KeyMapTest, ReturnOpensFoldersAndBackspaceGoesUp)
{
    EXPECT_FALSE(keys.handle(press(Qt::Key_Backspace, Qt::ShiftModifier)));
    EXPECT_TRUE(keys.handle(press(Qt::Key_Enter, Qt::KeypadModifier)));
    ASSERT_TRUE(waitUntil([&] { return !m.isLoading(); }));
    EXPECT_EQ(*m.currentURL(), t.root() / "sub");
    EXPECT_TRUE(keys.handle(press(Qt::Key_Backspace)));
    ASSERT_TRUE(waitUntil([&] { return !m.isLoading(); }));
    EXPECT_EQ(*m.currentURL(), t.root());
    EXPECT_EQ(m.selection(), GridSelection::folder(m.folders()[0].id));

    keys.handle(press(Qt::Key_Return));
    ASSERT_TRUE(waitUntil([&] { return !m.isLoading(); }));
    EXPECT_TRUE(keys.handle(press(Qt::Key_Up, Qt::AltModifier)));
    ASSERT_TRUE(waitUntil([&] { return !m.isLoading(); }));
    EXPECT_EQ(*m.currentURL(), t.root());
}

TEST_F(KeyMapTest, TextFieldKeepsItsKeys)
{
    QLineEdit field;
    field.show();
    field.activateWindow();
    field.setFocus();
    ASSERT_TRUE(waitUntil([&] { return field.hasFocus(); }, 2000));
    const auto before = m.selection();
    for (int key : {Qt::Key_Right, Qt::Key_Space, Qt::Key_D, Qt::Key_Backspace})
        EXPECT_FALSE(keys.handle(press(key))) << key;
    EXPECT_EQ(m.selection(), before);
}

} // namespace
