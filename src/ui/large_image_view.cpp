#include "ui/large_image_view.h"

#include "ui/theme.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>

namespace vorlane {
namespace {

// The zoom steps above and below 100 %, in device pixels per image pixel.
constexpr std::array kZoomSteps{0.25, 0.5, 1.0, 2.0, 4.0};

} // namespace

LargeImageView::LargeImageView(PreviewLoader &loader, QWidget *parent)
    : QWidget(parent)
    , m_loader(&loader)
{
    init();
}

LargeImageView::~LargeImageView()
{
    if (m_loader)
        m_loader->release(m_viewer);
}

void LargeImageView::init()
{
    static int viewers = 0;
    m_viewer = ++viewers;
    setMouseTracking(false);
    m_spinner.setInterval(80);
    connect(&m_spinner, &QTimer::timeout, this, [this] {
        m_spinnerAngle = (m_spinnerAngle + 30) % 360;
        update();
    });
    m_spinner.start();
    connect(m_loader.data(), &PreviewLoader::ready, this, &LargeImageView::loaded);
    connect(m_loader.data(), &PreviewLoader::interim, this, &LargeImageView::showInterim);
    connect(&m_overlays, &PictureOverlays::pointsChanged, this, &LargeImageView::followFocus);
}

int LargeImageView::decodeCap() const
{
    const QScreen *s = screen();
    if (!s)
        return kMaxLongEdge;
    const QSize size = s->size();
    const double edge = std::max(size.width(), size.height()) * s->devicePixelRatio();
    return std::clamp(int(std::ceil(edge)), 1, kMaxLongEdge);
}

void LargeImageView::setSource(const Path &file, const std::optional<Path> &prefer, const QImage &placeholder,
                               const QList<Path> &ahead)
{
    const Path target = prefer.value_or(file);
    m_ahead = ahead;
    if (m_target == target)
        return;
    m_target = target;
    m_fullSize = QSize();
    // Never one cell's picture under another's name: the thumbnail (or the spinner) until the decode lands.
    m_error.clear();
    m_zoomError.clear();
    m_overlays.setSource(target, placeholder.isNull() ? 0.0 : double(placeholder.width()) / placeholder.height());
    showImage(placeholder, true);
    request();
}

void LargeImageView::request()
{
    if (!m_target)
        return;
    const int edge = wantedEdge();
    const QImage ready = m_loader->picture(*m_target, edge);
    const QString error = m_loader->error(*m_target, edge);
    if (!ready.isNull()) {
        m_error.clear();
        showImage(ready, false, m_loader->fitted(*m_target, edge));
    } else if (!error.isEmpty() && isZoomed()) {
        zoomFailed(error);
        return;
    } else if (!error.isEmpty()) {
        m_error = error;
        showImage({}, false);
    }
    // Also when the picture is here: the neighbours are decoded ahead of the next step.
    m_loader->want(*m_target, edge, m_ahead, fitBox(), m_viewer);
}

void LargeImageView::zoomFailed(const QString &reason)
{
    m_zoomError = tr("Cannot show at 100%: %1").arg(reason);
    m_zoom = 0;
    request(); // the fitted picture, from the cache or decoded for the screen
    clampCentre();
    update();
}

void LargeImageView::loaded(const QString &key)
{
    if (!m_target || key != PreviewLoader::key(*m_target, wantedEdge()))
        return; // a neighbour decoded ahead, or a source the user has left
    const QImage ready = m_loader->picture(*m_target, wantedEdge());
    if (!ready.isNull()) {
        m_error.clear();
        showImage(ready, false, m_loader->fitted(*m_target, wantedEdge()));
        return;
    }
    const QString error = m_loader->error(*m_target, wantedEdge());
    if (!error.isEmpty() && isZoomed()) {
        zoomFailed(error);
        return;
    }
    if (!error.isEmpty() && (m_image.isNull() || m_placeholder)) {
        m_error = error;
        showImage({}, false);
    }
}

void LargeImageView::showInterim(const QString &key, const QImage &image)
{
    if (m_target && key == PreviewLoader::key(*m_target, wantedEdge()) && (m_placeholder || m_image.isNull()))
        showImage(image, true);
}

void LargeImageView::showImage(QImage image, bool placeholder, const QImage &fitted)
{
    m_image = std::move(image);
    m_placeholder = placeholder && !m_image.isNull();
    if (!m_placeholder && !m_image.isNull() && isZoomed())
        m_fullSize = m_image.size();
    m_scaled = fitted.isNull() ? QPixmap() : QPixmap::fromImage(fitted);
    m_scaled.setDevicePixelRatio(devicePixelRatioF());
    if (m_image.isNull() && m_error.isEmpty())
        m_spinner.start();
    else
        m_spinner.stop();
    m_overlays.setPicture(m_image, m_placeholder);
    clampCentre();
    update();
    Q_EMIT imageChanged();
}

QRectF LargeImageView::pictureRect() const
{
    if (m_image.isNull())
        return {};
    const QRectF area = QRectF(rect()).adjusted(kPadding, kPadding, -kPadding, -kPadding);
    if (area.isEmpty())
        return {};
    // A decoded picture smaller than the view is shown at 100 %, not blown up; a placeholder stands for a
    // larger picture and fills the space it will take.
    const QSizeF size = fitBox().shownSize(m_image.size(), m_placeholder);
    return QRectF(area.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

FitBox LargeImageView::fitBox() const
{
    return {QRectF(rect()).adjusted(kPadding, kPadding, -kPadding, -kPadding).size(), devicePixelRatioF()};
}

QSizeF LargeImageView::fullSize() const { return m_fullSize.isValid() ? QSizeF(m_fullSize) : QSizeF(); }

double LargeImageView::fitZoom() const
{
    const QSizeF full = fullSize();
    const QRectF fitted = pictureRect();
    if (full.isEmpty() || fitted.isEmpty())
        return 0;
    return fitted.width() * devicePixelRatioF() / full.width();
}

void LargeImageView::toggleZoom(std::optional<QPointF> at)
{
    m_followFocus = !isZoomed() && !at;
    if (m_followFocus) {
        const auto spot = FocusPoints::zoomTarget(m_overlays.points());
        m_centre = spot ? QPointF(spot->first, spot->second) : QPointF(0.5, 0.5);
    }
    setZoom(isZoomed() ? 0.0 : 1.0, at);
    Q_EMIT viewMoved();
}

void LargeImageView::followFocus()
{
    if (!m_followFocus || !isZoomed())
        return;
    const auto spot = FocusPoints::zoomTarget(m_overlays.points());
    if (!spot)
        return;
    m_centre = QPointF(spot->first, spot->second);
    clampCentre();
    update();
    Q_EMIT viewMoved();
}

void LargeImageView::followView(double zoom, QPointF centre)
{
    m_centre = centre;
    if (zoom != m_zoom) {
        const bool wasZoomed = isZoomed();
        m_zoom = zoom;
        m_zoomError.clear();
        if (wasZoomed != isZoomed())
            request();
    }
    clampCentre();
    update();
}

void LargeImageView::zoomBy(int steps, std::optional<QPointF> at)
{
    if (steps == 0)
        return;
    const double from = isZoomed() ? m_zoom : std::max(fitZoom(), 0.01);
    double to = from;
    if (steps > 0) {
        for (const double step : kZoomSteps) {
            if (step > from * 1.001) {
                to = step;
                break;
            }
        }
    } else {
        to = 0;
        for (auto it = kZoomSteps.rbegin(); it != kZoomSteps.rend(); ++it) {
            if (*it < from * 0.999) {
                to = *it;
                break;
            }
        }
        if (to <= fitZoom())
            to = 0; // below the fitted size the picture is simply fitted again
    }
    setZoom(to, at);
    Q_EMIT viewMoved();
}

void LargeImageView::setZoom(double zoom, std::optional<QPointF> at)
{
    if (zoom == m_zoom)
        return;
    if (at && !isZoomed()) {
        // From the fitted picture: the point under the mouse becomes the middle of the zoomed view.
        const QRectF fitted = pictureRect();
        if (!fitted.isEmpty())
            m_centre = QPointF(std::clamp((at->x() - fitted.left()) / fitted.width(), 0.0, 1.0),
                               std::clamp((at->y() - fitted.top()) / fitted.height(), 0.0, 1.0));
    } else if (at && isZoomed() && !fullSize().isEmpty()) {
        // Between zoom levels: the point under the mouse stays under it.
        const double scale = m_zoom / devicePixelRatioF();
        const QPointF offset = *at - QRectF(rect()).center();
        const QPointF point(m_centre.x() + offset.x() / (fullSize().width() * scale),
                            m_centre.y() + offset.y() / (fullSize().height() * scale));
        const double next = zoom / devicePixelRatioF();
        m_centre = QPointF(point.x() - offset.x() / (fullSize().width() * next),
                           point.y() - offset.y() / (fullSize().height() * next));
    }
    const bool wasZoomed = isZoomed();
    m_zoom = zoom;
    m_zoomError.clear();
    if (wasZoomed != isZoomed())
        request(); // the fitted picture, or the full one decoded from the original
    clampCentre();
    update();
}

void LargeImageView::pan(QPointF by)
{
    if (!isZoomed() || fullSize().isEmpty())
        return;
    const double scale = m_zoom / devicePixelRatioF();
    m_followFocus = false; // the user's own spot from now on
    m_centre -= QPointF(by.x() / (fullSize().width() * scale), by.y() / (fullSize().height() * scale));
    clampCentre();
    update();
    Q_EMIT viewMoved();
}

void LargeImageView::clampCentre()
{
    const QSizeF full = fullSize();
    if (!isZoomed() || full.isEmpty()) {
        m_centre = QPointF(std::clamp(m_centre.x(), 0.0, 1.0), std::clamp(m_centre.y(), 0.0, 1.0));
        return;
    }
    // The picture keeps covering the view where it is larger than the view, and is centred where it is not.
    const double scale = m_zoom / devicePixelRatioF();
    const auto clampAxis = [](double c, double imageExtent, double viewExtent) {
        if (imageExtent <= viewExtent)
            return 0.5;
        const double half = viewExtent / 2 / imageExtent;
        return std::clamp(c, half, 1.0 - half);
    };
    m_centre = QPointF(clampAxis(m_centre.x(), full.width() * scale, width()),
                       clampAxis(m_centre.y(), full.height() * scale, height()));
}

void LargeImageView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_scaled = QPixmap();
    clampCentre();
}

void LargeImageView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        toggleZoom(event->position());
}

void LargeImageView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && isZoomed()) {
        m_dragFrom = event->position();
        setCursor(Qt::ClosedHandCursor);
    }
}

