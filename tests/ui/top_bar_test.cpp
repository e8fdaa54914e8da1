#include "ui/pill_button.h"
#include "ui/settings_panel.h"
#include "ui/theme.h"
#include "ui/top_bar.h"

#include "testsupport/model_support.h"

#include <QCheckBox>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QLayout>
#include <QSignalSpy>
#include <QSlider>
#include <QStyleOptionSlider>

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;

namespace {

bool near(const QColor &a, const QColor &b, int tolerance = 12)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

// A pixel of the 2-pixel progress bar, a little in from its left end.
QColor barPixel(TopBar &bar) { return bar.grab().toImage().pixelColor(18, TopBar::kStripHeight - 4); }

class TopBarTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bar.resize(1000, bar.sizeHint().height());
        bar.show();
    }
    TempTree t;
    FakeEncoder encoder;
    AppModel m{nullptr, quietMachine(), encoder.function()};
    TopBar bar{m};
};

// The strip shows a snapshot's status line, and its bar in the accent colour, orange when a copy failed. The
// discard button follows the count of completed copies and the run.
TEST_F(TopBarTest, ProgressAndDiscardFollowTheCopies)
{
    using P = BsideScheduler::Progress;
    const std::vector<std::tuple<P, const char *, QColor>> rows{
        {P{}, "压缩 0/0", QColor()},
        {P{10, 10, 0, 0, {}, 0}, "已完成 10/10", Theme::accent()},
        {P{10, 10, 0, 0, {}, 1}, "已完成 10/10 · 失败 1", QColor(255, 149, 0)},
        {P{4, 10, 2, 4, u"IMG_7"_s, 0}, "压缩 4/10 · 进行中 2 · 排队 4 · IMG_7", Theme::accent()}};
    for (const auto &[progress, text, fill] : rows) {
        bar.showProgress(progress);
        EXPECT_EQ(bar.statusText(), QString::fromUtf8(text));
        const QColor pixel = barPixel(bar);
        if (fill.isValid())
            EXPECT_TRUE(near(pixel, fill)) << text << ": " << pixel.name().toStdString();
        else
            EXPECT_FALSE(near(pixel, Theme::accent(), 60)) << "only the track shows: " << pixel.name().toStdString();
    }

    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        t.file(name, "x");
    ASSERT_TRUE(openAndWait(m, t.root()));
    PillButton *button = bar.discardButton();
    const auto fillPixel = [&] { // the button is drawn over the bar: look at it there
        return bar.grab().toImage().pixelColor(button->geometry().topLeft() + QPoint(4, button->height() / 2));
    };
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(button->toolTip(), u"没有可丢弃的原片（需先按 D 标记并完成压缩）"_s);
    EXPECT_FALSE(button->count());
    EXPECT_FALSE(near(fillPixel(), Theme::accent())) << "dimmed while nothing is discardable";

    encoder.open();
    m.marks().toggle(m.listing().pairs()[0].id());
    m.marks().toggle(m.listing().pairs()[1].id());
    ASSERT_TRUE(waitUntil([&] { return m.discard().discardableCount() == 2; }));
    encoder.setMode(FakeEncoder::Mode::Fail);
    m.marks().toggle(m.listing().pairs()[2].id());
    ASSERT_TRUE(waitUntil([&] { return m.marks().progress().failed == 1 && m.marks().progress().isIdle(); }));
    EXPECT_EQ(bar.statusText(), u"已完成 3/3 · 失败 1"_s);
    EXPECT_TRUE(near(barPixel(bar), QColor(255, 149, 0)));
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->toolTip(), u"将 2 个副本已生成的已标记项的原片移到回收站"_s);
    EXPECT_EQ(button->count(), 2);
    EXPECT_TRUE(near(fillPixel(), Theme::accent())) << fillPixel().name().toStdString();

    QSignalSpy finished(&m.discard(), &DiscardRun::finished);
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(m.discard().isTrashing());
    EXPECT_TRUE(button->isEnabled()) << "while the originals are checked, the button stops the run";
    EXPECT_TRUE(button->text().startsWith(u"核对原片 "_s)) << button->text().toStdString();
    bar.layout()->activate(); // the longer text widens the button
    EXPECT_TRUE(near(fillPixel(), Theme::accent())) << "keeps its full colour while trashing";
    ASSERT_TRUE(finished.wait(20000));
}

// The display settings of the top bar's popover.
template<typename W>
W *withText(QWidget &root, const char *text)
{
    for (W *w : root.findChildren<W *>()) {
        if (w->text() == QString::fromUtf8(text))
            return w;
    }
    ADD_FAILURE() << "no control reads " << text;
    return nullptr;
}

QPoint handleCentre(QSlider *slider)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.subControls = QStyle::SC_SliderHandle;
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).center();
}

