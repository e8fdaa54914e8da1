#include "ui/picture_overlays.h"

#include "core/background_jobs.h"
#include "media/picture.h"
#include "ui/overlay_toggles.h"
#include "ui/theme.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace vorlane {
namespace {

BackgroundJobs &jobs()
{
    static BackgroundJobs runner(QStringLiteral("picture aids"), 2, 5);
    return runner;
}

// A burst of pans or zoom steps is analysed once it settles.
constexpr int kSettleMs = 30;
// The histogram of a large picture is sampled down to about this many pixels.
constexpr double kHistogramSamples = 1e6;

struct Analysis
{
    QImage layer;
    bool hasLayer = false;
    Histogram histogram;
    bool hasHistogram = false;
};

} // namespace

PictureOverlays::PictureOverlays(QWidget &view)
    : QObject(&view)
    , m_view(&view)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &PictureOverlays::analyse);
}

PictureOverlays::~PictureOverlays() = default;

void PictureOverlays::setToggles(OverlayToggles *toggles)
{
    if (m_toggles)
        disconnect(m_toggles, nullptr, this, nullptr);
    m_toggles = toggles;
    if (toggles) {
        connect(toggles, &OverlayToggles::changed, this, [this] {
            schedule();
            m_view->update();
        });
    }
}

void PictureOverlays::setSource(const Path &file, double aspect)
{
    if (file == m_file && std::abs(aspect - m_aspect) <= 0.01 * std::max(aspect, m_aspect))
        return;
    m_file = file;
    m_aspect = aspect;
    m_points.clear();
    m_pointsRead = false;
    const int generation = ++m_pointsGeneration;
    // The points are read whether or not they are drawn: Z zooms to them.
    jobs().run(
        this, [file, aspect] { return FocusPoints::read(file, aspect); },
        [generation](PictureOverlays &self, std::vector<FocusPoint> points) {
            if (generation != self.m_pointsGeneration)
                return; // another source since
            self.m_points = std::move(points);
            self.m_pointsRead = true;
            self.m_view->update();
            Q_EMIT self.pointsChanged();
        });
}

void PictureOverlays::setPicture(const QImage &picture, bool placeholder)
{
    m_picture = placeholder ? QImage() : picture;
    m_fromEmbeddedPreview = !m_picture.isNull() && Picture::isEmbeddedPreview(m_picture);
    m_area = QRect();
    if (!m_picture.isNull() && !m_file.empty()) {
        // The points are cropped to the picture's proportions: read again if they were guessed otherwise.
        setSource(m_file, double(m_picture.width()) / m_picture.height());
    }
    schedule();
}

void PictureOverlays::setArea(const QRect &area)
{
    if (area == m_area)
        return;
    m_area = area;
    schedule();
}

void PictureOverlays::schedule()
{
    const bool wanted = m_toggles
        && (m_toggles->isOn(OverlayToggles::Peaking) || m_toggles->isOn(OverlayToggles::Clipping)
            || m_toggles->isOn(OverlayToggles::Histogram));
    if (wanted && !m_picture.isNull())
        m_settle.start();
}

void PictureOverlays::analyse()
{
    if (!m_toggles || m_picture.isNull())
        return;
    const bool clipping = m_toggles->isOn(OverlayToggles::Clipping);
    const bool peaking = m_toggles->isOn(OverlayToggles::Peaking);
    const unsigned kinds = (clipping ? OverlayToggles::Clipping : 0u) | (peaking ? OverlayToggles::Peaking : 0u);
    const qint64 key = m_picture.cacheKey();
    const QRect area = m_area.isEmpty() ? m_picture.rect() : m_area.intersected(m_picture.rect());
    const bool needLayer = kinds != 0 && (m_layerOf != key || m_layerArea != area || m_layerKinds != kinds);
    const bool needHistogram = m_toggles->isOn(OverlayToggles::Histogram) && m_histogramOf != key;
    if (!needLayer && !needHistogram)
        return;
    const int generation = ++m_generation;
    const QImage picture = m_picture;
    jobs().run(
        this,
        [picture, area, clipping, peaking, needLayer, needHistogram] {
            Analysis a;
            if (needLayer) {
                a.layer = PictureAnalysis::overlay(picture, area, clipping, peaking);
                a.hasLayer = true;
            }
            if (needHistogram) {
                const double pixels = double(picture.width()) * picture.height();
                a.histogram = PictureAnalysis::histogram(picture, std::max(1, int(std::sqrt(pixels / kHistogramSamples))));
                a.hasHistogram = true;
            }
            return a;
        },
        [generation, key, area, kinds](PictureOverlays &self, Analysis a) {
            if (a.hasHistogram && self.m_picture.cacheKey() == key) {
                self.m_histogram = std::move(a.histogram);
                self.m_histogramOf = key;
            }
            // A layer for a spot the view has left is dropped: a newer one is on its way.
            if (a.hasLayer && generation == self.m_generation) {
                self.m_layer = std::move(a.layer);
                self.m_layerArea = area;
                self.m_layerOf = key;
                self.m_layerKinds = kinds;
            }
            self.m_view->update();
        });
}

