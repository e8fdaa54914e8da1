#include "model/decisions.h"

#include "model/folder_listing.h"

namespace vorlane {
namespace {

struct Listed
{
    int generation = 0;
    QHash<QUuid, Decision> decisions;
    QHash<QUuid, QString> problems;
};

struct Written
{
    Decision before;
    Sidecars::Reading after;
    QString failure;
};

} // namespace

Decisions::Decisions(const FolderListing &listing, QObject *parent)
    : QObject(parent)
    , m_listing(listing)
{
    connect(&listing, &FolderListing::contentsChanged, this, &Decisions::readAll);
}

Decisions::~Decisions() = default;

void Decisions::readAll()
{
    const QList<MediaPair> cells = m_listing.pairs();
    const int generation = m_listing.generation();
    m_jobs.run(
        this,
        [cells, generation] {
            Listed listed{generation, {}, {}};
            for (const MediaPair &cell : cells) {
                const Sidecars::Reading r = Sidecars::readCell(cell);
                if (r.decision && !r.decision->isEmpty())
                    listed.decisions.insert(cell.id(), *r.decision);
                if (!r.problem.isEmpty())
                    listed.problems.insert(cell.id(), r.problem);
            }
            return listed;
        },
        [](Decisions &self, Listed listed) {
            if (listed.generation != self.m_listing.generation())
                return; // another listing since: its own read is queued behind this one
            self.m_decisions = std::move(listed.decisions);
            self.m_problems = std::move(listed.problems);
            Q_EMIT self.changed();
        });
}

void Decisions::change(const MediaPair &cell, const Sidecars::Change &change, bool isUndo)
{
    if (const QString problem = problemOf(cell.id()); !problem.isEmpty()) {
        Q_EMIT notice(tr("Rating and label not written: %1").arg(problem));
        return;
    }
    Decision expected = this->expected(cell.id());
    expected.rating = change.rating.value_or(expected.rating);
    expected.label = change.label.value_or(expected.label);
    m_expected.insert(cell.id(), expected);
    ++m_pending[cell.id()];
    m_jobs.run(
        this,
        [cell, change] {
            Written w;
            w.before = Sidecars::readCell(cell).decision.value_or(Decision{});
            w.failure = Sidecars::writeCell(cell, change);
            w.after = Sidecars::readCell(cell);
            return w;
        },
        [cell, isUndo](Decisions &self, Written w) {
            if (--self.m_pending[cell.id()] == 0) {
                self.m_pending.remove(cell.id());
                self.m_expected.remove(cell.id());
            }
            const Decision after = w.after.decision.value_or(Decision{});
            if (self.m_listing.pair(cell.id())) {
                after.isEmpty() ? void(self.m_decisions.remove(cell.id())) : void(self.m_decisions.insert(cell.id(), after));
                w.after.problem.isEmpty() ? void(self.m_problems.remove(cell.id()))
                                          : void(self.m_problems.insert(cell.id(), w.after.problem));
                Q_EMIT self.changed();
            }
            if (!w.failure.isEmpty())
                Q_EMIT self.notice(tr("Rating and label not written: %1").arg(w.failure));
            // What did change on disk is taken back by Ctrl+Z, even when another file of the cell failed.
            if (!isUndo && after != w.before)
                Q_EMIT self.written(cell, w.before, after);
        });
}

} // namespace vorlane