// The views of the folder: their segments show how many cells each holds and which is shown, a click shows
// another, and V's cycling shows here too.
TEST_F(TopBarTest, ViewSegmentsCountAndChooseTheView)
{
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        t.file(name, name);
    encoder.open();
    ASSERT_TRUE(openAndWait(m, t.root()));
    m.marks().toggle(pairIdNamed(m, u"b.jpg"_s));
    const QList<PillButton *> views = bar.viewButtons();
    ASSERT_EQ(views.size(), 3);
    EXPECT_EQ(views[0]->text(), u"全部"_s);
    EXPECT_EQ(views[1]->count(), 2);
    EXPECT_EQ(views[2]->count(), 1);
    EXPECT_TRUE(views[0]->isChecked());
    QTest::mouseClick(views[2], Qt::LeftButton);
    EXPECT_EQ(m.settings().folderView(), ViewSettings::FolderView::Marked);
    EXPECT_EQ(m.shownPairs().size(), 1);
    QTest::mouseClick(views[2], Qt::LeftButton);
    EXPECT_TRUE(views[2]->isChecked()) << "a click on the view shown leaves it shown";
    m.settings().cycleFolderView();
    EXPECT_TRUE(views[0]->isChecked() && !views[2]->isChecked());
}

// On a screen too short for it (1366 x 768 at 150 % leaves 512 points), the settings popover ends where
// it is told and its controls scroll, the last one included.
TEST(SettingsPanelTest, AShortScreenScrollsTheControls)
{
    AppModel m{nullptr, quietMachine()};
    SettingsPanel panel{m};
    panel.fitHeight(2000);
    const int full = panel.height();
    panel.fitHeight(300);
    panel.show();
    EXPECT_EQ(panel.height(), 300);
    EXPECT_GT(full, 300);
    QScrollBar *bar = panel.scrollArea()->verticalScrollBar();
    ASSERT_TRUE(waitUntil([&] { return bar->maximum() > 0; }, 2000));
    QCheckBox *last = withText<QCheckBox>(panel, "点击时自动滚动");
    ASSERT_NE(last, nullptr);
    panel.scrollArea()->ensureWidgetVisible(last);
    const QRect inViewport(last->mapTo(panel.scrollArea()->viewport(), QPoint(0, 0)), last->size());
    EXPECT_TRUE(panel.scrollArea()->viewport()->rect().contains(inViewport)) << "reachable";
}

// Each control shows what the model holds and writes its own setting: a choice and the other choice of its
// group, a toggle clicked on its box; the tile size label in whole points, one column written at both ends of a
// slider's drag (the grid puts its own count back), the size in steps of 8.
TEST(SettingsPanelTest, EveryControlReachesTheModel)
{
    AppModel m{nullptr, quietMachine()};
    SettingsPanel panel{m};
    panel.fitHeight(2000);
    panel.show();
    const std::vector<std::tuple<const char *, const char *, std::function<bool()>>> choices{
        {"按拍摄时间", "按名称", [&] { return m.listing().sortMode() == FolderListing::SortMode::Date; }},
        {"适配（完整）", "填充（裁剪）", [&] { return m.settings().fillMode() == ViewSettings::FillMode::Fit; }},
        {"分开", "合并", [&] { return m.settings().viewMode() == ViewSettings::ViewMode::Split; }}};
    for (const auto &[choiceText, backText, chosen] : choices) {
        SCOPED_TRACE(choiceText);
        QAbstractButton *choice = withText<QAbstractButton>(panel, choiceText),
                        *back = withText<QAbstractButton>(panel, backText);
        ASSERT_TRUE(choice && back);
        EXPECT_FALSE(chosen());
        EXPECT_TRUE(back->isChecked()) << "shows the model's default";
        QTest::mouseClick(choice, Qt::LeftButton);
        EXPECT_TRUE(chosen());
        EXPECT_TRUE(choice->isChecked() && !back->isChecked());
        QTest::mouseClick(back, Qt::LeftButton);
        EXPECT_FALSE(chosen());
    }
    const std::vector<std::pair<const char *, bool (ViewSettings::*)() const>> toggles{
        {"显示文件名", &ViewSettings::showFilenames},
        {"显示 RAW 格式标签（隐藏文件名时）", &ViewSettings::showRawLabel},
        {"方向键导航时自动滚动", &ViewSettings::autoScrollOnNav},
        {"点击时自动滚动", &ViewSettings::autoScrollOnClick}};
    for (const auto &[label, flag] : toggles) {
        SCOPED_TRACE(label);
        QCheckBox *box = withText<QCheckBox>(panel, label);
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isChecked() && (m.settings().*flag)());
        for (bool expected : {false, true}) {
            QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
            EXPECT_EQ((m.settings().*flag)(), expected);
        }
    }

    QSlider *slider = panel.sizeSlider();
    m.settings().setThumbnailSize(203.7);
    EXPECT_EQ(panel.sizeLabel()->text(), QStringLiteral("203 pt"))
        << "a size set elsewhere shows here, as whole points";

    m.cursor().setGridColumns(6);
    const QPoint handle = handleCentre(slider);
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, handle);
    EXPECT_EQ(m.cursor().gridColumns(), 1) << "drag start";
    m.cursor().setGridColumns(6);
    QTest::mouseMove(slider, handle + QPoint(40, 0));
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, handle + QPoint(40, 0));
    EXPECT_EQ(m.cursor().gridColumns(), 1) << "drag end";
    EXPECT_EQ(int(m.settings().thumbnailSize()) % 8, 0);
}

} // namespace
