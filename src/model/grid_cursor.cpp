#include "model/grid_cursor.h"

#include <QSet>

#include <algorithm>

namespace vorlane {

namespace {

// Where an item of the old list stands in the new one: its own index while it is there, else the index of
// the first item after it that is (the number of old items before it that survive), clamped to the last.
qsizetype placeIn(const QList<GridSelection> &before, qsizetype at, const QList<GridSelection> &after)
{
    if (at < 0 || at >= before.size() || after.isEmpty())
        return -1;
    if (const qsizetype same = after.indexOf(before[at]); same >= 0)
        return same;
    const QSet<GridSelection> kept(after.cbegin(), after.cend());
    qsizetype survivors = 0;
    for (qsizetype i = 0; i < at; ++i)
        survivors += kept.contains(before[i]) ? 1 : 0;
    return std::min(survivors, after.size() - 1);
}

QList<GridSelection> mediaOf(const QList<GridSelection> &items)
{
    QList<GridSelection> media;
    for (const GridSelection &item : items) {
        if (item.kind == GridSelection::Kind::Media)
            media.append(item);
    }
    return media;
}

} // namespace

void GridCursor::setItems(QList<GridSelection> items, bool keepPlace)
{
    if (!keepPlace) {
        m_items = std::move(items);
        return;
    }
    const std::optional<QUuid> previewedBefore = previewedPairId();
    const QList<GridSelection> before = std::exchange(m_items, std::move(items));
    const QList<GridSelection> mediaBefore = mediaOf(before);
    const QList<GridSelection> mediaAfter = mediaOf(m_items);

    if (isComparing()) {
        const auto reference = GridSelection::media(*m_compareReference);
        const auto candidate = GridSelection::media(*m_compareCandidate);
        if (!mediaAfter.contains(reference) || mediaAfter.size() < 2) {
            m_compareReference.reset();
            m_compareCandidate.reset();
            Q_EMIT compareChanged();
        } else if (!mediaAfter.contains(candidate)) {
            qsizetype at = std::max<qsizetype>(placeIn(mediaBefore, mediaBefore.indexOf(candidate), mediaAfter), 0);
            if (mediaAfter[at] == reference)
                at = (at + 1) % mediaAfter.size();
            m_compareCandidate = mediaAfter[at].id;
            Q_EMIT compareChanged();
        }
    }
    if (m_previewIndex) {
        const std::optional<int> index = m_previewIndex;
        const qsizetype at = placeIn(mediaBefore, *m_previewIndex, mediaAfter);
        m_previewIndex = at < 0 ? std::nullopt : std::optional<int>(int(at));
        if (m_previewIndex != index || previewedPairId() != previewedBefore)
            Q_EMIT previewChanged();
    }
    if (const auto previewed = previewedPairId()) {
        select(GridSelection::media(*previewed));
    } else if (m_selection && !m_items.contains(*m_selection)) {
        const qsizetype at = placeIn(before, before.indexOf(*m_selection), m_items);
        select(at < 0 ? std::nullopt : std::optional<GridSelection>(m_items[at]));
    }
}


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

bool GridCursor::stepTo(int by, const std::function<bool(const QUuid &)> &accept)
{
    const int first = firstMedia();
    const int n = mediaCount();
    if (n == 0 || by == 0)
        return false;
    const int direction = by > 0 ? 1 : -1;
    int at = m_previewIndex ? *m_previewIndex : selectionIndex() - first;
    // From a folder, the walk forward starts at the first pair and the walk back at the last.
    if (at < 0)
        at = direction > 0 ? -1 : 0;
    for (int steps = 1; steps <= n; ++steps) {
        const int index = ((at + direction * steps) % n + n) % n;
        if (!accept(m_items[first + index].id))
            continue;
        if (m_previewIndex) {
            m_previewIndex = index;
            Q_EMIT previewChanged();
        }
        keyboardSelect(m_items[first + index]);
        return true;
    }
    return false;
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

QList<QUuid> GridCursor::pairIds() const
{
    QList<QUuid> ids;
    for (qsizetype i = firstMedia(); i < m_items.size(); ++i)
        ids.append(m_items[i].id);
    return ids;
}

QList<QUuid> GridCursor::compareRing(const QUuid &reference) const
{
    QList<QUuid> ids = pairIds();
    if (!m_burstOf)
        return ids;
    const QList<QUuid> burst = m_burstOf(reference);
    QList<QUuid> shown;
    for (const QUuid &id : ids) {
        if (burst.contains(id))
            shown.append(id);
    }
    return shown.size() >= 2 && shown.contains(reference) ? shown : ids;
}

std::optional<QUuid> GridCursor::nextPair(const QList<QUuid> &ids, const QUuid &from, int by,
                                          const std::optional<QUuid> &passOver)
{
    const int n = int(ids.size());
    const int at = int(ids.indexOf(from));
    if (n < 2 || at < 0 || by == 0)
        return std::nullopt;
    int index = at;
    const int direction = by > 0 ? 1 : -1;
    for (int steps = std::abs(by); steps > 0;) {
        index = ((index + direction) % n + n) % n;
        if (!passOver || ids[index] != *passOver)
            --steps;
    }
    return ids[index];
}

void GridCursor::openCompare()
{
    const auto reference = previewedPairId() ? previewedPairId() : selectedPairId();
    if (!reference)
        return;
    const auto candidate = nextPair(compareRing(*reference), *reference, 1, std::nullopt);
    if (!candidate)
        return;
    closePreview();
    m_compareReference = reference;
    m_compareCandidate = candidate;
    Q_EMIT compareChanged();
}

void GridCursor::closeCompare()
{
    if (!isComparing())
        return;
    const auto candidate = m_compareCandidate;
    m_compareReference.reset();
    m_compareCandidate.reset();
    Q_EMIT compareChanged();
    if (candidate && m_items.contains(GridSelection::media(*candidate)))
        keyboardSelect(GridSelection::media(*candidate));
}

void GridCursor::compareMove(int by)
{
    if (!isComparing() || !m_compareCandidate)
        return;
    // A burst found since the view opened holds the candidate to it from the reference on.
    const QList<QUuid> ring = compareRing(*m_compareReference);
    const QUuid from = ring.contains(*m_compareCandidate) ? *m_compareCandidate : *m_compareReference;
    if (const auto next = nextPair(ring, from, by, m_compareReference); next && next != m_compareCandidate) {
        m_compareCandidate = next;
        Q_EMIT compareChanged();
    }
}

void GridCursor::compareSwap()
{
    if (!isComparing() || !m_compareCandidate)
        return;
    m_compareReference = m_compareCandidate;
    m_compareCandidate = nextPair(compareRing(*m_compareReference), *m_compareReference, 1, std::nullopt);
    Q_EMIT compareChanged();
}

void GridCursor::setGridColumns(int columns)
{
    if (columns == m_gridColumns)
        return;
    m_gridColumns = columns;
    Q_EMIT gridColumnsChanged();
}

} // namespace vorlane
