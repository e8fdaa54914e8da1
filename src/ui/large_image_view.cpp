// vips first: GLib's headers must not meet Qt's keyword macros.
#include "copies/image_decoder.h"

#include "ui/large_image_view.h"

#include "catalogue/media_item.h"
#include "copies/cancellation.h"
#include "copies/image_decode_error.h"
#include "model/main_thread.h"
#include "ui/image_conversion.h"

#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QThreadPool>

namespace vorlane {

LargeImageView::LargeImageView(QWidget *parent, Decode decode)
    : QWidget(parent)
    , m_decode(decode ? std::move(decode) : Decode(&LargeImageView::decodeFile))
{
    m_spinner.setInterval(80);
    connect(&m_spinner, &QTimer::timeout, this, [this] {
        m_spinnerAngle = (m_spinnerAngle + 30) % 360;
        update();
    });
    m_spinner.start();
}

LargeImageView::~LargeImageView()
{
    if (m_stop)
        m_stop->request_stop();
}

QImage LargeImageView::decodeFile(const Path &path, int maxLongEdge, std::stop_token token)
{
    try {
        return toQImage(ImageDecoder::decode(path, maxLongEdge, std::move(token)));
    } catch (const ImageDecodeError &) {
    } catch (const CancelledError &) {
    } catch (const vips::VError &) {
    } catch (const std::bad_alloc &) {
    }
    return {};
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

void LargeImageView::setSource(const Path &url, const std::optional<Path> &prefer)
{
    const Path target = prefer.value_or(url);
    if (m_target == target)
        return;
    m_target = target;
    startLoad();
}

void LargeImageView::startLoad()
{
    if (m_stop)
        m_stop->request_stop();
    m_stop = std::make_shared<std::stop_source>();
    const quint64 generation = ++m_generation;
    const QPointer<LargeImageView> self(this);
    QThreadPool::globalInstance()->start(
        [self, generation, path = *m_target, cap = decodeCap(), decode = m_decode, stop = m_stop] {
            QImage image = decode(path, cap, stop->get_token());
            postToMain(self, [generation, image = std::move(image), name = displayPath(path)](LargeImageView &view) mutable {
                view.finishLoad(generation, std::move(image));
                Q_EMIT view.decodeFinished(name);
            });
        });
}

void LargeImageView::finishLoad(quint64 generation, QImage image)
{
    if (generation != m_generation)
        return; // a newer source was set meanwhile: its own load decides what is shown
    m_image = std::move(image);
    m_scaled = QPixmap();
    if (m_image.isNull())
        m_spinner.start();
    else
        m_spinner.stop();
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
    QSizeF size = m_image.size();
    size.scale(area.size(), Qt::KeepAspectRatio);
    return QRectF(area.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

void LargeImageView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_scaled = QPixmap();
}

void LargeImageView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_image.isNull()) {
        // The spinner: twelve spokes fading behind the leading one, white, a little larger than a control's.
        const QPointF c = QRectF(rect()).center();
        p.translate(c);
        p.scale(1.2, 1.2);
        p.rotate(m_spinnerAngle);
        for (int i = 0; i < 12; ++i) {
            QColor spoke(255, 255, 255, 255 - i * 18);
            p.setPen(QPen(spoke, 2.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(0, -7), QPointF(0, -13));
            p.rotate(-30);
        }
        return;
    }
    const QRectF target = pictureRect();
    if (target.isEmpty())
        return;
    const double dpr = devicePixelRatioF();
    const QSize pixels = (target.size() * dpr).toSize();
    if (m_scaled.isNull() || m_scaled.size() != pixels) {
        m_scaled = QPixmap::fromImage(m_image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_scaled.setDevicePixelRatio(dpr);
    }
    p.drawPixmap(target.topLeft(), m_scaled);
}

} // namespace vorlane
