// Discarding: moving the originals of marked cells with complete copies to the Trash.
#include "model/app_model.h"

#include "model/main_thread.h"
#include "model/trash_service.h"

#include <sys/stat.h>

namespace vorlane {
namespace {

// A copy is there when a non-empty regular file stands at its path.
bool copyIsPresent(const std::filesystem::path &copy)
{
    struct stat st {};
    return ::stat(copy.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

int64_t sizeOf(const std::filesystem::path &file)
{
    struct stat st {};
    return ::lstat(file.c_str(), &st) == 0 ? int64_t(st.st_size) : 0;
}

struct DiscardTarget
{
    QUuid cellId;
    QList<std::filesystem::path> originals;
    std::filesystem::path copy;
};

bool isCompleted(const QHash<QUuid, BsideJobStatus> &statuses, const QUuid &id)
{
    const auto it = statuses.constFind(id);
    return it != statuses.constEnd() && it->kind() == BsideJobStatus::Case::Completed;
}

QString name(const std::filesystem::path &file) { return QString::fromUtf8(file.filename().native()); }

} // namespace

int AppModel::discardableCount() const
{
    int n = 0;
    for (const MediaPair &p : m_pairs) {
        if (m_markedPairIds.contains(p.id()) && isCompleted(m_jobStatus, p.id()) && p.copyPath())
            ++n;
    }
    return n;
}

void AppModel::discardOriginals()
{
    if (m_isTrashing)
        return;
    QList<DiscardTarget> targets;
    int unfinished = 0;
    int failedCopies = 0;
    for (const MediaPair &p : m_pairs) {
        if (!m_markedPairIds.contains(p.id()))
            continue;
        if (!isCompleted(m_jobStatus, p.id()) || !p.copyPath()) {
            const auto it = m_jobStatus.constFind(p.id());
            if (it != m_jobStatus.constEnd() && it->kind() == BsideJobStatus::Case::Failed)
                ++failedCopies;
            else
                ++unfinished;
            continue;
        }
        DiscardTarget target{p.id(), {}, *p.copyPath()}; // the cell's own copy, never one another could claim
        for (const MediaItem &item : p.allOriginals())
            target.originals.append(item.path);
        targets.append(std::move(target));
    }

    // Marked cells a press leaves alone, and why.
    QString skipped;
    if (unfinished + failedCopies > 0) {
        QStringList why;
        if (unfinished > 0)
            why << QStringLiteral("副本未完成 ") + QString::number(unfinished);
        if (failedCopies > 0)
            why << QStringLiteral("副本失败 ") + QString::number(failedCopies);
        skipped = QStringLiteral("跳过 ") + QString::number(unfinished + failedCopies) + QStringLiteral(" 个已标记项：")
            + why.join(QStringLiteral("，"));
    }
    if (targets.isEmpty()) {
        if (!skipped.isEmpty())
            set(m_lastTrashResult, std::optional<QString>(QStringLiteral("没有可丢弃的原片\n") + skipped),
                Field::LastTrashResult);
        return;
    }
    QSet<QUuid> discarding = m_discarding;
    for (const DiscardTarget &target : targets)
        discarding.insert(target.cellId);
    m_discarding = std::move(discarding);
    set(m_isTrashing, true, Field::IsTrashing);

    // The moves run on the discard thread so a large discard never freezes the window; the result is
    // applied on the main thread in one go.
    const QPointer<AppModel> self(this);
    m_discardPool.start([self, targets = std::move(targets), skipped] {
        QList<DiscardOutcome> outcomes;
        for (const DiscardTarget &target : targets) {
            DiscardOutcome outcome{target.cellId, {}, {}, 0};
            // The copy may have gone since it was made (deleted by hand, a card swapped): then none of the
            // cell's originals move.
            if (!copyIsPresent(target.copy)) {
                for (const auto &original : target.originals)
                    outcome.failed.append({original, QStringLiteral("它的副本已不存在")});
                outcomes.append(std::move(outcome));
                continue;
            }
            QHash<QString, int64_t> sizes;
            for (const auto &original : target.originals)
                sizes.insert(QString::fromUtf8(original.native()), sizeOf(original));
            TrashService::Result result = TrashService::trash(target.originals);
            for (const auto &moved : result.trashed)
                outcome.movedBytes += sizes.value(QString::fromUtf8(moved.native()));
            outcome.moved = std::move(result.trashed);
            outcome.failed = std::move(result.failed);
            outcomes.append(std::move(outcome));
        }
        postToMain(self, [outcomes, skipped](AppModel &model) { model.applyDiscard(outcomes, skipped); });
    });
}

void AppModel::applyDiscard(const QList<DiscardOutcome> &outcomes, const QString &skipped)
{
    QSet<QUuid> marked = m_markedPairIds;
    QHash<QUuid, BsideJobStatus> statuses = m_jobStatus;
    QSet<QUuid> failedIds = m_failedPairIds;
    QSet<QUuid> restored = m_restoredCompleted;
    QList<MediaPair> pairs = m_pairs;
    std::optional<GridSelection> selection = m_selection;
    bool selectionGone = false;
    int trashed = 0;
    int failed = 0;
    int64_t movedBytes = 0;
    QStringList reasons;

    for (const DiscardOutcome &outcome : outcomes) {
        m_discarding.remove(outcome.cellId);
        trashed += int(outcome.moved.size());
        failed += int(outcome.failed.size());
        movedBytes += outcome.movedBytes;
        for (const auto &[file, reason] : outcome.failed)
            reasons << name(file) + QStringLiteral("：") + reason;
        const qsizetype index = std::find_if(pairs.cbegin(), pairs.cend(), [&](const MediaPair &p) {
                                    return p.id() == outcome.cellId;
                                }) - pairs.cbegin();
        if (outcome.failed.isEmpty() || index == pairs.size()) {
            // Every original moved: the cell leaves the grid with its mark and state.
            marked.remove(outcome.cellId);
            statuses.remove(outcome.cellId);
            failedIds.remove(outcome.cellId);
            restored.remove(outcome.cellId);
            if (index < pairs.size())
                pairs.removeAt(index);
            selectionGone = selectionGone || (selection && selection->id == outcome.cellId);
            continue;
        }
        if (outcome.moved.isEmpty())
            continue; // nothing moved: the cell stays as it was, marked, ready for the next press
        // Part of a RAW+image pair moved: what stayed is a cell of its own, still marked, with the same copy.
        const MediaPair &before = pairs[index];
        QList<MediaItem> left;
        for (const MediaItem &item : before.allOriginals()) {
            if (!outcome.moved.contains(item.path))
                left.append(item);
        }
        MediaPair rest(left.first());
        rest.setCopyPath(before.copyPath());
        for (auto *ids : {&marked, &restored}) {
            if (ids->remove(outcome.cellId))
                ids->insert(rest.id());
        }
        if (const auto status = statuses.constFind(outcome.cellId); status != statuses.constEnd()) {
            const BsideJobStatus kept = *status;
            statuses.remove(outcome.cellId);
            statuses.insert(rest.id(), kept);
        }
        if (selection && selection->id == outcome.cellId)
            selection = GridSelection::media(rest.id());
        pairs[index] = std::move(rest);
    }

    set(m_markedPairIds, std::move(marked), Field::MarkedPairIds);
    set(m_jobStatus, std::move(statuses), Field::JobStatus);
    set(m_restoredCompleted, std::move(restored), Field::RestoredCompleted);
    set(m_pairs, std::move(pairs), Field::Pairs);
    publishFailures(std::move(failedIds));
    if (selectionGone) {
        const QList<GridSelection> items = gridItems();
        selection = items.isEmpty() ? std::nullopt : std::optional<GridSelection>(items.first());
    }
    setSelection(selection);

    // The size figures follow the files that left.
    const int64_t current = std::max<int64_t>(0, m_currentDirBytes - movedBytes);
    if (m_rootPath && m_currentPath && *m_rootPath == *m_currentPath)
        set(m_rootDirBytes, current, Field::RootDirBytes);
    set(m_currentDirBytes, current, Field::CurrentDirBytes);
    refreshFreeSpace();

    set(m_isTrashing, false, Field::IsTrashing);
    QString message = QStringLiteral("已丢弃 ") + QString::number(trashed) + QStringLiteral(" 个文件");
    if (failed > 0)
        message += QStringLiteral("，") + QString::number(failed) + QStringLiteral(" 个失败");
    if (!reasons.isEmpty()) {
        message += QStringLiteral("\n未移到废纸篓：") + reasons.first();
        if (reasons.size() > 1)
            message += QStringLiteral(" 等 ") + QString::number(reasons.size()) + QStringLiteral(" 个文件");
    }
    if (!skipped.isEmpty())
        message += u'\n' + skipped;
    set(m_lastTrashResult, std::optional<QString>(message), Field::LastTrashResult);
    Q_EMIT discardFinished();
}

} // namespace vorlane
