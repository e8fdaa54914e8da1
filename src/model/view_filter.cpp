#include "model/view_filter.h"

#include "model/copy_marks.h"
#include "model/folder_listing.h"
#include "model/grid_cursor.h"
#include "model/view_settings.h"

namespace vorlane {

ViewFilter::ViewFilter(FolderListing &listing, const CopyMarks &marks, const ViewSettings &settings,
                       GridCursor &cursor, QObject *parent)
    : QObject(parent)
    , m_listing(listing)
    , m_marks(marks)
    , m_settings(settings)
    , m_cursor(cursor)
{
    connect(&listing, &FolderListing::contentsChanged, this, &ViewFilter::update);
    connect(&settings, &ViewSettings::changed, this, &ViewFilter::update);
    connect(&marks, &CopyMarks::marksChanged, this, [this] {
        if (m_settings.folderView() != ViewSettings::FolderView::All)
            update();
    });
}

void ViewFilter::update()
{
    const ViewSettings::FolderView view = m_settings.folderView();
    QList<MediaPair> shown;
    if (view == ViewSettings::FolderView::All) {
        shown = m_listing.pairs();
    } else {
        const bool wantMarked = view == ViewSettings::FolderView::Marked;
        for (const MediaPair &pair : m_listing.pairs()) {
            if (m_marks.marked().contains(pair.id()) == wantMarked)
                shown.append(pair);
        }
    }
    const bool sameListing = m_generation == m_listing.generation();
    if (sameListing && shown == m_shown)
        return;
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
    Q_EMIT changed();
}

} // namespace vorlane
