#include "model/app_model.h"

namespace vorlane {

AppModel::AppModel(QObject *parent, MachineInputs machine, CopyMarks::CopyFunction copy)
    : QObject(parent)
    , m_marks(std::make_unique<CopyMarks>(m_listing, std::move(machine), std::move(copy)))
    , m_discard(std::make_unique<DiscardRun>(m_listing, *m_marks, m_cursor))
{
    connect(&m_listing, &FolderListing::contentsChanged, this, [this] { m_cursor.setItems(m_listing.gridItems()); });
    connect(&m_listing, &FolderListing::listed, this, &AppModel::applyListing);
    connect(&m_listing, &FolderListing::loadingChanged, this, [this] {
        if (m_listing.isLoading())
            return;
        if (m_listing.loadError())
            m_marks->rebuild({}, {}); // a folder that cannot be read holds no cells, and so no marks
        Q_EMIT listingApplied();
    });
}

// The discard and the copy work go first: both post back to objects declared before them.
AppModel::~AppModel()
{
    m_discard.reset();
    m_marks.reset();
}

void AppModel::applyListing(const QSet<QUuid> &withCopy, const QSet<QUuid> &copyOfAnother,
                            const std::optional<GridSelection> &select)
{
    std::optional<GridSelection> selection = select;
    if (!selection && !m_cursor.items().isEmpty())
        selection = m_cursor.items().first();
    m_cursor.select(selection);
    m_marks->rebuild(withCopy, copyOfAnother);
}

void AppModel::openRoot(const Path &path, const std::optional<Path> &select) { m_listing.openRoot(path, select); }

void AppModel::navigate(const Path &path, const std::optional<Path> &select) { m_listing.navigate(path, select); }

void AppModel::goUp()
{
    if (m_listing.breadcrumb().size() < 2)
        return;
    m_cursor.closePreview();
    m_listing.goUp();
}

void AppModel::openSelectedFolder()
{
    if (const auto id = m_cursor.selectedFolderId()) {
        if (const FolderEntry *entry = m_listing.folder(*id))
            m_listing.navigate(entry->path);
    }
}

void AppModel::markCurrentAndAdvance(bool inPreview)
{
    const std::optional<QUuid> id = inPreview ? m_cursor.previewedPairId() : m_cursor.selectedPairId();
    if (!id || m_marks->isLocked(*id))
        return; // a cell whose originals are being moved can be neither marked nor unmarked
    const bool wasMarked = m_marks->marked().contains(*id);
    m_marks->toggle(*id);
    if (wasMarked)
        return;
    if (inPreview)
        m_cursor.previewMove(1);
    else
        m_cursor.step(1);
}

} // namespace vorlane
