#pragma once

#include <QRectF>

namespace vorlane {

// Where the grid's cells go for a viewport width and a tile size: columns, spacing, and the rectangle of
// each cell in content coordinates (the folders and pairs as one flat list, in reading order). Pure.
struct GridGeometry
{
    static constexpr double kOuterPadding = 8.0;
    static constexpr double kLabelGap = 4.0;
    static constexpr double kLabelHeight = 16.0;

    double width = 0;      // the grid's full width
    double tileSize = 160; // T, in points
    bool showLabels = true;
    double top = 0; // content space above the tiles (the load error line)

    double spacing() const;
    int columns() const;
    double cellHeight() const; // the square plus the name line when names are shown
    double blockLeft() const;  // the block of columns is centred
    QRectF cellRect(int index) const;
    int indexAt(const QPointF &contentPoint, int count) const; // -1 outside every cell
    double contentHeight(int count) const;
    // First and last index whose cell meets the band [y0, y1) of content coordinates.
    std::pair<int, int> indexRange(double y0, double y1, int count) const;
};

} // namespace vorlane
