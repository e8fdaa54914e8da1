#pragma once

#include <QObject>

namespace vorlane {

// How the grid shows its cells: the settings panel's choices. They live in memory only and start from these
// defaults at every launch. Main thread.
class ViewSettings final : public QObject
{
    Q_OBJECT

public:
    enum class ViewMode { Merged, Split }; // RAW+image pairs as one tile, or each file's own thumbnail
    enum class FillMode { Fill, Fit };     // thumbnails cropped to the square, or letterboxed in it
    // Which cells of the folder the grid shows: every one, the ones not marked (the next pass), or the marked
    // ones (the review before the discard). A view only: marks and copies are the same in each.
    enum class FolderView { All, Unmarked, Marked };

    using QObject::QObject;

    ViewMode viewMode() const { return m_viewMode; }
    FillMode fillMode() const { return m_fillMode; }
    bool showFilenames() const { return m_showFilenames; }
    bool showRawLabel() const { return m_showRawLabel; }
    bool autoScrollOnNav() const { return m_autoScrollOnNav; }
    bool autoScrollOnClick() const { return m_autoScrollOnClick; }
    double thumbnailSize() const { return m_thumbnailSize; } // tile edge in points
    FolderView folderView() const { return m_folderView; }

    void setViewMode(ViewMode v) { update(m_viewMode, v); }
    void setFillMode(FillMode v) { update(m_fillMode, v); }
    void setShowFilenames(bool v) { update(m_showFilenames, v); }
    void setShowRawLabel(bool v) { update(m_showRawLabel, v); }
    void setAutoScrollOnNav(bool v) { update(m_autoScrollOnNav, v); }
    void setAutoScrollOnClick(bool v) { update(m_autoScrollOnClick, v); }
    void setThumbnailSize(double v) { update(m_thumbnailSize, v); }
    void setFolderView(FolderView v) { update(m_folderView, v); }
    // V: all, unmarked, marked, and round again.
    void cycleFolderView() { setFolderView(FolderView((int(m_folderView) + 1) % 3)); }

Q_SIGNALS:
    void changed();

private:
    template<typename T>
    void update(T &member, T value)
    {
        if (member == value)
            return;
        member = value;
        Q_EMIT changed();
    }

    ViewMode m_viewMode = ViewMode::Merged;
    FillMode m_fillMode = FillMode::Fill;
    bool m_showFilenames = true;
    bool m_showRawLabel = true;
    bool m_autoScrollOnNav = true;
    bool m_autoScrollOnClick = true;
    double m_thumbnailSize = 160.0;
    FolderView m_folderView = FolderView::All;
};

} // namespace vorlane
