#include "model/grid_cursor.h"

#include <algorithm>

namespace vorlane {

void GridCursor::setItems(QList<GridSelection> items) { m_items = std::move(items); }

std::optional<QUuid> GridCursor::selectedPairId() const
{
    if (m_selection && m_selection->kind == GridSelection::Kind::Media)
        return m_selection->id;
    return std::nullopt;
}

std::optional<QUuid> GridCursor::selectedFolderId() const
{
    if (m_selection && m_selection->kind == GridSelection::Kind::Folder)
        return m_selection->id;
    return std::nullopt;
}

int GridCursor::firstMedia() const
{
    const auto it = std::find_if(m_items.cbegin(), m_items.cend(),
                                 [](const GridSelection &s) { return s.kind == GridSelection::Kind::Media; });
    return int(it - m_items.cbegin());
}

int GridCursor::mediaCount() const { return int(m_items.size()) - firstMedia(); }

std::optional<QUuid> GridCursor::previewedPairId() const
{
    if (!m_previewIndex || *m_previewIndex < 0 || *m_previewIndex >= mediaCount())
        return std::nullopt;
    return m_items[firstMedia() + *m_previewIndex].id;
}

int GridCursor::selectionIndex() const
{
    if (!m_selection)
        return 0;
    const auto index = m_items.indexOf(*m_selection);
    return index < 0 ? 0 : int(index);
}

void GridCursor::select(const std::optional<GridSelection> &selection)
{
    if (m_selection == selection)
        return;
    m_selection = selection;
    Q_EMIT selectionChanged();
}

void GridCursor::selectByClick(const GridSelection &selection)
{
    // The flag first: a view reacting to the new selection reads how it was made.
    m_byKeyboard = false;
    select(selection);
}

void GridCursor::keyboardSelect(const GridSelection &selection)
{
    m_byKeyboard = true;
    select(selection);
}

void GridCursor::move(Direction direction)
{
    if (m_items.isEmpty())
        return;
    const int cols = std::max(m_gridColumns, 1);
    const int idx = selectionIndex();
    const int last = int(m_items.size()) - 1;
    int target = idx;
    switch (direction) {
    case Direction::Up:
        target = std::max(idx - cols, 0);
        break;
    case Direction::Down:
        target = std::min(idx + cols, last);
        break;
    case Direction::Left:
        target = std::max(idx - 1, 0);
        break;
    case Direction::Right:
        target = std::min(idx + 1, last);
        break;
    }
    if (target != idx)
        keyboardSelect(m_items[target]);
}

void GridCursor::movePage(int pages)
{
    if (m_items.isEmpty() || pages == 0)
        return;
    const int last = int(m_items.size()) - 1;
    const int target = std::clamp(selectionIndex() + pages * m_pageRows * std::max(m_gridColumns, 1), 0, last);
    if (!m_selection || target != selectionIndex())
        keyboardSelect(m_items[target]);
}

void GridCursor::moveToFirst()
{
    if (!m_items.isEmpty() && m_selection != m_items.first())
        keyboardSelect(m_items.first());
}

void GridCursor::moveToLast()
{
    if (!m_items.isEmpty() && m_selection != m_items.last())
        keyboardSelect(m_items.last());
}

void GridCursor::step(int by)
{
    const int n = int(m_items.size());
    if (n == 0)
        return;
    m_byKeyboard = true;
    const int target = ((selectionIndex() + by) % n + n) % n;
    if (m_selection == m_items[target])
        Q_EMIT selectionChanged(); // a one-cell grid: the step is still a keyboard move
    else
        select(m_items[target]);
}

void GridCursor::openPreview()
{
    const auto id = selectedPairId();
    if (!id)
        return;
    const auto index = m_items.indexOf(GridSelection::media(*id));
    if (index < 0)
        return;
    m_previewIndex = int(index) - firstMedia();
    Q_EMIT previewChanged();
}

void GridCursor::closePreview()
{
    if (!m_previewIndex)
        return;
    m_previewIndex.reset();
    Q_EMIT previewChanged();
}

void GridCursor::previewMove(int by)
{
    const int n = mediaCount();
    if (!m_previewIndex || n == 0)
        return;
    m_previewIndex = ((*m_previewIndex + by) % n + n) % n;
    Q_EMIT previewChanged();
    select(m_items[firstMedia() + *m_previewIndex]);
}

void GridCursor::setGridColumns(int columns)
{
    if (columns == m_gridColumns)
        return;
    m_gridColumns = columns;
    Q_EMIT gridColumnsChanged();
}

} // namespace vorlane
