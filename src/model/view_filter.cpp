#include "model/view_filter.h"

#include "model/burst_groups.h"
#include "model/copy_marks.h"
#include "model/decisions.h"
#include "model/folder_listing.h"
#include "model/grid_cursor.h"
#include "model/view_settings.h"

#include <algorithm>

namespace vorlane {

ViewFilter::ViewFilter(FolderListing &listing, const CopyMarks &marks, const ViewSettings &settings,
                       const BurstGroups &bursts, const Decisions &decisions, GridCursor &cursor, QObject *parent)
    : QObject(parent)
    , m_listing(listing)
    , m_marks(marks)
    , m_settings(settings)
    , m_bursts(bursts)
    , m_decisions(decisions)
    , m_cursor(cursor)
{
    connect(&decisions, &Decisions::changed, this, [this] {
        if (m_criteria.minStars > 0 || m_criteria.label)
            update();
    });
    connect(&bursts, &BurstGroups::changed, this, [this] {
        if (m_collapsed)
            update();
    });
    connect(&listing, &FolderListing::contentsChanged, this, &ViewFilter::update);
    connect(&settings, &ViewSettings::changed, this, &ViewFilter::update);
    connect(&marks, &CopyMarks::marksChanged, this, [this] {
        if (m_settings.folderView() != ViewSettings::FolderView::All)
            update();
    });
}

void ViewFilter::setCriteria(const Criteria &criteria)
{
    if (criteria == m_criteria)
        return;
    m_criteria = criteria;
    update();
}

bool ViewFilter::passes(const MediaPair &pair) const
{
    const ViewSettings::FolderView view = m_settings.folderView();
    if (view != ViewSettings::FolderView::All
        && m_marks.marked().contains(pair.id()) != (view == ViewSettings::FolderView::Marked))
        return false;
    if (m_criteria.isEmpty())
        return true;
    const Decision decision = m_decisions.of(pair.id());
    if (m_criteria.minStars > 0 && decision.rating < m_criteria.minStars)
        return false;
    if (m_criteria.label && decision.label != *m_criteria.label)
        return false;
    const StillFacts &facts = pair.picturedItem().facts;
    return (m_criteria.camera.isEmpty() || facts.camera == m_criteria.camera)
        && (m_criteria.lens.isEmpty() || facts.lens == m_criteria.lens);
}

void ViewFilter::update()
{
    QList<MediaPair> shown;
    for (const MediaPair &pair : m_listing.pairs()) {
        if (passes(pair))
            shown.append(pair);
    }
    const bool sameListing = m_generation == m_listing.generation();
    if (!sameListing)
        m_expanded.clear();
    const QHash<QUuid, QList<QUuid>> framesBefore = m_framesOf;
    if (m_collapsed) {
        shown = folded(shown);
    } else {
        m_framesOf.clear();
        m_foldedInto.clear();
    }
    if (sameListing && shown == m_shown) {
        if (m_framesOf != framesBefore)
            Q_EMIT changed();
        return;
    }
    const std::optional<QUuid> selected = m_cursor.selectedPairId();
    m_shown = std::move(shown);
    m_generation = m_listing.generation();
    QList<GridSelection> items;
    items.reserve(m_listing.folders().size() + m_shown.size());
    for (const FolderEntry &folder : m_listing.folders())
        items.append(GridSelection::folder(folder.id));
    for (const MediaPair &pair : m_shown)
        items.append(GridSelection::media(pair.id()));
    // Within one listing the user's place is kept; a new listing says itself what to select.
    m_cursor.setItems(std::move(items), sameListing);
    if (sameListing && selected && m_foldedInto.contains(*selected))
        m_cursor.select(GridSelection::media(m_foldedInto.value(*selected)));
    Q_EMIT changed();
}

QList<MediaPair> ViewFilter::folded(const QList<MediaPair> &pairs)
{
    m_framesOf.clear();
    m_foldedInto.clear();
    QHash<QUuid, qsizetype> indexOf;
    for (qsizetype i = 0; i < pairs.size(); ++i)
        indexOf.insert(pairs[i].id(), i);
    QList<MediaPair> out;
    out.reserve(pairs.size());
    QSet<QUuid> done; // frames of bursts already folded
    for (const MediaPair &pair : pairs) {
        if (done.contains(pair.id()))
            continue;
        const QList<QUuid> members = m_bursts.membersOf(pair.id());
        QList<QUuid> frames;
        for (const QUuid &id : members) {
            if (indexOf.contains(id))
                frames.append(id);
        }
        const bool whole = std::any_of(members.begin(), members.end(), [&](const QUuid &id) { return m_expanded.contains(id); });
        if (frames.size() < 2 || whole) {
            out.append(pair);
            continue;
        }
        QUuid standing = frames.first();
        for (const QUuid &id : frames) {
            const auto place = m_bursts.placeOf(id);
            if (place && place->best)
                standing = id;
        }
        for (const QUuid &id : frames) {
            done.insert(id);
            if (id != standing)
                m_foldedInto.insert(id, standing);
        }
        m_framesOf.insert(standing, frames);
        // The standing cell takes the place of the burst's first frame shown: the bursts keep their order.
        out.append(pairs[indexOf.value(standing)]);
    }
    return out;
}

void ViewFilter::setBurstsCollapsed(bool collapsed)
{
    if (collapsed == m_collapsed)
        return;
    m_collapsed = collapsed;
    m_expanded.clear();
    update();
}

bool ViewFilter::expand(const QUuid &cell)
{
    if (!m_framesOf.contains(cell))
        return false;
    for (const QUuid &id : m_bursts.membersOf(cell))
        m_expanded.insert(id);
    update();
    return true;
}

bool ViewFilter::collapse(const QUuid &cell)
{
    const QList<QUuid> members = m_bursts.membersOf(cell);
    if (!m_collapsed || !std::any_of(members.begin(), members.end(), [&](const QUuid &id) { return m_expanded.contains(id); }))
        return false;
    for (const QUuid &id : members)
        m_expanded.remove(id);
    update();
    return true;
}

} // namespace vorlane
