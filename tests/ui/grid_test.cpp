#include "catalogue/media_classifier.h"
#include "ui/cell_painter.h"
#include "ui/grid_geometry.h"
#include "ui/theme.h"

#include <QFontMetricsF>
#include <QTextLayout>

#include <gtest/gtest.h>

using namespace vorlane;

namespace {

struct ColumnRow
{
    double width;
    double tile;
    int columns;
    double spacing;
};

TEST(GridGeometry, ColumnsFromWidthAndTileSize)
{
    const std::vector<ColumnRow> rows{{1000, 160, 5, 8}, {1200, 160, 7, 8}, {300, 400, 1, 20},
                                      {100, 10, 7, 1},   {16, 160, 1, 8},   {2000, 320, 5, 16}};
    for (const ColumnRow &r : rows) {
        GridGeometry g;
        g.width = r.width;
        g.tileSize = r.tile;
        EXPECT_EQ(g.columns(), r.columns) << r.width << " " << r.tile;
        EXPECT_DOUBLE_EQ(g.spacing(), r.spacing);
    }
}

TEST(GridGeometry, CellsInReadingOrderAndHitTesting)
{
    GridGeometry g;
    g.width = 1000;
    g.tileSize = 160;
    const int count = 13;
    for (int i = 0; i < count; ++i) {
        const QRectF r = g.cellRect(i);
        EXPECT_EQ(g.indexAt(r.center(), count), i);
        if (i % 5) {
            EXPECT_GT(r.left(), g.cellRect(i - 1).left());
        }
    }
    EXPECT_EQ(g.indexAt(QPointF(2, 2), count), -1);
    EXPECT_EQ(g.indexAt(g.cellRect(12).center() + QPointF(168, 0), count), -1) << "past the last cell";
    const auto [first, last] = g.indexRange(0, 100, count);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 4);
}

TEST(Theme, IconLigaturesShapeToOneGlyph)
{
    for (const char *name : {Theme::Icon::trash, Theme::Icon::hourglass, Theme::Icon::sync, Theme::Icon::check,
                             Theme::Icon::warning, Theme::Icon::play, Theme::Icon::folder, Theme::Icon::tune,
                             Theme::Icon::chevron, Theme::Icon::photo, Theme::Icon::brokenImage}) {
        QTextLayout layout(QString::fromLatin1(name), Theme::iconFont(24));
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        int glyphs = 0;
        for (const QGlyphRun &run : layout.glyphRuns())
            glyphs += int(run.glyphIndexes().size());
        EXPECT_EQ(glyphs, 1) << name;
    }
}

} // namespace

namespace {

MediaItem item(const char *path)
{
    return MediaItem(path, *MediaClassifier::classify(path), MediaClassifier::isRaw(path));
}

using B = CellPainter::Badge;

struct BadgeRow
{
    bool marked;
    std::optional<BsideJobStatus> status;
    QList<B> badges;
};

TEST(MediaTile, BadgesPerMarkAndStatus)
{
    const MediaPair pair(item("/d/a.jpg"));
    const std::vector<BadgeRow> rows{
        {false, std::nullopt, {}},
        {true, BsideJobStatus::queued(), {B::Marked, B::Queued}},
        {true, BsideJobStatus::running(), {B::Marked, B::Running}},
        {true, BsideJobStatus::completed(), {B::Marked, B::Completed}},
        {false, BsideJobStatus::completed(), {}},
        {false, BsideJobStatus::failed(QStringLiteral("x")), {B::Failed}},
        {true, BsideJobStatus::failed(QStringLiteral("x")), {B::Marked, B::Failed}},
    };
    for (const BadgeRow &r : rows) {
        CellPainter::MediaCell cell;
        cell.pair = &pair;
        cell.isMarked = r.marked;
        cell.jobStatus = r.status;
        EXPECT_EQ(CellPainter::badgesFor(cell), r.badges);
        EXPECT_EQ(CellPainter::badgeRects(QPointF(0, 0), cell).size(), r.badges.size());
    }
}

TEST(MediaTile, RawLabelRules)
{
    const MediaPair rawPair(item("/d/IMG_1.JPG"), item("/d/IMG_1.cr3"));
    const MediaPair rawSingle(item("/d/IMG_2.NEF"));
    const MediaPair jpg(item("/d/IMG_3.JPG"));
    const MediaPair video(item("/d/clip.mov"));
    struct Row
    {
        const MediaPair *pair;
        bool showFilename;
        bool showRawLabel;
        const char *label;
    };
    const std::vector<Row> rows{{&rawPair, false, true, "CR3"},  {&rawSingle, false, true, "NEF"},
                                {&rawPair, true, true, ""},      {&rawPair, false, false, ""},
                                {&jpg, false, true, ""},         {&video, false, true, ""}};
    for (const Row &r : rows) {
        CellPainter::MediaCell cell;
        cell.pair = r.pair;
        cell.showFilename = r.showFilename;
        cell.showRawLabel = r.showRawLabel;
        EXPECT_EQ(CellPainter::rawLabel(cell).toStdString(), r.label);
    }
}

} // namespace
