#include "model/app_model.h"

namespace vorlane {

AppModel::AppModel(QObject *parent, MachineInputs machine, CopyMarks::CopyFunction copy,
                   BurstGroups::Analyse analyse)
    : QObject(parent)
    , m_marks(std::make_unique<CopyMarks>(m_listing, std::move(machine), std::move(copy)))
    , m_discard(std::make_unique<DiscardRun>(m_listing, *m_marks, m_cursor))
    , m_bursts(std::make_unique<BurstGroups>(m_listing, std::move(analyse)))
    , m_decisions(std::make_unique<Decisions>(m_listing))
    , m_undo(std::make_unique<UndoStack>(*m_marks, *m_discard, *m_decisions))
    , m_shown(std::make_unique<ViewFilter>(m_listing, *m_marks, m_settings, *m_bursts, *m_decisions, m_cursor))
{
    m_cursor.setBurstOf([this](const QUuid &id) { return m_bursts ? m_bursts->membersOf(id) : QList<QUuid>(); });
    connect(m_undo.get(), &UndoStack::changed, this, &AppModel::undoableChanged);
    connect(m_undo.get(), &UndoStack::notice, this, &AppModel::notice);
    connect(m_marks.get(), &CopyMarks::notice, this, &AppModel::notice);
    connect(m_decisions.get(), &Decisions::notice, this, &AppModel::notice);
    connect(m_shown.get(), &ViewFilter::changed, this, &AppModel::shownChanged);
    connect(&m_listing, &FolderListing::listed, this, &AppModel::applyListing);
    connect(&m_listing, &FolderListing::loadingChanged, this, [this] {
        if (m_listing.isLoading())
            return;
        if (m_listing.loadError())
            m_marks->rebuild({}); // a folder that cannot be read holds no cells, and so no marks
        Q_EMIT listingApplied();
    });
}

// The discard and the copy work go first: both post back to objects declared before them.
AppModel::~AppModel()
{
    m_shown.reset();
    m_undo.reset();
    m_decisions.reset();
    m_bursts.reset();
    m_discard.reset();
    m_marks.reset();
}

void AppModel::applyListing(const CopyFindings &copies, const std::optional<GridSelection> &select)
{
    m_cursor.closeCompare(); // its cells were the last listing's
    // The marks first: a filtered view shows its cells only once it knows which are marked.
    m_marks->rebuild(copies);
    std::optional<GridSelection> selection = select;
    if (selection && !m_cursor.items().contains(*selection))
        selection.reset(); // a cell the view does not show
    if (!selection && !m_cursor.items().isEmpty())
        selection = m_cursor.items().first();
    m_cursor.select(selection);
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
    // A mark moves on first: in the unmarked view the cell then leaves from behind the cursor.
    if (!m_marks->marked().contains(*id)) {
        if (inPreview)
            m_cursor.previewMove(1);
        else
            m_cursor.step(1);
    }
    m_marks->toggle(*id);
}

void AppModel::rateCurrent(int stars, bool inPreview, const std::optional<QUuid> &cell)
{
    const std::optional<QUuid> id = cell ? cell : inPreview ? m_cursor.previewedPairId() : m_cursor.selectedPairId();
    if (const auto pair = id ? m_listing.pair(*id) : std::nullopt)
        m_decisions->change(*pair, {stars, std::nullopt});
}

void AppModel::labelCurrent(ColourLabel label, bool inPreview, const std::optional<QUuid> &cell)
{
    const std::optional<QUuid> id = cell ? cell : inPreview ? m_cursor.previewedPairId() : m_cursor.selectedPairId();
    if (const auto pair = id ? m_listing.pair(*id) : std::nullopt) {
        const bool same = m_decisions->expected(*id).label == label;
        m_decisions->change(*pair, {std::nullopt, same ? ColourLabel::None : label});
    }
}

void AppModel::moveToUnmarked(int by)
{
    const bool found = m_cursor.stepTo(by, [this](const QUuid &id) { return !m_marks->marked().contains(id); });
    if (!found)
        Q_EMIT notice(tr("Every cell here is marked"));
}

void AppModel::discardOriginals()
{
    if (m_discard->isTrashing())
        return;
    const QList<DiscardRun::Broken> broken = m_discard->brokenOriginals();
    if (broken.isEmpty() || !m_consent) {
        m_discard->start();
        return;
    }
    switch (m_consent(broken, m_discard->discardableCount())) {
    case Consent::Cancel:
        return;
    case Consent::OnlyCopied:
        m_discard->start();
        return;
    case Consent::AlsoBroken: {
        // Exactly the cells the question listed: a copy that failed while it was open waits for the next press.
        QSet<QUuid> shown;
        for (const DiscardRun::Broken &cell : broken)
            shown.insert(cell.cellId);
        m_discard->start(shown);
        return;
    }
    }
}

void AppModel::markCandidateAndAdvance()
{
    const std::optional<QUuid> id = m_cursor.compareCandidate();
    if (!id || m_marks->isLocked(*id))
        return;
    if (!m_marks->marked().contains(*id))
        m_cursor.compareMove(1);
    m_marks->toggle(*id);
}

void AppModel::keepBest(bool inPreview, const std::optional<QUuid> &cell)
{
    const std::optional<QUuid> id = cell ? cell : inPreview ? m_cursor.previewedPairId() : m_cursor.selectedPairId();
    if (!id)
        return;
    const QList<QUuid> members = m_bursts->membersOf(*id);
    const std::optional<MediaPair> kept = m_listing.pair(*id);
    if (members.isEmpty() || !kept) {
        Q_EMIT notice(tr("This photo is not in a burst"));
        return;
    }
    // The frame kept is unmarked first: in the marked view it then leaves from under the cursor, as a mark
    // in the unmarked view does.
    const bool keptWasMarked = m_marks->marked().contains(*id) && !m_marks->isLocked(*id);
    if (keptWasMarked)
        m_marks->toggle(*id);
    QList<QUuid> others = members;
    others.removeAll(*id);
    UndoStack::KeepBatch batch{*kept, keptWasMarked && !m_marks->marked().contains(*id), {}};
    for (const QUuid &marked : m_marks->markMany(others)) {
        if (const auto pair = m_listing.pair(marked))
            batch.marked.append(*pair);
    }
    if (batch.marked.isEmpty() && !batch.keptWasMarked) {
        Q_EMIT notice(tr("The rest of this burst is marked already"));
        return;
    }
    const int count = int(batch.marked.size());
    const bool unmarkedKept = batch.keptWasMarked;
    m_undo->push(std::move(batch));
    Q_EMIT notice(unmarkedKept
                      ? tr("Kept this one and unmarked it: marked the other %n of its burst (Ctrl+Z undoes)", nullptr, count)
                      : tr("Kept this one: marked the other %n of its burst (Ctrl+Z undoes)", nullptr, count));
}

void AppModel::toggleBurstsCollapsed()
{
    if (const auto selected = m_cursor.selectedPairId(); selected && m_shown->collapse(*selected))
        return;
    m_shown->setBurstsCollapsed(!m_shown->burstsCollapsed());
}

void AppModel::openCompare()
{
    const auto reference = m_cursor.previewedPairId() ? m_cursor.previewedPairId() : m_cursor.selectedPairId();
    if (reference)
        m_shown->expand(*reference);
    m_cursor.openCompare();
}

bool AppModel::expandSelectedBurst()
{
    const auto selected = m_cursor.selectedPairId();
    return selected && m_shown->expand(*selected);
}

} // namespace vorlane