void LargeImageView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragFrom)
        return;
    pan(event->position() - *m_dragFrom);
    m_dragFrom = event->position();
}

void LargeImageView::mouseReleaseEvent(QMouseEvent *)
{
    m_dragFrom.reset();
    unsetCursor();
}

void LargeImageView::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->ignore();
        return;
    }
    const int delta = event->angleDelta().y();
    if (delta != 0)
        zoomBy(delta > 0 ? 1 : -1, event->position());
}

void LargeImageView::setMessageClearOf(const QRect &panel)
{
    if (panel == m_messageClearOf)
        return;
    m_messageClearOf = panel;
    if (!m_error.isEmpty())
        update();
}

QRectF LargeImageView::messageArea() const
{
    constexpr double kNarrowest = 320; // a path and a reason still read on a few lines
    const QRectF area = QRectF(rect()).adjusted(kPadding, kPadding, -kPadding, -kPadding);
    if (m_messageClearOf.isEmpty() || !area.intersects(m_messageClearOf))
        return area;
    const QRectF panel(m_messageClearOf);
    QRectF beside = area;
    beside.setRight(std::min(area.right(), panel.left() - kPadding));
    if (beside.width() >= kNarrowest)
        return beside;
    // Below the panel the margins shrink: a tall panel over a small pane leaves little height.
    constexpr double kMargin = 12;
    const QRectF below(QPointF(area.left(), std::max(area.top(), panel.bottom() + kMargin)),
                       QPointF(area.right(), height() - kMargin));
    return below.height() >= 80 ? below : area;
}

