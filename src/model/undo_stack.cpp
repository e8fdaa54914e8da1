#include "model/undo_stack.h"

#include "model/copy_marks.h"
#include "model/decisions.h"
#include "model/discard_run.h"

namespace vorlane {

UndoStack::UndoStack(CopyMarks &marks, DiscardRun &discard, Decisions &decisions, QObject *parent)
    : QObject(parent)
    , m_marks(marks)
    , m_discard(discard)
    , m_decisions(decisions)
{
    connect(&m_decisions, &Decisions::written, this,
            [this](const MediaPair &cell, const Decision &before, const Decision &) { push(Rated{cell, before}); });
    connect(&m_discard, &DiscardRun::movedToTrash, this,
            [this](const QList<TrashService::Trashed> &moved) { push(Discard{moved}); });
    connect(&m_discard, &DiscardRun::trashingChanged, this, &UndoStack::changed);
}

void UndoStack::push(Entry entry)
{
    m_entries.append(std::move(entry));
    m_everUsed = true;
    Q_EMIT changed();
}

UndoStack::Kind UndoStack::top() const
{
    if (m_entries.isEmpty())
        return Kind::Nothing;
    if (std::holds_alternative<Rated>(m_entries.last()))
        return Kind::Rating;
    return std::holds_alternative<Discard>(m_entries.last()) ? Kind::Discard : Kind::KeepBest;
}

void UndoStack::undo()
{
    if (m_discard.isTrashing())
        return; // a run or an undo is moving files: the next press waits for it
    if (m_entries.isEmpty()) {
        Q_EMIT notice(m_everUsed ? tr("Nothing more to undo")
                                 : tr("Nothing to undo. Originals discarded before this window opened are in the "
                                      "Trash: restore them from there."));
        return;
    }
    const Entry entry = m_entries.takeLast();
    Q_EMIT changed();
    if (const auto *discard = std::get_if<Discard>(&entry)) {
        m_discard.undo(discard->moved); // it says itself what came back
        return;
    }
    if (const auto *rated = std::get_if<Rated>(&entry)) {
        m_decisions.change(rated->cell, {rated->before.rating, rated->before.label}, true);
        Q_EMIT notice(tr("Undid the rating and label of %1").arg(rated->cell.displayName()));
        return;
    }
    const KeepBatch &batch = std::get<KeepBatch>(entry);
    const int unmarked = m_marks.setMarked(batch.marked, false);
    QString text = tr("Undid keep this one: unmarked %n", nullptr, unmarked);
    if (batch.keptWasMarked && m_marks.setMarked({batch.kept}, true) > 0)
        text += u'\n' + tr("%1 is marked again").arg(batch.kept.displayName());
    Q_EMIT notice(text);
}

} // namespace vorlane
