#pragma once

#include "model/app_model.h"
#include "ui/overlay_toggles.h"
#include "ui/preview_loader.h"

#include <QPointer>
#include <QWidget>

class QLabel;

namespace vorlane {

class InfoPanel;
class LargeImageView;

class ThumbnailCache;
class VideoPlayerView;

// The full-window preview of the pair at previewIndex, laid over the grid: an almost black backdrop, the
// picture or the playing video, the pair's name with its mark and a key hint along the top, and "3 / 120"
// at the bottom. Shown only while previewIndex lies within pairs, and transparent to the mouse otherwise,
// so clicks reach the grid. Moving between two pictures keeps the image view and reloads it, showing the
// new cell's thumbnail from the grid's cache at once so that no picture stays under another's name; a change
// between picture and video, or closing, replaces the media view (which stops a playing video).
// The keys that drive it belong to the key map. Main thread.
class PreviewOverlay final : public QWidget
{
    Q_OBJECT

public:
    PreviewOverlay(AppModel &model, ThumbnailCache &thumbnails, QWidget *parent = nullptr);

    // The media view now shown, or null.
    LargeImageView *imageView() const { return m_image; }
    PreviewLoader &loader() { return m_loader; }
    // The aids drawn over the picture (focus points, peaking, clipping, histogram).
    void setOverlayToggles(OverlayToggles *toggles);
    OverlayToggles *overlayToggles() const { return m_toggles; }
    VideoPlayerView *videoView() const { return m_video; }
    QLabel *nameLabel() const { return m_name; }
    QWidget *markLabel() const { return m_mark; }
    // "Burst 3/5", and "· sharpest" for a burst's sharpest frame; hidden for a cell alone.
    QLabel *burstLabel() const { return m_burst; }
    // The previewed cell's stars and colour label; hidden when it has none.
    QLabel *decisionLabel() const { return m_decision; }
    QLabel *counterLabel() const { return m_counter; }
    // I: the shooting information of the cell shown, over the right side of the picture.
    void toggleInfo();
    bool infoVisible() const;
    // The rows the panel shows now: label and value, fields the file does not carry left out.
    QList<QPair<QString, QString>> infoRows() const;

Q_SIGNALS:
    void infoShown();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showPreview();
    void showDecision();
    void showBurstPlace();
    void clearMedia();
    void placeChildren();
    QList<std::filesystem::path> neighbours(int index) const;
    void loadInfo(const MediaPair &pair);

    AppModel &m_model;
    ThumbnailCache &m_thumbnails;
    PreviewLoader m_loader;
    std::optional<int> m_lastIndex;
    int m_direction = 1; // of the last step: the neighbours ahead are decoded first
    LargeImageView *m_image = nullptr;
    QPointer<OverlayToggles> m_toggles;
    VideoPlayerView *m_video = nullptr;
    QWidget *m_topLine = nullptr;
    QLabel *m_name = nullptr;
    QWidget *m_mark = nullptr;
    QLabel *m_burst = nullptr;
    QLabel *m_decision = nullptr;
    QLabel *m_hint = nullptr;
    QLabel *m_counter = nullptr;
    InfoPanel *m_info = nullptr;
    bool m_infoWanted = false; // I shows the panel until I hides it, whichever cells come between
};

} // namespace vorlane
