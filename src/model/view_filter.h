#pragma once

#include "catalogue/media_pair.h"

#include <QList>
#include <QObject>

namespace vorlane {

class CopyMarks;
class FolderListing;
class GridCursor;
class ViewSettings;

// The listing's pairs that the chosen folder view shows (all, the unmarked, the marked), in the listing's
// order, kept in step with the listing, the marks and the settings. Each change hands the cursor the items it
// walks: the folders, then the shown pairs. Main thread.
class ViewFilter final : public QObject
{
    Q_OBJECT

public:
    ViewFilter(FolderListing &listing, const CopyMarks &marks, const ViewSettings &settings, GridCursor &cursor,
               QObject *parent = nullptr);

    const QList<MediaPair> &pairs() const { return m_shown; }

Q_SIGNALS:
    void changed();

private:
    void update();

    FolderListing &m_listing;
    const CopyMarks &m_marks;
    const ViewSettings &m_settings;
    GridCursor &m_cursor;
    QList<MediaPair> m_shown;
    int m_generation = -1; // the listing generation m_shown was taken from
};

} // namespace vorlane
