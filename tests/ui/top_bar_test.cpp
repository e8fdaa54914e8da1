#include "ui/pill_button.h"
#include "ui/settings_panel.h"
#include "ui/theme.h"
#include "ui/top_bar.h"

#include "testsupport/model_support.h"

#include <QCheckBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QLayout>
#include <QSignalSpy>

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

class TopBarTest : public ModelTest
{
protected:
    void SetUp() override
    {
        bar.resize(1000, bar.sizeHint().height());
        bar.show();
    }
    TopBar bar{m};
};

// The strip shows the copies' status line, and its bar in the accent colour (only the track with no copies),
// orange when a copy failed. The discard button follows the count of completed copies and the run.
TEST_F(TopBarTest, ProgressAndDiscardFollowTheCopies)
{
    EXPECT_FALSE(near(barPixel(bar), Theme::accent(), 60)) << "only the track shows: " << barPixel(bar).name().toStdString();
    bar.showProgress(BsideScheduler::Progress{4, 10, 2, 4, u"IMG_7"_s, 0});
    EXPECT_EQ(bar.statusText().toStdString(), "Copies 4/10 · running 2 · queued 4 · IMG_7");
    EXPECT_TRUE(near(barPixel(bar), Theme::accent())) << barPixel(bar).name().toStdString();

    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        t.file(name, "x");
    ASSERT_TRUE(openAndWait(m, t.root()));
    PillButton *button = bar.discardButton();
    const auto fillPixel = [&] { // the button is drawn over the bar: look at it there
        return bar.grab().toImage().pixelColor(button->geometry().topLeft() + QPoint(4, button->height() / 2));
    };
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(button->toolTip(), u"No originals to discard (mark with D and let the copies finish first)"_s);
    EXPECT_FALSE(button->count());
    EXPECT_FALSE(near(fillPixel(), Theme::accent())) << "dimmed while nothing is discardable";

    encoder.open();
    m.marks().toggle(m.listing().pairs()[0].id());
    m.marks().toggle(m.listing().pairs()[1].id());
    ASSERT_TRUE(waitUntil([&] { return m.discard().discardableCount() == 2; }));
    encoder.setMode(FakeEncoder::Mode::Fail);
    m.marks().toggle(m.listing().pairs()[2].id());
    ASSERT_TRUE(waitUntil([&] { return m.marks().progress().failed == 1 && m.marks().progress().isIdle(); }));
    EXPECT_EQ(bar.statusText(), u"Done 3/3 · failed 1"_s);
    EXPECT_TRUE(near(barPixel(bar), QColor(255, 149, 0)));
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->toolTip(), u"Move the originals of 2 marked cells whose copies are made to the Trash"_s);
    EXPECT_EQ(button->count(), 2);
    EXPECT_TRUE(near(fillPixel(), Theme::accent())) << fillPixel().name().toStdString();

    QSignalSpy finished(&m.discard(), &DiscardRun::finished);
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(m.discard().isTrashing());
    EXPECT_TRUE(button->isEnabled()) << "while the originals are checked, the button stops the run";
    EXPECT_TRUE(button->text().startsWith(u"Checking "_s)) << button->text().toStdString();
    bar.layout()->activate(); // the longer text widens the button
    EXPECT_TRUE(near(fillPixel(), Theme::accent())) << "keeps its full colour while trashing";
    ASSERT_TRUE(finished.wait(20000));
}

// On a screen too short for it (the button 300 pixels above the bottom edge), the settings popover ends
// above the edge and its controls scroll, the last one included.
TEST_F(TopBarTest, OnAShortScreenTheSettingsEndAboveTheBottomAndScroll)
{
    const QRect screen = bar.screen()->availableGeometry();
    bar.move(screen.left(), screen.bottom() - 300 - bar.height());
    QTest::mouseClick(bar.settingsButton(), Qt::LeftButton);
    SettingsPanel *panel = bar.settingsPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_LE(panel->frameGeometry().bottom(), screen.bottom());
    EXPECT_LT(panel->height(), 300);
    QScrollBar *scroll = panel->scrollArea()->verticalScrollBar();
    ASSERT_TRUE(waitUntil([&] { return scroll->maximum() > 0; }, 2000));
    QCheckBox *last = nullptr; // the last control
    for (QCheckBox *box : panel->findChildren<QCheckBox *>())
        last = box->text() == u"Scroll to a clicked cell"_s ? box : last;
    ASSERT_NE(last, nullptr);
    panel->scrollArea()->ensureWidgetVisible(last);
    const QRect inViewport(last->mapTo(panel->scrollArea()->viewport(), QPoint(0, 0)), last->size());
    EXPECT_TRUE(panel->scrollArea()->viewport()->rect().contains(inViewport)) << "reachable, sideways too";
}

} // namespace
