#pragma once

#include "model/app_model.h"

#include <QWidget>


class QLabel;

namespace vorlane {

class InfoPanel;
class LargeImageView;
class OverlayToggles;
class PreviewLoader;
class ThumbnailCache;

// Two cells side by side, laid over the grid while the cursor compares: the reference on the left, which
// stays, and the candidate on the right, which the arrow keys move. Each pane has the cell's name, its mark
// and its place in a burst above its picture, fitted into half the window whatever its shape. The panes
// zoom and pan together, at the same relative spot, so two frames of a burst are judged at the same place;
// I shows each one's shooting information. Pictures come from the preview's loader, which decodes the next
// candidates ahead. The keys that drive it belong to the key map. Main thread.
class CompareView final : public QWidget
{
    Q_OBJECT

public:
    CompareView(AppModel &model, ThumbnailCache &thumbnails, PreviewLoader &loader, QWidget *parent = nullptr);

    LargeImageView *candidateView() const { return m_panes[1].view; }

    // Both panes at once.
    void toggleZoom();
    void zoomBy(int steps);
    void pan(QPointF by);
    void toggleInfo();
    // The aids drawn over both pictures (focus points, peaking, clipping, histogram).
    void setOverlayToggles(OverlayToggles *toggles);
    bool infoVisible() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Pane
    {
        QWidget *header = nullptr;
        QLabel *role = nullptr;
        QLabel *name = nullptr;
        QWidget *mark = nullptr;
        QLabel *burst = nullptr;
        QLabel *decision = nullptr;
        LargeImageView *view = nullptr;
        InfoPanel *info = nullptr;
    };

    void showCells();
    void fill(Pane &pane, const MediaPair &pair, const QList<std::filesystem::path> &ahead);
    void placeChildren();

    AppModel &m_model;
    ThumbnailCache &m_thumbnails;
    Pane m_panes[2];
    QLabel *m_hint = nullptr;
    bool m_following = false; // one pane is taking the other's zoom and spot
};

} // namespace vorlane