bool PictureOverlays::analysed() const
{
    if (!m_toggles || m_picture.isNull())
        return true;
    const qint64 key = m_picture.cacheKey();
    const bool layer = m_toggles->isOn(OverlayToggles::Peaking) || m_toggles->isOn(OverlayToggles::Clipping);
    return (!layer || m_layerOf == key) && (!m_toggles->isOn(OverlayToggles::Histogram) || m_histogramOf == key);
}

void PictureOverlays::paint(QPainter &p, const QRectF &picture, const QRectF &view) const
{
    if (!m_toggles || picture.isEmpty())
        return;
    const bool layerOn = m_toggles->isOn(OverlayToggles::Peaking) || m_toggles->isOn(OverlayToggles::Clipping);
    if (layerOn && !m_layer.isNull() && !m_picture.isNull() && m_layerOf == m_picture.cacheKey()) {
        const double sx = picture.width() / m_picture.width(), sy = picture.height() / m_picture.height();
        const QRectF target(picture.left() + m_layerArea.left() * sx, picture.top() + m_layerArea.top() * sy,
                            m_layerArea.width() * sx, m_layerArea.height() * sy);
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform, sx < 1);
        p.drawImage(target, m_layer);
        p.restore();
    }
    if (m_toggles->isOn(OverlayToggles::FocusPoints)) {
        p.save();
        p.setBrush(Qt::NoBrush);
        // The faint ones first, so the points that matter are drawn over them.
        for (const bool strong : {false, true}) {
            for (const FocusPoint &point : m_points) {
                if ((point.inFocus || point.selected) != strong)
                    continue;
                const double w = std::max(8.0, point.w * picture.width());
                const double h = std::max(8.0, point.h * picture.height());
                const QRectF box(picture.left() + point.x * picture.width() - w / 2,
                                 picture.top() + point.y * picture.height() - h / 2, w, h);
                if (strong) {
                    // A dark rim under the colour keeps the box visible on a bright subject.
                    p.setPen(QPen(Theme::shade(0.6), 4));
                    p.drawRect(box);
                    p.setPen(QPen(point.inFocus ? QColor(255, 59, 48) : QColor(255, 214, 10), 2));
                } else {
                    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
                }
                p.drawRect(box);
            }
        }
        p.restore();
    }
    if (m_toggles->isOn(OverlayToggles::Histogram))
        paintHistogram(p, view);
}

void PictureOverlays::paintHistogram(QPainter &p, const QRectF &view) const
{
    if (m_histogram.isEmpty() || m_picture.isNull() || m_histogramOf != m_picture.cacheKey())
        return;
    constexpr double kWidth = 256, kHeight = 96, kMargin = 16, kInner = 8;
    const QString note = m_fromEmbeddedPreview ? tr("From the camera's embedded preview") : QString();
    const double noteHeight = note.isEmpty() ? 0 : 18;
    const QRectF card(view.right() - kMargin - kWidth - 2 * kInner, view.bottom() - kMargin - 40 - kHeight - noteHeight - 2 * kInner,
                      kWidth + 2 * kInner, kHeight + noteHeight + 2 * kInner);
    const QRectF plot(card.left() + kInner, card.top() + kInner, kWidth, kHeight);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::shade(0.72));
    p.drawRoundedRect(card, 8, 8);
    // The tallest bin between the ends sets the scale; a spike of clipped pixels at an end runs off the top.
    uint64_t tallest = 1;
    for (const auto &channel : m_histogram.counts)
        tallest = std::max(tallest, *std::max_element(channel.begin() + 1, channel.end() - 1));
    const auto curve = [&](const std::array<uint64_t, 256> &counts) {
        QPainterPath path(plot.bottomLeft());
        for (int i = 0; i < 256; ++i) {
            const double h = std::min(1.0, double(counts[size_t(i)]) / double(tallest)) * plot.height();
            path.lineTo(plot.left() + i * plot.width() / 255.0, plot.bottom() - h);
        }
        path.lineTo(plot.bottomRight());
        path.closeSubpath();
        return path;
    };
    p.setBrush(QColor(200, 200, 200, 110));
    p.drawPath(curve(m_histogram.counts[Histogram::Luma]));
    p.setCompositionMode(QPainter::CompositionMode_Plus);
    const QColor colours[] = {QColor(190, 40, 40), QColor(40, 170, 40), QColor(50, 80, 220)};
    for (int c = 0; c < 3; ++c) {
        p.setBrush(colours[c]);
        p.drawPath(curve(m_histogram.counts[size_t(c)]));
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (!note.isEmpty()) {
        p.setPen(Theme::onDark(Theme::Tone::Secondary));
        p.setFont(Theme::uiFont(9));
        p.drawText(QRectF(plot.left(), plot.bottom() + 2, plot.width(), noteHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   note);
    }
    p.restore();
}

} // namespace vorlane
