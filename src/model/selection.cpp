// Selection: the grid's walking order, arrow moves, wrapping steps, the preview and the D key.
#include "model/app_model.h"

namespace vorlane {

QList<GridSelection> AppModel::gridItems() const
{
    QList<GridSelection> items;
    items.reserve(m_folders.size() + m_pairs.size());
    for (const FolderEntry &f : m_folders)
        items.append(GridSelection::folder(f.id));
    for (const MediaPair &p : m_pairs)
        items.append(GridSelection::media(p.id()));
    return items;
}

std::optional<QUuid> AppModel::selectedPairId() const
{
    if (m_selection && m_selection->kind == GridSelection::Kind::Media)
        return m_selection->id;
    return std::nullopt;
}

std::optional<QUuid> AppModel::selectedFolderId() const
{
    if (m_selection && m_selection->kind == GridSelection::Kind::Folder)
        return m_selection->id;
    return std::nullopt;
}

int AppModel::selectionIndex() const
{
    if (!m_selection)
        return 0;
    const QList<GridSelection> items = gridItems();
    const auto index = items.indexOf(*m_selection);
    return index < 0 ? 0 : int(index);
}

void AppModel::moveSelection(GridDirection direction)
{
    const QList<GridSelection> items = gridItems();
    if (items.isEmpty())
        return;
    const int cols = m_gridColumns > 1 ? m_gridColumns : 1;
    const int idx = selectionIndex();
    const int last = int(items.size()) - 1;
    int target = idx;
    switch (direction) {
    case GridDirection::Up:
        target = std::max(idx - cols, 0);
        break;
    case GridDirection::Down:
        target = std::min(idx + cols, last);
        break;
    case GridDirection::Left:
        if (idx == 0)
            return;
        target = idx - 1;
        break;
    case GridDirection::Right:
        target = std::min(idx + 1, last);
        break;
    }
    if (target == idx)
        return;
    // The flag first: the grid's scroll decision reacts to the selection and reads the flag.
    set(m_lastSelectionByKeyboard, true, Field::LastSelectionByKeyboard);
    setSelection(items[target]);
}

void AppModel::moveSelection(int step)
{
    const QList<GridSelection> items = gridItems();
    const int n = int(items.size());
    if (n == 0)
        return;
    const int target = ((selectionIndex() + step) % n + n) % n;
    set(m_lastSelectionByKeyboard, true, Field::LastSelectionByKeyboard);
    setSelection(items[target]);
}

void AppModel::openSelectedFolder()
{
    const auto id = selectedFolderId();
    if (!id)
        return;
    for (const FolderEntry &f : m_folders) {
        if (f.id == *id) {
            navigate(f.path);
            return;
        }
    }
}

void AppModel::openPreview()
{
    const auto id = selectedPairId();
    if (!id)
        return;
    for (qsizetype i = 0; i < m_pairs.size(); ++i) {
        if (m_pairs[i].id() == *id) {
            set(m_previewIndex, std::optional<int>(int(i)), Field::PreviewIndex);
            return;
        }
    }
}

void AppModel::closePreview() { set(m_previewIndex, std::optional<int>(), Field::PreviewIndex); }

void AppModel::previewMove(int step)
{
    if (!m_previewIndex || m_pairs.isEmpty())
        return;
    const int n = int(m_pairs.size());
    const int target = ((*m_previewIndex + step) % n + n) % n;
    set(m_previewIndex, std::optional<int>(target), Field::PreviewIndex);
    setSelection(GridSelection::media(m_pairs[target].id()));
}

void AppModel::markCurrentAndAdvance(bool inPreview)
{
    std::optional<QUuid> id;
    if (inPreview) {
        if (m_previewIndex && *m_previewIndex >= 0 && *m_previewIndex < m_pairs.size())
            id = m_pairs[*m_previewIndex].id();
    } else {
        id = selectedPairId();
    }
    if (!id || m_discarding.contains(*id))
        return; // a cell whose originals are being moved can be neither marked nor unmarked
    if (m_markedPairIds.contains(*id)) {
        unmark(*id);
        return;
    }
    mark(*id);
    if (inPreview)
        previewMove(1);
    else
        moveSelection(1);
}

} // namespace vorlane
