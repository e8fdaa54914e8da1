#include "ui/settings_panel.h"
#include "ui/theme.h"
#include "ui/top_bar.h"

#include "chrome_test_support.h"
#include "fake_encoder.h"
#include "model_harness.h"

#include <QLabel>
#include <QSignalSpy>
#include <QPushButton>
#include <QToolButton>

using namespace vorlane;
using namespace vorlane::test;

namespace {

const QColor kOrange(255, 149, 0);

bool near(const QColor &a, const QColor &b, int tolerance = 12)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

// A pixel of the 2-pixel progress bar, a little in from its left end.
QColor barPixel(TopBar &bar)
{
    const QImage image = bar.grab().toImage();
    return image.pixelColor(18, TopBar::kStripHeight - 4);
}

struct ProgressRow
{
    const char *name;
    BsideScheduler::Progress progress;
    const char *text;
    QColor fill; // invalid: only the track shows
};

class ProgressStrip : public ::testing::TestWithParam<ProgressRow>
{
};

TEST_P(ProgressStrip, ShowsTheSnapshot)
{
    const ProgressRow &row = GetParam();
    AppModel m{nullptr, quietMachine()};
    TopBar bar(m);
    bar.resize(900, bar.sizeHint().height());
    bar.showProgress(row.progress);
    EXPECT_EQ(bar.statusText(), QString::fromUtf8(row.text));
    const QColor pixel = barPixel(bar);
    if (row.fill.isValid()) {
        EXPECT_EQ(bar.barFillColor(), row.fill);
        EXPECT_TRUE(near(pixel, row.fill)) << pixel.name().toStdString();
    } else {
        EXPECT_FALSE(bar.barFillColor().isValid());
        EXPECT_FALSE(near(pixel, Theme::accent(), 60)) << "only the track shows";
    }
}

BsideScheduler::Progress progress(int64_t completed, int64_t total, int64_t running, int64_t queued,
                                  std::optional<QString> name, int64_t failed)
{
    return {completed, total, running, queued, std::move(name), failed};
}

INSTANTIATE_TEST_SUITE_P(
    Snapshots, ProgressStrip,
    ::testing::Values(ProgressRow{"BeforeAnyJob", {}, "压缩 0/0", QColor()},
                      ProgressRow{"AllDone", progress(10, 10, 0, 0, {}, 0), "已完成 10/10", Theme::accent()},
                      ProgressRow{"DoneWithAFailure", progress(10, 10, 0, 0, {}, 1), "已完成 10/10 · 失败 1", kOrange},
                      ProgressRow{"UnderWay", progress(4, 10, 2, 4, QStringLiteral("IMG_7"), 0),
                                  "压缩 4/10 · 进行中 2 · 排队 4 · IMG_7", Theme::accent()}),
    [](const auto &row) { return std::string(row.param.name); });

class TopBarTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bar.resize(1000, bar.sizeHint().height());
        bar.show();
    }
    // Marks every pair and waits until each copy is complete.
    void markAllAndFinish()
    {
        encoder.open();
        for (const MediaPair &p : m.listing().pairs())
            m.marks().toggle(p.id());
        ASSERT_TRUE(waitUntil([&] { return m.discard().discardableCount() == int(m.listing().pairs().size()); }));
    }
    TempTree t;
    FakeEncoder encoder;
    AppModel m{nullptr, quietMachine(), encoder.function()};
    TopBar bar{m};
};

TEST_F(TopBarTest, AFailedCopyTurnsTheBarOrange)
{
    t.file("a.jpg", "a");
    ASSERT_TRUE(openAndWait(m, t.root()));
    encoder.setMode(FakeEncoder::Mode::Fail);
    encoder.open();
    m.marks().toggle(m.listing().pairs()[0].id());
    ASSERT_TRUE(waitUntil([&] { return m.marks().progress().failed == 1 && m.marks().progress().isIdle(); }));
    EXPECT_EQ(bar.statusText(), QStringLiteral("已完成 1/1 · 失败 1"));
    EXPECT_TRUE(near(barPixel(bar), kOrange));
}

TEST_F(TopBarTest, BreadcrumbButtonsNavigate)
{
    t.file("2024/trip/a.jpg", "a");
    ASSERT_TRUE(openAndWait(m, t.root()));
    ASSERT_TRUE(navigateAndWait(m, t.root() / "2024" / "trip"));
    const QList<QToolButton *> crumbs = bar.breadcrumbButtons();
    ASSERT_EQ(crumbs.size(), 3);
    EXPECT_EQ(crumbs[1]->text(), QStringLiteral("2024"));
    EXPECT_EQ(crumbs[2]->text(), QStringLiteral("trip"));
    EXPECT_EQ(crumbs[2]->accessibleName(), QStringLiteral("进入 trip"));
    EXPECT_EQ(crumbs[2]->font().weight(), QFont::DemiBold) << "the current directory stands out";
    EXPECT_EQ(crumbs[1]->font().weight(), QFont::Normal);
    int chevrons = 0;
    for (QLabel *label : bar.findChildren<QLabel *>())
        chevrons += label->text() == QString::fromLatin1(Theme::Icon::chevron) && label->isVisible();
    EXPECT_EQ(chevrons, 2) << "one before every entry but the first";
    saveScreenshot(bar, "top-bar-breadcrumb.png");

    QTest::mouseClick(crumbs[1], Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !m.listing().isLoading() && m.listing().currentPath() == t.root() / "2024"; }));
    ASSERT_EQ(bar.breadcrumbButtons().size(), 2);

    // The current directory's own entry lists it again.
    QSignalSpy listed(&m, &AppModel::listingApplied);
    QTest::mouseClick(bar.breadcrumbButtons().last(), Qt::LeftButton);
    ASSERT_TRUE(listed.wait(10000));
    EXPECT_EQ(m.listing().currentPath(), t.root() / "2024");
}

TEST_F(TopBarTest, DiscardButtonFollowsCountAndTrashing)
{
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        t.file(name, "x");
    ASSERT_TRUE(openAndWait(m, t.root()));
    QPushButton *button = bar.discardButton();
    // The button is drawn over the bar, so look at it there.
    const auto fillPixel = [&] {
        const QPoint inside = button->geometry().topLeft() + QPoint(4, button->height() / 2);
        return bar.grab().toImage().pixelColor(inside);
    };

    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(button->toolTip(), QStringLiteral("没有可丢弃的原片（需先标记 D 并完成压缩）"));
    EXPECT_FALSE(bar.discardCountLabel()->isVisible());
    const QColor dimmed = fillPixel();
    EXPECT_FALSE(near(dimmed, Theme::accent())) << "dimmed while nothing is discardable";
    saveScreenshot(bar, "top-bar-empty.png");

    markAllAndFinish();
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->toolTip(), QStringLiteral("将 3 张已生成副本的原片移到废纸篓"));
    EXPECT_TRUE(bar.discardCountLabel()->isVisible());
    EXPECT_EQ(bar.discardCountLabel()->text(), QStringLiteral("3"));
    EXPECT_TRUE(near(fillPixel(), Theme::accent())) << fillPixel().name().toStdString();
    saveScreenshot(bar, "top-bar.png");

    QSignalSpy finished(&m.discard(), &DiscardRun::finished);
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(m.discard().isTrashing());
    EXPECT_FALSE(button->isEnabled()) << "no second run while one is under way";
    EXPECT_TRUE(near(fillPixel(), Theme::accent())) << "keeps its full colour while trashing";
    ASSERT_TRUE(finished.wait(20000));
}

} // namespace