void LargeImageView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_image.isNull() && !m_error.isEmpty()) {
        const QRectF area = messageArea();
        p.setPen(Theme::onDark(Theme::Tone::Primary));
        p.setFont(Theme::uiFont(14, QFont::DemiBold));
        const QRectF title(area.left(), area.center().y() - 30, area.width(), 28);
        p.drawText(title, Qt::AlignCenter, tr("Cannot show this file"));
        p.setPen(Theme::onDark(Theme::Tone::Secondary));
        p.setFont(Theme::uiFont(10));
        p.drawText(QRectF(area.left(), title.bottom() + 6, area.width(), area.bottom() - title.bottom()),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_error);
        return;
    }
    const auto drawSpinner = [&](QPointF at, double scale) {
        p.save();
        p.translate(at);
        p.scale(scale, scale);
        p.rotate(m_spinnerAngle);
        // Twelve spokes fading behind the leading one.
        for (int i = 0; i < 12; ++i) {
            QColor spoke = Theme::onDark(Theme::Tone::Primary);
            spoke.setAlphaF(float(1.0 - i / 14.0));
            p.setPen(QPen(spoke, 2.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(0, -7), QPointF(0, -13));
            p.rotate(-30);
        }
        p.restore();
    };
    if (m_image.isNull()) {
        drawSpinner(QRectF(rect()).center(), 1.2);
        return;
    }
    const double dpr = devicePixelRatioF();
    if (isZoomed() && !m_placeholder && !fullSize().isEmpty()) {
        // One image pixel per device pixel (or a zoom step of it): only the part in view is drawn.
        const double scale = m_zoom / dpr;
        const QSizeF shown = fullSize() * scale;
        const QPointF topLeft
            = QRectF(rect()).center() - QPointF(m_centre.x() * shown.width(), m_centre.y() * shown.height());
        const QRectF target = QRectF(topLeft, shown).intersected(QRectF(rect()));
        const QRectF source((target.left() - topLeft.x()) / scale, (target.top() - topLeft.y()) / scale,
                            target.width() / scale, target.height() / scale);
        p.setRenderHint(QPainter::SmoothPixmapTransform, m_zoom < 1.0);
        p.drawImage(target, m_image, source);
        // The aids over the part in view; the image here is the full picture, so its pixels are the source's.
        m_overlays.setArea(source.toAlignedRect());
        m_overlays.paint(p, QRectF(topLeft, shown), QRectF(rect()));
        // The zoom drawn: device pixels per pixel of the decoded picture, which at 100 % is the whole file.
        paintNotice(p, QString::number(m_zoom * 100, 'g', 4) + QStringLiteral(" %"), Qt::AlignLeft | Qt::AlignBottom);
        return;
    }
    const QRectF target = pictureRect();
    if (target.isEmpty())
        return;
    // The same size the loader fitted the picture to, so its copy is used as it is.
    const QSize pixels = fitBox().pixels(m_image.size(), m_placeholder);
    if (m_scaled.isNull() || m_scaled.size() != pixels) {
        m_scaled = QPixmap::fromImage(m_image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_scaled.setDevicePixelRatio(dpr);
    }
    p.drawPixmap(target.topLeft(), m_scaled);
    m_overlays.setArea(QRect());
    m_overlays.paint(p, target, QRectF(rect()));
    if (isZoomed())
        drawSpinner(QRectF(rect()).center(), 1.0); // the full picture for 100 % is on its way
    if (!m_zoomError.isEmpty())
        paintNotice(p, m_zoomError, Qt::AlignHCenter | Qt::AlignBottom);
}

void LargeImageView::paintNotice(QPainter &p, const QString &text, Qt::Alignment where)
{
    // Light text on a dark card, so it reads over any picture.
    p.save();
    p.setFont(Theme::uiFont(10, QFont::Medium));
    const QFontMetricsF fm(p.font());
    const QSizeF size(std::min(fm.horizontalAdvance(text) + 24, width() - 32.0), fm.height() + 12);
    const QRectF area = QRectF(rect()).adjusted(16, 16, -16, -16);
    const double x = where & Qt::AlignLeft ? area.left() : area.center().x() - size.width() / 2;
    const QRectF card(QPointF(x, area.bottom() - size.height()), size);
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::shade(0.72));
    p.drawRoundedRect(card, 8, 8);
    p.setPen(Theme::onDark(Theme::Tone::Primary));
    p.drawText(card, Qt::AlignCenter, fm.elidedText(text, Qt::ElideMiddle, card.width() - 24));
    p.restore();
}

} // namespace vorlane
