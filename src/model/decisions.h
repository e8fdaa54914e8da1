#pragma once

#include "catalogue/media_pair.h"
#include "catalogue/sidecar.h"
#include "core/background_jobs.h"

#include <QHash>
#include <QObject>
#include <QUuid>

namespace vorlane {

class FolderListing;

// The ratings and colour labels of the listing's cells, as their XMP sidecars (or the photos themselves)
// record them: read in the background after every listing, written by the keys beside the originals and read
// back, so that what is shown is what an editor will find. One writer thread keeps a cell's changes in the
// order they were made, and a listing read behind them. Main thread.
class Decisions final : public QObject
{
    Q_OBJECT
public:
    explicit Decisions(const FolderListing &listing, QObject *parent = nullptr);
    ~Decisions() override;

    // The cell's decision; empty until read, or when it has none.
    Decision of(const QUuid &cell) const { return m_decisions.value(cell); }
    // Why a sidecar of the cell gave nothing (malformed, too large, not a file); empty when none did.
    QString problemOf(const QUuid &cell) const { return m_problems.value(cell); }
    // What the cell will show once the changes asked for are written (the label keys toggle against it, so
    // that a second press before the first is written still clears).
    Decision expected(const QUuid &cell) const { return m_expected.contains(cell) ? m_expected.value(cell) : of(cell); }

    // Writes a change to every sidecar of the cell. A cell whose sidecar cannot be read is refused at once with
    // the reason; a write that fails says why. When done, the decision read back from disk is shown, and a
    // change that took is reported with what it replaced (written), unless it was an undo.
    void change(const MediaPair &cell, const Sidecars::Change &change, bool isUndo = false);

Q_SIGNALS:
    void changed(); // decisions read or rewritten
    void written(const MediaPair &cell, const Decision &before, const Decision &after);
    void notice(const QString &text);

private:
    void readAll();

    const FolderListing &m_listing;
    QHash<QUuid, Decision> m_decisions;
    QHash<QUuid, QString> m_problems;
    QHash<QUuid, Decision> m_expected; // while writes of the cell are queued
    QHash<QUuid, int> m_pending;
    BackgroundJobs m_jobs{QStringLiteral("sidecars"), 1, 0};
};

} // namespace vorlane
