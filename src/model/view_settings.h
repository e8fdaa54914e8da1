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

    using QObject::QObject;

    ViewMode viewMode() const { return m_viewMode; }
    FillMode fillMode() const { return m_fillMode; }
    bool showFilenames() const { return m_showFilenames; }
    bool showRawLabel() const { return m_showRawLabel; }
    bool autoScrollOnNav() const { return m_autoScrollOnNav; }
    bool autoScrollOnClick() const { return m_autoScrollOnClick; }
    double thumbnailSize() const { return m_thumbnailSize; } // tile edge in points

    void setViewMode(ViewMode v) { update(m_viewMode, v); }
    void setFillMode(FillMode v) { update(m_fillMode, v); }
    void setShowFilenames(bool v) { update(m_showFilenames, v); }
    void setShowRawLabel(bool v) { update(m_showRawLabel, v); }
    void setAutoScrollOnNav(bool v) { update(m_autoScrollOnNav, v); }
    void setAutoScrollOnClick(bool v) { update(m_autoScrollOnClick, v); }
    void setThumbnailSize(double v) { update(m_thumbnailSize, v); }

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
};

} // namespace vorlane
