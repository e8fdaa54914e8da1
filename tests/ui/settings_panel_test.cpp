#include "app/main_window.h"
#include "ui/browser_grid.h"
#include "ui/settings_panel.h"
#include "ui/thumbnail_cache.h"

#include "chrome_test_support.h"
#include "model_harness.h"

#include <QCheckBox>
#include <QLabel>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QToolButton>

using namespace vorlane;
using namespace vorlane::test;

namespace {

template<typename W>
W *withText(QWidget &root, const QString &text)
{
    for (W *w : root.findChildren<W *>()) {
        if (w->text() == text)
            return w;
    }
    return nullptr;
}

struct ChoiceRow
{
    const char *name;
    const char *choice;
    const char *back; // the other choice of the same group
    std::function<bool(const AppModel &)> chosen;
};

class SettingsChoices : public ::testing::TestWithParam<ChoiceRow>
{
};

TEST_P(SettingsChoices, ReachTheModel)
{
    const ChoiceRow &row = GetParam();
    AppModel m{nullptr, quietMachine()};
    SettingsPanel panel(m);
    panel.show();
    QToolButton *choice = withText<QToolButton>(panel, QString::fromUtf8(row.choice));
    QToolButton *back = withText<QToolButton>(panel, QString::fromUtf8(row.back));
    ASSERT_TRUE(choice && back);
    EXPECT_FALSE(row.chosen(m));
    EXPECT_TRUE(back->isChecked()) << "shows the model's default";
    QTest::mouseClick(choice, Qt::LeftButton);
    EXPECT_TRUE(row.chosen(m));
    EXPECT_TRUE(choice->isChecked());
    EXPECT_FALSE(back->isChecked());
    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_FALSE(row.chosen(m));
}

INSTANTIATE_TEST_SUITE_P(
    Groups, SettingsChoices,
    ::testing::Values(
        ChoiceRow{"Sort", "按拍摄时间", "按名称", [](const AppModel &m) { return m.listing().sortMode() == FolderListing::SortMode::Date; }},
        ChoiceRow{"Fill", "适配（完整）", "填充（裁剪）",
                  [](const AppModel &m) { return m.settings().fillMode() == ViewSettings::FillMode::Fit; }},
        ChoiceRow{"Pairing", "分开", "合并", [](const AppModel &m) { return m.settings().viewMode() == ViewSettings::ViewMode::Split; }}),
    [](const auto &row) { return std::string(row.param.name); });

struct ToggleRow
{
    const char *name;
    const char *label;
    bool (ViewSettings::*flag)() const;
};

class SettingsToggles : public ::testing::TestWithParam<ToggleRow>
{
};

TEST_P(SettingsToggles, ReachTheModel)
{
    const ToggleRow &row = GetParam();
    AppModel m{nullptr, quietMachine()};
    SettingsPanel panel(m);
    panel.show();
    QCheckBox *box = withText<QCheckBox>(panel, QString::fromUtf8(row.label));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE((m.settings().*row.flag)());
    const QPoint indicator(8, box->height() / 2);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, indicator);
    EXPECT_FALSE((m.settings().*row.flag)());
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, indicator);
    EXPECT_TRUE((m.settings().*row.flag)());
}

INSTANTIATE_TEST_SUITE_P(
    Flags, SettingsToggles,
    ::testing::Values(ToggleRow{"Filenames", "显示文件名", &ViewSettings::showFilenames},
                      ToggleRow{"RawLabel", "显示 RAW 格式标签（隐藏文件名时）", &ViewSettings::showRawLabel},
                      ToggleRow{"ScrollOnNav", "方向键导航时自动滚动", &ViewSettings::autoScrollOnNav},
                      ToggleRow{"ScrollOnClick", "点击时自动滚动", &ViewSettings::autoScrollOnClick}),
    [](const auto &row) { return std::string(row.param.name); });

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

TEST(SettingsPanelSlider, StepsOfEightWithinRangeAndOneColumnAtBothEndsOfADrag)
{
    AppModel m{nullptr, quietMachine()};
    SettingsPanel panel(m);
    panel.show();
    QSlider *slider = panel.sizeSlider();
    EXPECT_EQ(panel.sizeLabel()->text(), QStringLiteral("160 pt"));

    slider->setValue(slider->maximum() + 5);
    EXPECT_EQ(m.settings().thumbnailSize(), 320.0);
    slider->setValue(slider->minimum() - 5);
    EXPECT_EQ(m.settings().thumbnailSize(), 80.0);
    EXPECT_EQ(panel.sizeLabel()->text(), QStringLiteral("80 pt"));
    slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(m.settings().thumbnailSize(), 88.0);

    // A size set elsewhere shows here, as whole points.
    m.settings().setThumbnailSize(203.7);
    EXPECT_EQ(panel.sizeLabel()->text(), QStringLiteral("203 pt"));

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

// The slider's drags write one column; the grid puts its real count back, so up and down keep moving a row.
TEST(SettingsPanelSlider, GridKeepsItsColumnsAfterADrag)
{
    AppModel m{nullptr, quietMachine()};
    ThumbnailCache cache;
    MainWindow window(m, cache);
    window.resize(1200, 800);
    window.show();
    TempTree t;
    ASSERT_TRUE(openAndWait(m, t.root()));
    ASSERT_TRUE(waitUntil([&] { return m.cursor().gridColumns() > 1; }));
    const int columns = m.cursor().gridColumns();
    SettingsPanel panel(m);
    panel.show();
    const QPoint handle = handleCentre(panel.sizeSlider());
    QTest::mousePress(panel.sizeSlider(), Qt::LeftButton, Qt::NoModifier, handle);
    QTest::mouseRelease(panel.sizeSlider(), Qt::LeftButton, Qt::NoModifier, handle);
    EXPECT_TRUE(waitUntil([&] { return m.cursor().gridColumns() == columns; }, 2000));
}

} // namespace
