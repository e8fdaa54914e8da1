#pragma once

#include "catalogue/decision.h"
#include "catalogue/media_pair.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QObject>

namespace vorlane {

class BurstGroups;
class CopyMarks;
class Decisions;
class FolderListing;
class GridCursor;
class ViewSettings;

// The listing's pairs that the chosen folder view shows (all, the unmarked, the marked), narrowed by the
// decision filters (at least so many stars, a colour label, a camera, a lens), in the listing's order, kept in step with the listing, the marks, the settings and the bursts. Each change hands the cursor
// the items it walks: the folders, then the shown pairs. Main thread.
//
// With the bursts collapsed, the frames of a burst that the view shows are one cell: the burst's best frame
// when the view shows it, else its first frame shown. A burst expanded again shows all of its frames until
// it is collapsed again or the bursts are collapsed anew. The selection on a frame that is folded away moves
// to the cell that stands for it. For the session only: nothing of this is written anywhere.
class ViewFilter final : public QObject
{
    Q_OBJECT

public:
    ViewFilter(FolderListing &listing, const CopyMarks &marks, const ViewSettings &settings,
               const BurstGroups &bursts, const Decisions &decisions, GridCursor &cursor, QObject *parent = nullptr);

    // What a shown cell must have besides the folder view's test; empty fields ask nothing.
    struct Criteria
    {
        int minStars = 0;                 // 1-5: at least that many stars (a rejected photo has none)
        std::optional<ColourLabel> label; // this label (None: cells without one)
        QString camera;                   // this camera body, as the photos name it
        QString lens;                     // this lens
        bool isEmpty() const { return minStars == 0 && !label && camera.isEmpty() && lens.isEmpty(); }
        bool operator==(const Criteria &) const = default;
    };
    const Criteria &criteria() const { return m_criteria; }
    void setCriteria(const Criteria &criteria);
    bool passes(const MediaPair &pair) const;

    const QList<MediaPair> &pairs() const { return m_shown; }

    bool burstsCollapsed() const { return m_collapsed; }
    void setBurstsCollapsed(bool collapsed);
    // The frames a shown cell stands for, itself among them, in the grid's order: two or more for a
    // collapsed burst, else none.
    QList<QUuid> framesOf(const QUuid &cell) const { return m_framesOf.value(cell); }
    // The burst of a cell shown collapsed is shown whole; false when the cell stands for no other.
    bool expand(const QUuid &cell);
    // The expanded burst a frame belongs to is collapsed again; false when it is not one.
    bool collapse(const QUuid &cell);

Q_SIGNALS:
    void changed();

private:
    void update();
    QList<MediaPair> folded(const QList<MediaPair> &pairs);

    FolderListing &m_listing;
    const CopyMarks &m_marks;
    const ViewSettings &m_settings;
    const BurstGroups &m_bursts;
    const Decisions &m_decisions;
    GridCursor &m_cursor;
    Criteria m_criteria;
    bool m_collapsed = false;
    QSet<QUuid> m_expanded;                // the frames of bursts shown whole
    QHash<QUuid, QList<QUuid>> m_framesOf; // a collapsed cell -> the frames it stands for
    QHash<QUuid, QUuid> m_foldedInto;      // a frame folded away -> the cell that stands for it
    QList<MediaPair> m_shown;
    int m_generation = -1; // the listing generation m_shown was taken from
};

} // namespace vorlane
