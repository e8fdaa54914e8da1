#pragma once

#include "catalogue/decision.h"
#include "catalogue/folder_entry.h"
#include "catalogue/media_pair.h"
#include "model/job_status.h"
#include "model/view_settings.h"

#include <QPixmap>
#include <QRectF>

#include <optional>

class QPainter;

namespace vorlane::CellPainter {

struct FolderCell
{
    const FolderEntry *folder = nullptr;
    double size = 160;
    bool isSelected = false;
    bool showFilename = true;
};

struct MediaCell
{
    const MediaPair *pair = nullptr;
    bool isSelected = false;
    bool isMarked = false;
    std::optional<BsideJobStatus> jobStatus;
    bool copyOfAnother = false; // the copy path holds another file's copy
    bool copyUnknown = false;   // a copy is there, but its originals cannot be read right now to tell whose
    double size = 160;
    ViewSettings::ViewMode viewMode = ViewSettings::ViewMode::Merged;
    ViewSettings::FillMode fillMode = ViewSettings::FillMode::Fill;
    bool showFilename = true;
    bool showRawLabel = true;
    QPixmap image;
    bool loadFailed = false;
    bool undecodable = false; // the file is known not to decode, whatever picture stands in for it
    // A frame of a burst: where it stands in its group, whether it is the group's sharpest, and whether its
    // neighbours in the same row belong to the group too (the group's tray then runs on into them).
    struct Burst
    {
        int index = 0;
        int size = 0;
        bool best = false;
        bool joinsLeft = false;
        bool joinsRight = false;
        int folded = 0; // a collapsed burst: the frames the tile stands for (its count), else 0
        int marked = 0; // ... and how many of them are marked
    };
    std::optional<Burst> burst;
    Decision decision; // its star rating and colour label
    double spacing = 8;     // between tiles
    double cellHeight = 0;  // the tile and its name line (0: the tile alone)
};

// Paints a tile whose top-left corner is at origin. Main thread (it draws with the widget's painter).
void paintFolder(QPainter &painter, const QPointF &origin, const FolderCell &cell);
void paintMedia(QPainter &painter, const QPointF &origin, const MediaCell &cell);

// A frame's place in its burst as the preview and the compare view label it: "Burst 2/5", "… · sharpest".
QString burstLabel(int index, int size, bool best);

// Which badges a media tile shows, top to bottom (the mark badge, then at most one job badge; an unmarked
// tile whose copy path holds another file's copy says so instead; a file that does not decode says so last,
// unless its failed copy says it already).
enum class Badge { Marked, Queued, Running, Completed, Failed, CopyOfAnother, CopyUnknown, Undecodable };
QList<Badge> badgesFor(const MediaCell &cell);
// The badge rectangles of a tile at origin, in the order of badgesFor (for tooltips).
QList<QRectF> badgeRects(const QPointF &origin, const MediaCell &cell);

// The RAW label text, or empty when none is drawn.
QString rawLabel(const MediaCell &cell);

// A burst frame's count ("3/5", a collapsed burst's "5") and, for the sharpest, its badge text ("Sharpest");
// a collapsed burst's marked frames ("2/5 marked").
QString burstCount(const MediaCell::Burst &burst);
QString foldedMarked(const MediaCell::Burst &burst);
QString sharpestLabel();
// A decision as the grid, the preview and compare show it: the stars given ("★★★"), or "✕" for a rejected
// photo, empty for none; and a label's colour (invalid for none).
QString starsText(const Decision &decision);
QColor labelColour(ColourLabel label);
// The stars and the label as rich text for a header: the label's dot, then the stars.
QString decisionHtml(const Decision &decision);

} // namespace vorlane::CellPainter
