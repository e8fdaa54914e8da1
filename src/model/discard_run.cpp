#include "model/discard_run.h"

#include "catalogue/copy_provenance.h"
#include "catalogue/sidecar.h"
#include "model/copy_marks.h"
#include "model/folder_listing.h"
#include "model/grid_cursor.h"
#include "core/main_thread.h"
#include "model/trash_service.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>

namespace vorlane {
namespace {

// A copy is there when a non-empty regular file stands at its path.
bool copyIsPresent(const std::filesystem::path &copy)
{
    struct stat st
    {
    };
    return ::stat(copy.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

QString nameOf(const std::filesystem::path &file) { return QString::fromUtf8(file.filename().native()); }

// Whether a file is still the one a listing saw: the same size and modification time, a regular file.
bool unchangedSinceListed(const MediaItem &item)
{
    struct stat st
    {
    };
    if (::lstat(item.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const int64_t modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return int64_t(st.st_size) == item.bytes && modifiedNs == item.modifiedNs;
}

const QString kRunKey = QStringLiteral("discard");

} // namespace

DiscardRun::DiscardRun(FolderListing &listing, CopyMarks &marks, GridCursor &cursor, QObject *parent)
    : QObject(parent)
    , m_listing(listing)
    , m_marks(marks)
    , m_cursor(cursor)
    , m_jobs(QStringLiteral("discard"), 1, 0)
{
}

// A run still reading originals stops at once (the runner stops what it runs): what moved stays moved.
DiscardRun::~DiscardRun() = default;

void DiscardRun::clearLastResult() { setResult(std::nullopt); }

void DiscardRun::setResult(std::optional<QString> result)
{
    if (m_lastResult == result)
        return;
    m_lastResult = std::move(result);
    Q_EMIT resultChanged();
}

int DiscardRun::discardableCount() const
{
    int n = 0;
    for (const MediaPair &p : m_listing.pairs()) {
        if (m_marks.marked().contains(p.id()) && m_marks.isCompleted(p.id()) && p.copyPath())
            ++n;
    }
    return n;
}

QList<DiscardRun::Broken> DiscardRun::brokenOriginals() const
{
    QList<Broken> broken;
    for (const MediaPair &p : m_listing.pairs()) {
        const auto reason = m_marks.undecodable().constFind(p.id());
        if (reason == m_marks.undecodable().constEnd() || !m_marks.marked().contains(p.id()))
            continue;
        broken.append(Broken{p.id(), p.originalPaths(), *reason});
    }
    return broken;
}

void DiscardRun::cancel()
{
    m_jobs.stop(kRunKey);
}

QList<DiscardRun::Target> DiscardRun::targetsFor(const QSet<QUuid> &consented, int *unfinished,
                                                 int *failedCopies) const
{
    QList<Target> targets;
    for (const MediaPair &p : m_listing.pairs()) {
        if (!m_marks.marked().contains(p.id()))
            continue;
        if (consented.contains(p.id()) && m_marks.undecodable().contains(p.id())) {
            targets.append(Target{p.id(), p.originalPaths(), {}, p.allOriginals()});
            continue;
        }
        if (!m_marks.isCompleted(p.id()) || !p.copyPath()) {
            const auto status = m_marks.status(p.id());
            ++*(status && status->kind() == BsideJobStatus::Case::Failed ? failedCopies : unfinished);
            continue;
        }
        // The cell's own copy, never one another could claim.
        targets.append(Target{p.id(), p.originalPaths(), *p.copyPath(), {}});
    }
    return targets;
}

QString DiscardRun::skippedText(int unfinished, int failedCopies)
{
    const int cells = unfinished + failedCopies;
    if (cells == 0)
        return {};
    if (failedCopies == 0)
        return tr("Skipped %n marked cell(s): copies not finished %1", nullptr, cells).arg(unfinished);
    if (unfinished == 0)
        return tr("Skipped %n marked cell(s): copies failed %1", nullptr, cells).arg(failedCopies);
    return tr("Skipped %n marked cell(s): copies not finished %1, copies failed %2", nullptr, cells)
        .arg(unfinished)
        .arg(failedCopies);
}

DiscardRun::Outcome DiscardRun::discardCell(const Target &target, const Refusals &why, const std::stop_token &token,
                                            const std::function<void(int64_t)> &onBytes)
{
    Outcome outcome{target.cellId, target.originals, {}, {}, 0, {}, {}};
    const auto refuse = [&](const QString &reason) {
        for (const auto &original : target.originals)
            outcome.failed.append({original, reason});
        return outcome;
    };
    if (target.copy.empty()) {
        // A broken original the user agreed to discard without a copy: only the very files listed.
        if (!std::all_of(target.listed.begin(), target.listed.end(), unchangedSinceListed))
            return refuse(why.changedSinceFailure);
    } else {
        if (token.stop_requested())
            return refuse(why.stopped);
        // The copy may have gone since it was made (deleted by hand, a card swapped): then none of the cell's
        // originals move. And it must be theirs, checked against every byte of them: a copy that names other
        // files (the original was replaced by a new photo of the same name, or rewritten since) keeps every
        // original where it is.
        const CopyProvenance::Verdict verdict = copyIsPresent(target.copy)
            ? CopyProvenance::verify(target.copy, target.originals, token, onBytes)
            : CopyProvenance::Verdict::Absent;
        if (verdict == CopyProvenance::Verdict::Absent)
            return refuse(why.missingCopy);
        if (token.stop_requested())
            return refuse(why.stopped);
        if (verdict == CopyProvenance::Verdict::Unknown)
            return refuse(why.unreadable);
        if (verdict == CopyProvenance::Verdict::Another)
            return refuse(CopyProvenance::judge(target.copy, target.originals) == CopyProvenance::Verdict::Own
                              ? why.changedSinceCopy
                              : why.anotherFilesCopy);
    }
    TrashService::TrashResult result = TrashService::trash(target.originals);
    for (const TrashService::Trashed &moved : result.done)
        outcome.movedBytes += moved.identity.size;
    outcome.moved = std::move(result.done);
    outcome.failed = std::move(result.failed);
    // Each original moved takes its own NAME.EXT.xmp along; one that stayed keeps its own.
    QList<std::filesystem::path> sidecars;
    for (const TrashService::Trashed &moved : outcome.moved) {
        if (const auto sidecar = Sidecars::ownSidecar(moved.original); isRegularFile(sidecar))
            sidecars.append(sidecar);
    }
    moveSidecars(outcome, sidecars);
    return outcome;
}

bool DiscardRun::isRegularFile(const std::filesystem::path &path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec));
}

void DiscardRun::moveSidecars(Outcome &outcome, const QList<std::filesystem::path> &sidecars)
{
    if (sidecars.isEmpty())
        return;
    TrashService::TrashResult result = TrashService::trash(sidecars);
    outcome.sidecars += result.done;
    outcome.sidecarsLeft += result.failed;
}

void DiscardRun::moveStemSidecars(QList<Outcome> &outcomes, const std::set<std::filesystem::path> &remainingStems)
{
    // A RAW's STEM.xmp goes only with the last cell of that stem: never while a cell that keeps it stays.
    std::set<std::filesystem::path> kept = remainingStems;
    for (const Outcome &outcome : outcomes) {
        if (!outcome.failed.isEmpty())
            for (const auto &original : outcome.originals)
                kept.insert(Sidecars::stemSidecar(original));
    }
    for (Outcome &outcome : outcomes) {
        if (!outcome.failed.isEmpty() || outcome.moved.isEmpty())
            continue;
        QList<std::filesystem::path> stems;
        for (const auto &original : outcome.originals) {
            const auto stem = Sidecars::stemSidecar(original);
            if (!kept.contains(stem) && !stems.contains(stem) && isRegularFile(stem))
                stems.append(stem);
        }
        moveSidecars(outcome, stems);
        kept.insert(stems.begin(), stems.end()); // moved once
    }
}

void DiscardRun::start(const QSet<QUuid> &consented)
{
    if (m_isTrashing)
        return;
    int unfinished = 0;
    int failedCopies = 0;
    QList<Target> targets = targetsFor(consented, &unfinished, &failedCopies);
    const QString skipped = skippedText(unfinished, failedCopies);
    if (targets.isEmpty()) {
        if (!skipped.isEmpty())
            setResult(tr("No originals to discard") + u'\n' + skipped);
        return;
    }
    std::set<std::filesystem::path> originals;
    std::set<std::filesystem::path> remainingStems;
    for (const MediaPair &p : m_listing.pairs()) {
        if (std::none_of(targets.cbegin(), targets.cend(), [&](const Target &t) { return t.cellId == p.id(); }))
            for (const MediaItem &item : p.allOriginals())
                remainingStems.insert(Sidecars::stemSidecar(item.path));
    }
    m_toCheck = 0;
    for (const Target &target : targets) {
        originals.insert(target.originals.begin(), target.originals.end());
        for (const auto &original : target.originals) {
            std::error_code ec;
            const auto bytes = target.copy.empty() ? 0 : std::filesystem::file_size(original, ec);
            m_toCheck += ec ? 0 : int64_t(bytes);
        }
    }
    m_marks.lock(originals);
    m_isTrashing = true;
    m_checked = 0;
    m_runGeneration = m_listing.generation();
    m_runFolder = m_listing.currentPath().value_or(std::filesystem::path());
    Q_EMIT trashingChanged();

    const QPointer<DiscardRun> self(this);
    const Refusals why{tr("its copy no longer exists"),         tr("the copy belongs to another photo"),
                       tr("it changed since its copy failed"),  tr("it changed since its copy was made"),
                       tr("it cannot be read right now"),       tr("the discard was stopped")};
    m_jobs.start(kRunKey, this, [self, targets = std::move(targets), why, remainingStems](const std::stop_token &token) {
        // Progress goes to the window every few megabytes read.
        int64_t checked = 0;
        int64_t told = 0;
        const auto onBytes = [&](int64_t n) {
            checked += n;
            if (checked - told < (8 << 20))
                return;
            told = checked;
            postToMain(self, [checked](DiscardRun &run) {
                run.m_checked = checked;
                Q_EMIT run.progressChanged();
            });
        };
        QList<Outcome> outcomes;
        for (const Target &target : targets)
            outcomes.append(discardCell(target, why, token, onBytes));
        moveStemSidecars(outcomes, remainingStems);
        return outcomes;
    }, [skipped](DiscardRun &run, const QList<Outcome> &outcomes, bool) { run.apply(outcomes, skipped); });
}

void DiscardRun::apply(const QList<Outcome> &outcomes, const QString &skipped)
{
    int trashed = 0;
    int failed = 0;
    QStringList reasons;
    QList<TrashService::Trashed> movedEntries;
    for (const Outcome &outcome : outcomes) {
        m_marks.unlock(outcome.originals);
        movedEntries += outcome.moved;
        movedEntries += outcome.sidecars; // Ctrl+Z brings them back with their originals
        for (const auto &[file, reason] : outcome.sidecarsLeft)
            reasons << tr("%1 (a sidecar whose original went to the Trash): %2").arg(nameOf(file), reason);
        trashed += int(outcome.moved.size());
        failed += int(outcome.failed.size());
        for (const auto &[file, reason] : outcome.failed)
            reasons << tr("%1: %2").arg(nameOf(file), reason);
    }
    updateListing(outcomes);

    m_isTrashing = false;
    Q_EMIT trashingChanged();
    QString message = failed > 0 ? tr("Discarded %n file(s), %1 failed", nullptr, trashed).arg(failed)
                                 : tr("Discarded %n file(s)", nullptr, trashed);
    if (!reasons.isEmpty()) {
        message += u'\n'
            + (reasons.size() > 1 ? tr("Not moved to the Trash: %1 and %n more", nullptr, int(reasons.size()) - 1)
                                        .arg(reasons.first())
                                  : tr("Not moved to the Trash: %1").arg(reasons.first()));
    }
    if (!skipped.isEmpty())
        message += u'\n' + skipped;
    setResult(message);
    if (!movedEntries.isEmpty())
        Q_EMIT movedToTrash(movedEntries);
    Q_EMIT finished();
}

void DiscardRun::updateListing(const QList<Outcome> &outcomes)
{
    if (m_listing.generation() != m_runGeneration || m_listing.isLoading()) {
        // Listed again (or being listed) while files moved: the cells of that listing may show files that have
        // gone since, so the folder is listed once more, keeping the selection where it can.
        if (m_listing.currentPath() && *m_listing.currentPath() == m_runFolder) {
            std::optional<std::filesystem::path> keep;
            if (const auto selection = m_cursor.selection(); selection && selection->kind == GridSelection::Kind::Media) {
                if (const auto cell = m_listing.pair(selection->id))
                    keep = cell->primary().path;
            }
            m_listing.navigate(m_runFolder, keep);
        }
        return;
    }
    QList<MediaPair> pairs = m_listing.pairs();
    // The cursor keeps its place as the cells go (the one after a cell gone takes its place); a cell that kept
    // some of its files stays selected under its new identity.
    const std::optional<QUuid> selected = m_cursor.selectedPairId();
    std::optional<QUuid> selectRest;
    int64_t movedBytes = 0;
    for (const Outcome &outcome : outcomes) {
        movedBytes += outcome.movedBytes;
        QList<std::filesystem::path> movedPaths;
        for (const TrashService::Trashed &moved : outcome.moved)
            movedPaths.append(moved.original);
        const qsizetype index
            = std::find_if(pairs.cbegin(), pairs.cend(), [&](const MediaPair &p) { return p.id() == outcome.cellId; })
            - pairs.cbegin();
        if (outcome.failed.isEmpty() || index == pairs.size()) {
            // Every original moved: the cell leaves the grid with its mark and state.
            m_marks.forget(outcome.cellId);
            if (index < pairs.size())
                pairs.removeAt(index);
            continue;
        }
        if (outcome.moved.isEmpty())
            continue; // nothing moved: the cell stays as it was, marked, ready for the next press
        // Part of a RAW+image pair moved: what stayed is a cell of its own, still marked, with the same copy.
        const MediaPair &before = pairs[index];
        QList<MediaItem> left;
        for (const MediaItem &item : before.allOriginals()) {
            if (!movedPaths.contains(item.path))
                left.append(item);
        }
        MediaPair rest(left.first());
        rest.setCopyPath(before.copyPath());
        m_marks.carryOver(outcome.cellId, rest.id());
        if (selected == outcome.cellId)
            selectRest = rest.id();
        pairs[index] = std::move(rest);
    }

    m_listing.replacePairs(std::move(pairs), movedBytes);
    if (selectRest && m_cursor.items().contains(GridSelection::media(*selectRest)))
        m_cursor.select(GridSelection::media(*selectRest));
}

void DiscardRun::undo(const QList<TrashService::Trashed> &entries)
{
    if (m_isTrashing || entries.isEmpty())
        return;
    m_isTrashing = true;
    Q_EMIT trashingChanged();
    m_jobs.run(this, [entries] { return TrashService::restore(entries); },
               [](DiscardRun &run, const TrashService::RestoreResult &result) { run.applyUndo(result); });
}

void DiscardRun::applyUndo(const TrashService::RestoreResult &result)
{
    m_isTrashing = false;
    Q_EMIT trashingChanged();
    // The originals are counted, as the discard counted them; a sidecar that came back with one is not.
    const int done = int(std::count_if(result.done.begin(), result.done.end(), [](const std::filesystem::path &p) {
        return QString::fromStdString(p.extension().string()).compare(u".xmp", Qt::CaseInsensitive) != 0;
    }));
    const int failed = int(result.failed.size());
    QString message = tr("Put back %n file(s)", nullptr, done);
    if (failed > 0) {
        const QString first = tr("%1: %2").arg(nameOf(result.failed.first().first), result.failed.first().second);
        message = tr("Put back %n file(s), %1 not", nullptr, done).arg(failed) + u'\n'
            + (failed > 1 ? tr("%1 and %n more", nullptr, failed - 1).arg(first) : first);
    }
    setResult(message);
    // The originals are back beside their copies: listing the folder again brings back their cells and marks.
    const auto &current = m_listing.currentPath();
    const auto here = std::find_if(result.done.begin(), result.done.end(),
                                   [&](const std::filesystem::path &file) { return current && file.parent_path() == *current; });
    if (here != result.done.end())
        m_listing.navigate(*current, *here);
    Q_EMIT finished();
}

} // namespace vorlane
