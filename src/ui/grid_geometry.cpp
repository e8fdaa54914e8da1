#include "ui/grid_geometry.h"

#include <algorithm>
#include <cmath>

namespace vorlane {

double GridGeometry::spacing() const { return std::max(tileSize / 20.0, 1.0); }

int GridGeometry::columns() const
{
    const double usable = width - 2 * kOuterPadding;
    return std::max(int(std::trunc(usable / (tileSize + spacing()))), 1);
}

double GridGeometry::cellHeight() const { return tileSize + (showLabels ? kLabelGap + kLabelHeight : 0.0); }

double GridGeometry::blockLeft() const
{
    const int cols = columns();
    const double block = cols * tileSize + (cols - 1) * spacing();
    return std::max(kOuterPadding, (width - block) / 2.0);
}

QRectF GridGeometry::cellRect(int index) const
{
    const int cols = columns();
    const int row = index / cols;
    const int col = index % cols;
    return QRectF(blockLeft() + col * (tileSize + spacing()), top + kOuterPadding + row * (cellHeight() + spacing()),
                  tileSize, cellHeight());
}

int GridGeometry::indexAt(const QPointF &p, int count) const
{
    const int cols = columns();
    const double x = p.x() - blockLeft();
    const double y = p.y() - top - kOuterPadding;
    if (x < 0 || y < 0)
        return -1;
    const int col = int(x / (tileSize + spacing()));
    const int row = int(y / (cellHeight() + spacing()));
    if (col >= cols)
        return -1;
    const int index = row * cols + col;
    if (index >= count || !cellRect(index).contains(p))
        return -1;
    return index;
}

double GridGeometry::contentHeight(int count) const
{
    const int rows = (count + columns() - 1) / columns();
    return top + 2 * kOuterPadding + rows * cellHeight() + std::max(0, rows - 1) * spacing();
}

std::pair<int, int> GridGeometry::indexRange(double y0, double y1, int count) const
{
    if (count <= 0)
        return {0, -1};
    const double rowPitch = cellHeight() + spacing();
    const int firstRow = std::max(0, int((y0 - top - kOuterPadding) / rowPitch));
    const int lastRow = std::max(0, int((y1 - top - kOuterPadding) / rowPitch));
    const int cols = columns();
    return {std::min(firstRow * cols, count - 1), std::min((lastRow + 1) * cols - 1, count - 1)};
}

} // namespace vorlane
