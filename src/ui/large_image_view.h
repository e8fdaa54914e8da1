#pragma once

#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace vorlane {

// One still picture fitted into the view with 40 pixels of padding on every side. Each new source starts
// its own decode on the global thread pool and never leaves the previous source's picture on screen: until
// the decode arrives the view shows the placeholder it was given (the cell's thumbnail, scaled up), else a
// spinner. A result that arrives after a newer source was set is dropped (a generation number), so the
// picture on screen is always the current source's; the superseded decode is asked to stop.
//
// Decodes upright (EXIF orientation applied) and never larger than the screen can show: its long edge times
// the device pixel ratio, at most 7680 pixels, so a huge panorama costs a screenful of memory. A file that
// cannot be decoded shows "无法显示此文件" and the reason. Main thread; decodes run on pool threads.
class LargeImageView final : public QWidget
{
    Q_OBJECT

public:
    using Path = std::filesystem::path;
    // A decoded picture, or why there is none (empty when the decode was only stopped).
    struct Picture
    {
        QImage image;
        QString error;
    };
    // Decodes a file to at most maxLongEdge pixels on its long edge. Any thread.
    using Decode = std::function<Picture(const Path &, int maxLongEdge, std::stop_token)>;

    static constexpr int kPadding = 40;
    static constexpr int kMaxLongEdge = 7680;

    explicit LargeImageView(QWidget *parent = nullptr, Decode decode = {});
    ~LargeImageView() override;

    // path is the pair's primary file, prefer the file to decode instead (a pair's JPEG) when present;
    // placeholder is shown at once in place of the previous source's picture until the decode arrives.
    void setSource(const Path &path, const std::optional<Path> &prefer = std::nullopt, const QImage &placeholder = {});
    const std::optional<Path> &source() const { return m_target; }
    // What is on screen: the decoded picture, the placeholder, or nothing (a spinner, or the error).
    const QImage &image() const { return m_image; }
    bool showsPlaceholder() const { return m_placeholder; }
    bool spinnerVisible() const { return m_image.isNull() && m_error.isEmpty(); }
    // Why the current source cannot be shown; empty while it can or is still loading.
    const QString &error() const { return m_error; }
    // The largest long edge worth decoding for the screen this view is on.
    int decodeCap() const;
    // Where the picture is drawn, in view coordinates.
    QRectF pictureRect() const;

    static Picture decodeFile(const Path &path, int maxLongEdge, std::stop_token token);

Q_SIGNALS:
    // The shown picture changed (to a new picture, or to none).
    void imageChanged();
    // A decode ended, whether its result was shown or dropped as stale.
    void decodeFinished(const QString &path);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void startLoad();
    void finishLoad(quint64 generation, Picture picture);
    void showImage(QImage image, bool placeholder);

    Decode m_decode;
    std::optional<Path> m_target;
    QImage m_image;
    bool m_placeholder = false;
    QString m_error;
    QPixmap m_scaled; // m_image scaled to the current picture rectangle, made when first painted at a size
    quint64 m_generation = 0;
    std::shared_ptr<std::stop_source> m_stop;
    QTimer m_spinner;
    int m_spinnerAngle = 0;
};

} // namespace vorlane
