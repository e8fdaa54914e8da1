#pragma once

#include "catalogue/focus_points.h"
#include "media/picture_analysis.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <optional>
#include <vector>

class QPainter;

namespace vorlane {

class OverlayToggles;

// The aids drawn over one view's picture: the camera's focus points, and, computed in the background from
// the pixels shown, the peaking and clipping layer and the histogram. Nothing here slows a step: the points
// are read and the pixels analysed off the main thread, and a result for a picture no longer shown is
// dropped. Main thread.
class PictureOverlays final : public QObject
{
    Q_OBJECT
public:
    using Path = std::filesystem::path;

    explicit PictureOverlays(QWidget &view);
    ~PictureOverlays() override;

    // The toggles shared by every view (may be null: no overlays).
    void setToggles(OverlayToggles *toggles);

    // A new source: its points are read again. aspect is its picture's width over height when known (0 not).
    void setSource(const Path &file, double aspect);
    // The picture now shown (a placeholder is not analysed), and the part of it in view, in its pixels.
    void setPicture(const QImage &picture, bool placeholder);
    void setArea(const QRect &area);

    // The points of the shown source, in its upright picture; empty until read.
    const std::vector<FocusPoint> &points() const { return m_points; }
    bool pointsRead() const { return m_pointsRead; }
    // The layer's picture and the part of the shown picture it covers, once computed (for tests).
    const QImage &layer() const { return m_layer; }
    const Histogram &histogram() const { return m_histogram; }
    // True once every aid that is on has been computed for the picture shown.
    bool analysed() const;

    // Draws the aids that are on: picture is where the whole picture lies in view coordinates (beyond the view
    // when zoomed), view the view's own rectangle.
    void paint(QPainter &p, const QRectF &picture, const QRectF &view) const;

Q_SIGNALS:
    // The points of the source were read.
    void pointsChanged();

private:
    void schedule();
    void analyse();
    void paintHistogram(QPainter &p, const QRectF &view) const;

    QWidget *m_view;
    QPointer<OverlayToggles> m_toggles;
    Path m_file;
    double m_aspect = 0;
    int m_pointsGeneration = 0;
    bool m_pointsRead = false;
    std::vector<FocusPoint> m_points;
    QImage m_picture;
    bool m_fromEmbeddedPreview = false;
    QRect m_area;
    int m_generation = 0;
    QTimer m_settle;
    QImage m_layer;
    QRect m_layerArea;
    qint64 m_layerOf = 0;
    unsigned m_layerKinds = 0;
    Histogram m_histogram;
    qint64 m_histogramOf = 0;
};

} // namespace vorlane
