// Discarding: moving the originals of marked pairs with complete copies to the Trash.
#include "model/app_model.h"

#include "model/main_thread.h"
#include "model/trash_service.h"

#include <QThreadPool>

#include <sys/stat.h>

namespace vorlane {
namespace {

// A copy is there when a non-empty regular file stands at its path.
bool copyIsPresent(const std::filesystem::path &copy)
{
    struct stat st {};
    return ::stat(copy.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

struct DiscardTarget
{
    QList<std::filesystem::path> originals;
    std::filesystem::path copy;
};

} // namespace

int AppModel::discardableCount() const
{
    int n = 0;
    for (const QUuid &id : m_markedPairIds) {
        const auto it = m_jobStatus.constFind(id);
        if (it != m_jobStatus.constEnd() && it->kind() == BsideJobStatus::Case::Completed)
            ++n;
    }
    return n;
}

void AppModel::discardOriginals()
{
    if (m_isTrashing)
        return;
    QList<DiscardTarget> targets;
    QSet<QUuid> ids;
    for (const MediaPair &p : m_pairs) {
        const auto it = m_jobStatus.constFind(p.id());
        if (!m_markedPairIds.contains(p.id()) || it == m_jobStatus.constEnd()
            || it->kind() != BsideJobStatus::Case::Completed || !p.copyPath())
            continue;
        DiscardTarget target;
        for (const MediaItem &item : p.allOriginals())
            target.originals.append(item.url);
        target.copy = *p.copyPath(); // the cell's own copy, never one another cell of the folder could claim
        targets.append(std::move(target));
        ids.insert(p.id());
    }
    if (targets.isEmpty())
        return;
    set(m_isTrashing, true, Field::IsTrashing);

    // The moves run off the main thread so a large discard never freezes the window; the result is
    // applied on the main thread in one go.
    const QPointer<AppModel> self(this);
    m_discardPool.start([self, targets = std::move(targets), ids] {
        int trashed = 0;
        int failed = 0;
        for (const DiscardTarget &target : targets) {
            // The copy may have gone since it was made (deleted by hand, a card swapped): then none of the
            // pair's originals move, and they count as failed.
            if (!copyIsPresent(target.copy)) {
                failed += int(target.originals.size());
                continue;
            }
            const TrashService::Result result = TrashService::trash(target.originals);
            trashed += int(result.trashed.size());
            failed += int(result.failed.size());
        }
        postToMain(self, [ids, trashed, failed](AppModel &model) { model.applyDiscard(ids, trashed, failed); });
    });
}

void AppModel::applyDiscard(const QSet<QUuid> &ids, int trashed, int failed)
{
    QSet<QUuid> marked = m_markedPairIds;
    QHash<QUuid, BsideJobStatus> statuses = m_jobStatus;
    QSet<QUuid> failedIds = m_failedPairIds;
    QSet<QUuid> restored = m_restoredCompleted;
    for (const QUuid &id : ids) {
        marked.remove(id);
        statuses.remove(id);
        failedIds.remove(id);
        restored.remove(id);
    }
    set(m_markedPairIds, std::move(marked), Field::MarkedPairIds);
    set(m_jobStatus, std::move(statuses), Field::JobStatus);
    set(m_failedPairIds, std::move(failedIds), Field::FailedPairIds);
    set(m_restoredCompleted, std::move(restored), Field::RestoredCompleted);

    QList<MediaPair> remaining;
    for (const MediaPair &p : m_pairs) {
        if (!ids.contains(p.id()))
            remaining.append(p);
    }
    set(m_pairs, std::move(remaining), Field::Pairs);
    if (m_selection && m_selection->kind == GridSelection::Kind::Media && ids.contains(m_selection->id)) {
        const QList<GridSelection> items = gridItems();
        setSelection(items.isEmpty() ? std::nullopt : std::optional<GridSelection>(items.first()));
    }
    set(m_isTrashing, false, Field::IsTrashing);
    QString message = QStringLiteral("已丢弃 ") + QString::number(trashed) + QStringLiteral(" 个文件");
    if (failed > 0)
        message += QStringLiteral("，") + QString::number(failed) + QStringLiteral(" 个失败");
    set(m_lastTrashResult, std::optional<QString>(message), Field::LastTrashResult);
    Q_EMIT discardFinished();
}

} // namespace vorlane
