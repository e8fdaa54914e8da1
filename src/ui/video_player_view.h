#pragma once

#include "media/display_orientation.h"

#include <QWidget>

#include <filesystem>
#include <optional>

class QAudioOutput;
class QGraphicsScene;
class QGraphicsVideoItem;
class QGraphicsView;
class QMediaDevices;
class QMediaPlayer;
class QLabel;
class QSlider;
class QToolButton;

namespace vorlane {

// Plays one video file at once, with minimal controls (play/pause and a position slider). A new file gets a
// new player that starts from the beginning; setting the same file again keeps the running one. When the
// view goes away the player is paused and detached first, so the sound stops with the preview.
//
// The frames go to a QGraphicsVideoItem, turned as the stream's display matrix asks (the ffmpeg media backend
// shows frames as stored, so a phone's portrait video would otherwise lie on its side). Sound is attached only
// while the system has an audio output: with none, the video plays silently. Main thread.
class VideoPlayerView final : public QWidget
{
    Q_OBJECT

public:
    // A time as the player shows it: whole seconds elapsed, "m:ss" or "h:mm:ss".
    static QString clockText(qint64 ms);
    using Path = std::filesystem::path;

    explicit VideoPlayerView(QWidget *parent = nullptr);
    ~VideoPlayerView() override;

    void setSource(const Path &path);
    const std::optional<Path> &source() const { return m_path; }

    QMediaPlayer *player() const { return m_player; }
    QGraphicsVideoItem *videoItem() const { return m_item; }
    QGraphicsView *graphicsView() const { return m_view; }
    bool hasAudioOutput() const { return m_audio != nullptr; }
    // The clockwise turn, in degrees, applied to the stored frames.
    int displayRotation() const { return m_rotation; }
    // "elapsed / length", as the controls show it.
    QString timeText() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void detachPlayer();
    void followAudioOutputs();
    void layoutVideo();
    void showPlaybackState();
    void showTime();

    QGraphicsScene *m_scene = nullptr;
    QGraphicsView *m_view = nullptr;
    QGraphicsVideoItem *m_item = nullptr;
    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_audio = nullptr;
    QMediaDevices *m_devices = nullptr;
    QToolButton *m_playPause = nullptr;
    QSlider *m_position = nullptr;
    QLabel *m_time = nullptr; // elapsed / total
    std::optional<Path> m_path;
    QSize m_storedSize;
    qint64 m_probedDuration = 0; // ms, from the container
    int m_rotation = 0;
    bool m_mirrored = false;
};

} // namespace vorlane
