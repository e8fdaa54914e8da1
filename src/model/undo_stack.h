#pragma once

#include "catalogue/decision.h"
#include "catalogue/media_pair.h"
#include "model/trash_service.h"

#include <QList>
#include <QObject>
#include <QString>

#include <variant>

namespace vorlane {

class CopyMarks;
class DiscardRun;
class Decisions;

// What Ctrl+Z takes back, newest first: the discards (their originals come back from the Trash), the
// keep-this-one batches (their marks go, the kept frame's mark comes back) and each rating or label set (the
// sidecars get back the decision they had), from whatever folder is shown.
// A single D is not on it: D is its own undo. The stack lives as long as the process; after a restart it is
// empty, and an undo says where earlier discards are. Main thread.
class UndoStack final : public QObject
{
    Q_OBJECT

public:
    // A K press: the frame kept (marked before, and unmarked by the press, or not), and the frames it marked.
    struct KeepBatch
    {
        MediaPair kept;
        bool keptWasMarked = false;
        QList<MediaPair> marked;
    };
    struct Discard
    {
        QList<TrashService::Trashed> moved;
    };
    // A rating or a label set: the decision it replaced goes back into the sidecars.
    struct Rated
    {
        MediaPair cell;
        Decision before;
    };
    using Entry = std::variant<Discard, KeepBatch, Rated>;
    enum class Kind { Nothing, Discard, KeepBest, Rating };

    UndoStack(CopyMarks &marks, DiscardRun &discard, Decisions &decisions, QObject *parent = nullptr);

    void push(Entry entry);
    Kind top() const;
    int size() const { return int(m_entries.size()); }
    // Takes the newest entry back and says what it did; with none, says so.
    void undo();

Q_SIGNALS:
    void changed();
    void notice(const QString &text);

private:
    CopyMarks &m_marks;
    DiscardRun &m_discard;
    Decisions &m_decisions;
    QList<Entry> m_entries;
    bool m_everUsed = false;
};

} // namespace vorlane
