#include "ui/video_player_view.h"

#include "catalogue/media_item.h"
#include "media/video_probe.h"
#include "ui/qt_multimedia_compat.h"
#include "ui/theme.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QGraphicsScene>
#include <QGraphicsVideoItem>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QProxyStyle>
#include <QSlider>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace vorlane {
namespace {

class JumpingSliderStyle final : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == QStyle::SH_Slider_AbsoluteSetButtons)
            return Qt::LeftButton;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

VideoPlayerView::VideoPlayerView(QWidget *parent)
    : QWidget(parent)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    m_scene = new QGraphicsScene(this);
    m_view = new QGraphicsView(m_scene, this);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The backdrop's own shade (96 % black over the window), so the video area does not show as a box.
    m_view->setBackgroundBrush(Theme::shade(0.96));
    m_view->setFocusPolicy(Qt::NoFocus);
    m_view->setRenderHint(QPainter::SmoothPixmapTransform);
    column->addWidget(m_view, 1);

    auto *controls = new QHBoxLayout;
    controls->setContentsMargins(40, 0, 40, 0);
    controls->setSpacing(10);
    m_playPause = new QToolButton(this);
    m_playPause->setFont(Theme::iconFont(24));
    m_playPause->setFocusPolicy(Qt::NoFocus);
    m_playPause->setAutoRaise(true);
    Theme::setTextColor(m_playPause, Theme::onDark(Theme::Tone::Primary));
    connect(m_playPause, &QToolButton::clicked, this, [this] {
        if (!m_player)
            return;
        if (m_player->playbackState() == QMediaPlayer::PlayingState)
            m_player->pause();
        else
            m_player->play();
    });
    controls->addWidget(m_playPause);
    m_position = new QSlider(Qt::Horizontal, this);
    m_position->setFocusPolicy(Qt::NoFocus);
    // A click on the bar jumps to that point, rather than a page towards it.
    auto *jumping = new JumpingSliderStyle; // over the application's style, which it must not own
    jumping->setParent(m_position);
    m_position->setStyle(jumping);
    const auto seek = [this] {
        if (m_player && m_player->duration() > 0)
            m_player->setPosition(m_position->value());
        else if (m_player)
            m_position->setValue(int(std::min<qint64>(m_player->position(), INT_MAX)));
        showTime();
    };
    connect(m_position, &QSlider::sliderPressed, this, seek);
    connect(m_position, &QSlider::sliderMoved, this, seek);
    controls->addWidget(m_position, 1);
    m_time = new QLabel(this);
    m_time->setTextFormat(Qt::PlainText);
    m_time->setFont(Theme::monoFont(9));
    Theme::setTextColor(m_time, Theme::onDark(Theme::Tone::Secondary));
    controls->addWidget(m_time);
    column->addLayout(controls);

    m_devices = new QMediaDevices(this);
    connect(m_devices, &QMediaDevices::audioOutputsChanged, this, &VideoPlayerView::followAudioOutputs);
    showPlaybackState();
}

VideoPlayerView::~VideoPlayerView() { detachPlayer(); }

void VideoPlayerView::detachPlayer()
{
    if (!m_player)
        return;
    m_player->pause();
    m_player->setVideoOutput(nullptr);
    m_player->setAudioOutput(nullptr);
    delete m_player;
    m_player = nullptr;
    delete m_audio;
    m_audio = nullptr;
}

