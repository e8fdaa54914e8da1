#pragma once

#include "ui/picture_overlays.h"
#include "ui/preview_loader.h"

#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QPointF>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <optional>

namespace vorlane {

// One still picture in the preview, fitted into the view with 40 pixels of padding (never enlarged: a
// picture smaller than the view shows at 100 %), or at a zoom where one image pixel is one device pixel
// (100 %) or a step above or below it, panned by dragging or by the keys.
//
// A new source never leaves the previous source's picture on screen: until its decode arrives the view
// shows the placeholder it was given (the cell's thumbnail, scaled up), a RAW's embedded preview as soon as
// it is read, else a spinner; a file that cannot be decoded shows "Cannot show this file" and the reason. Pictures
// come from a PreviewLoader, which decodes the neighbours ahead of time, so a step usually finds its picture
// ready. The fitted picture is decoded no larger than the screen shows (its long edge times the device pixel
// ratio); the zoomed one from the original at full size, when first asked for. The zoom and the relative
// position in the picture stay when the source changes, so a burst is compared at the same spot. Main thread.
class LargeImageView final : public QWidget
{
    Q_OBJECT

public:
    using Path = std::filesystem::path;

    static constexpr int kPadding = 40;
    static constexpr int kMaxLongEdge = 7680;

    // Pictures come from a loader that others may share (the preview's, which both compare panes use too);
    // it must outlive the view.
    explicit LargeImageView(PreviewLoader &loader, QWidget *parent = nullptr);
    ~LargeImageView() override;

    // file is the pair's primary file, prefer the file to decode instead (a pair's JPEG) when present;
    // placeholder is shown at once until the decode arrives; ahead are files to decode ahead of time.
    void setSource(const Path &file, const std::optional<Path> &prefer = std::nullopt, const QImage &placeholder = {},
                   const QList<Path> &ahead = {});
    const std::optional<Path> &source() const { return m_target; }
    // What is on screen: the decoded picture, the placeholder, or nothing (a spinner, or the error).
    const QImage &image() const { return m_image; }
    bool showsPlaceholder() const { return m_placeholder; }
    bool spinnerVisible() const { return m_image.isNull() && m_error.isEmpty(); }
    // Why the current source cannot be shown; empty while it can or is still loading.
    const QString &error() const { return m_error; }
    // Keeps the "cannot show" message clear of a panel laid over the view (in view coordinates; empty for
    // none): beside it where there is room, else below it. The message is centred in messageArea().
    void setMessageClearOf(const QRect &panel);
    QRectF messageArea() const;
    // Why the last zoom to 100 % could not be shown (the picture stays fitted); empty otherwise.
    const QString &zoomError() const { return m_zoomError; }
    // The largest long edge worth decoding for the screen this view is on.
    int decodeCap() const;
    // Where the picture is drawn, in view coordinates.
    QRectF pictureRect() const;

    // Zoom, in device pixels per image pixel of the full picture; 0 means fitted.
    double zoom() const { return m_zoom; }
    bool isZoomed() const { return m_zoom > 0; }
    // Z and a double-click: fitted <-> 100 %, centred on the point given (view coordinates), or else on where
    // the camera focused (FocusPoints::zoomTarget), or else the middle. After Z the spot follows each new
    // source's own focus point, until the user pans or picks a spot.
    void toggleZoom(std::optional<QPointF> at = std::nullopt);
    // Ctrl+= / Ctrl+- and Ctrl+wheel: one step in or out (x2 / x0.5), back to fitted below the fitted size.
    void zoomBy(int steps, std::optional<QPointF> at = std::nullopt);
    // Shift+arrows and dragging, in view pixels.
    void pan(QPointF by);
    // The point of the picture at the middle of the view, 0…1 on each axis.
    QPointF centre() const { return m_centre; }
    // The aids drawn over the picture (focus points, peaking, clipping, histogram) and their toggles.
    PictureOverlays &overlays() { return m_overlays; }
    // Another view's zoom and spot, taken as they are (the compare view keeps its two panes together).
    void followView(double zoom, QPointF centre);

Q_SIGNALS:
    // The shown picture changed (to a new picture, or to none).
    void imageChanged();
    // The user zoomed or panned (by a key, the mouse or the wheel).
    void viewMoved();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void init();
    void request();
    void loaded(const QString &key);
    void showInterim(const QString &key, const QImage &image);
    // fitted: the picture already scaled to its drawn size, when the loader made it.
    void showImage(QImage image, bool placeholder, const QImage &fitted = {});
    // The full picture for 100 % cannot be had: back to fitted, saying why.
    void zoomFailed(const QString &reason);
    void paintNotice(QPainter &p, const QString &text, Qt::Alignment where);
    FitBox fitBox() const;
    int wantedEdge() const { return isZoomed() ? 0 : decodeCap(); }
    QSizeF fullSize() const;
    double fitZoom() const;
    void setZoom(double zoom, std::optional<QPointF> at);
    void clampCentre();
    // Z's spot, once the source's points are known.
    void followFocus();

    QPointer<PreviewLoader> m_loader;
    int m_viewer = 0; // this view's number among the loader's viewers
    std::optional<Path> m_target;
    QList<Path> m_ahead;
    QImage m_image;
    bool m_placeholder = false;
    QString m_error;
    QRect m_messageClearOf;
    QString m_zoomError;
    QPixmap m_scaled; // the fitted picture at its drawn size, from the loader or made when painted at that size
    QSize m_fullSize; // of the source's full picture, once known (the fitted decode tells the aspect only)
    double m_zoom = 0;
    QPointF m_centre{0.5, 0.5};
    std::optional<QPointF> m_dragFrom;
    bool m_followFocus = false;
    PictureOverlays m_overlays{*this};
    QTimer m_spinner;
    int m_spinnerAngle = 0;
};

} // namespace vorlane
