#include "ui/large_image_view.h"

#include "catalogue/media_item.h"
#include "media/cancellation.h"
#include "media/decode_error.h"
#include "media/picture.h"
#include "model/main_thread.h"
#include "ui/theme.h"

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

LargeImageView::Picture LargeImageView::decodeFile(const Path &path, int maxLongEdge, std::stop_token token)
{
    try {
        return {vorlane::Picture::still(path, maxLongEdge, std::move(token)), {}};
    } catch (const DecodeError &error) {
        return {{}, QString::fromUtf8(error.what())};
    } catch (const CancelledError &) {
        return {};
    } catch (const std::bad_alloc &) {
        return {{}, QStringLiteral("not enough memory to decode it")};
    }
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

void LargeImageView::setSource(const Path &path, const std::optional<Path> &prefer, const QImage &placeholder)
{
    const Path target = prefer.value_or(path);
    if (m_target == target)
        return;
    m_target = target;
    // Never one cell's picture under another's name: the thumbnail (or the spinner) until the decode lands.
    m_error.clear();
    showImage(placeholder, true);
    startLoad();
}

void LargeImageView::showImage(QImage image, bool placeholder)
{
    m_image = std::move(image);
    m_placeholder = placeholder && !m_image.isNull();
    m_scaled = QPixmap();
    if (m_image.isNull() && m_error.isEmpty())
        m_spinner.start();
    else
        m_spinner.stop();
    update();
    Q_EMIT imageChanged();
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
            Picture picture = decode(path, cap, stop->get_token());
            postToMain(self, [generation, picture = std::move(picture), name = displayPath(path)](LargeImageView &view) mutable {
                view.finishLoad(generation, std::move(picture));
                Q_EMIT view.decodeFinished(name);
            });
        });
}

void LargeImageView::finishLoad(quint64 generation, Picture picture)
{
    if (generation != m_generation)
        return; // a newer source was set meanwhile: its own load decides what is shown
    if (picture.image.isNull() && picture.error.isEmpty())
        return; // stopped without a result
    m_error = picture.error;
    showImage(std::move(picture.image), false);
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
    if (m_image.isNull() && !m_error.isEmpty()) {
        QRectF area = QRectF(rect()).adjusted(kPadding, kPadding, -kPadding, -kPadding);
        p.setPen(QColor(255, 255, 255, 217));
        p.setFont(Theme::uiFont(14, QFont::DemiBold));
        const QRectF title(area.left(), area.center().y() - 30, area.width(), 28);
        p.drawText(title, Qt::AlignCenter, QStringLiteral("无法显示此文件"));
        p.setPen(QColor(255, 255, 255, 128));
        p.setFont(Theme::uiFont(10));
        p.drawText(QRectF(area.left(), title.bottom() + 6, area.width(), area.bottom() - title.bottom()),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_error);
        return;
    }
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