void VideoPlayerView::setSource(const Path &path)
{
    if (m_path == path && m_player)
        return;
    detachPlayer();
    m_path = path;

    // A fresh item too, so the last frame of the previous video never shows under the new one.
    delete m_item;
    m_item = new QGraphicsVideoItem;
    m_item->setAspectRatioMode(Qt::KeepAspectRatio);
    m_scene->addItem(m_item);
    connect(m_item, &QGraphicsVideoItem::nativeSizeChanged, this, &VideoPlayerView::layoutVideo);

    const VideoProbe::Shape shape = VideoProbe::shape(path).value_or(VideoProbe::Shape{});
    m_storedSize = shape.stored;
    const bool turnHere = !QtMultimediaCompat::kPlayerAppliesDisplayMatrix;
    m_rotation = turnHere ? (360 - shape.orientation.rotation) % 360 : 0;
    m_mirrored = turnHere && shape.orientation.mirrored;
    layoutVideo();

    // The container's own length stands in while the player does not know one: Qt 6.4's FFmpeg backend
    // reads it from the streams, which Matroska and WebM leave without, and then cannot seek either.
    m_probedDuration = shape.durationMs;
    m_position->setRange(0, int(std::min<qint64>(m_probedDuration, INT_MAX)));
    m_position->setToolTip(QString());
    m_position->setValue(0);
    showTime();

    m_player = new QMediaPlayer(this);
    m_player->setVideoOutput(m_item);
    followAudioOutputs();
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, &VideoPlayerView::showPlaybackState);
    connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 ms) {
        m_position->setRange(0, int(std::min<qint64>(ms > 0 ? ms : m_probedDuration, INT_MAX)));
        m_position->setToolTip(ms > 0 || m_probedDuration <= 0
                                   ? QString()
                                   : tr("This player cannot jump within this clip (a newer Qt can); it plays from the start"));
        showTime();
    });
    connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 ms) {
        if (!m_position->isSliderDown())
            m_position->setValue(int(std::min<qint64>(ms, INT_MAX)));
        showTime();
    });
    m_position->setValue(0);
    m_player->setSource(QUrl::fromLocalFile(displayPath(path)));
    m_player->play();
}

void VideoPlayerView::followAudioOutputs()
{
    if (!m_player)
        return;
    // Attaching an output when the system has none crashes the ffmpeg backend: play silently instead.
    const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
    if (outputs.isEmpty()) {
        if (m_audio) {
            m_player->setAudioOutput(nullptr);
            delete m_audio;
            m_audio = nullptr;
        }
        return;
    }
    if (!m_audio) {
        m_audio = new QAudioOutput(QMediaDevices::defaultAudioOutput(), this);
        m_player->setAudioOutput(m_audio);
    } else {
        m_audio->setDevice(QMediaDevices::defaultAudioOutput());
    }
}

QString VideoPlayerView::clockText(qint64 ms)
{
    const qint64 s = ms / 1000;
    return s >= 3600
        ? QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QChar(u'0')).arg(s % 60, 2, 10, QChar(u'0'))
        : QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QChar(u'0'));
}

QString VideoPlayerView::timeText() const { return m_time->text(); }

void VideoPlayerView::showTime()
{
    m_time->setText(clockText(m_position->value()) + QStringLiteral(" / ") + clockText(m_position->maximum()));
}

void VideoPlayerView::showPlaybackState()
{
    const bool playing = m_player && m_player->playbackState() == QMediaPlayer::PlayingState;
    m_playPause->setText(playing ? QStringLiteral("pause") : QStringLiteral("play_arrow"));
}

void VideoPlayerView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutVideo();
}

void VideoPlayerView::layoutVideo()
{
    const QSizeF area = m_view->viewport()->size();
    m_scene->setSceneRect(QRectF(QPointF(0, 0), area));
    if (!m_item)
        return;
    QSizeF stored = m_item->nativeSize();
    if (stored.isEmpty())
        stored = m_storedSize;
    if (stored.isEmpty() || area.isEmpty())
        return;
    // Fit the picture as displayed (turned a quarter when asked) into the view, then size the item in
    // stored orientation and turn it about its centre.
    const bool quarter = m_rotation % 180 != 0;
    const QSizeF shown = quarter ? stored.transposed() : stored;
    const double scale = std::min(area.width() / shown.width(), area.height() / shown.height());
    const QSizeF size = stored * scale;
    m_item->setSize(size);
    QTransform t;
    t.translate(area.width() / 2, area.height() / 2);
    t.rotate(m_rotation);
    if (m_mirrored)
        t.scale(-1, 1);
    t.translate(-size.width() / 2, -size.height() / 2);
    m_item->setPos(0, 0);
    m_item->setTransform(t);
}

} // namespace vorlane
