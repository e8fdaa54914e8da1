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

// One still picture fitted into the view with 40 pixels of padding on every side, or a spinner while there
// is none. Each new source starts its own decode on the global thread pool; the previous picture stays until
// the new one arrives, and a result that arrives after a newer source was set is dropped (a generation
// number), so the picture on screen is always the current source's. The superseded decode is asked to stop.
//
// Decodes upright (EXIF orientation applied) and never larger than the screen can show: its long edge times
// the device pixel ratio, at most 7680 pixels, so a huge panorama costs a screenful of memory. A file that
// cannot be decoded leaves the spinner. Main thread; decodes run on pool threads.
class LargeImageView final : public QWidget
{
    Q_OBJECT

public:
    using Path = std::filesystem::path;
    // Decodes a file to at most maxLongEdge pixels on its long edge; a null image when it cannot. Any thread.
    using Decode = std::function<QImage(const Path &, int maxLongEdge, std::stop_token)>;

    static constexpr int kPadding = 40;
    static constexpr int kMaxLongEdge = 7680;

    explicit LargeImageView(QWidget *parent = nullptr, Decode decode = {});
    ~LargeImageView() override;

    // url is the pair's primary file, prefer the file to decode instead (a pair's JPEG) when present.
    void setSource(const Path &url, const std::optional<Path> &prefer = std::nullopt);
    const std::optional<Path> &source() const { return m_target; }
    const QImage &image() const { return m_image; }
    bool spinnerVisible() const { return m_image.isNull(); }
    // The largest long edge worth decoding for the screen this view is on.
    int decodeCap() const;
    // Where the picture is drawn, in view coordinates.
    QRectF pictureRect() const;

    static QImage decodeFile(const Path &path, int maxLongEdge, std::stop_token token);

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
    void finishLoad(quint64 generation, QImage image);

    Decode m_decode;
    std::optional<Path> m_target;
    QImage m_image;
    QPixmap m_scaled; // m_image scaled to the current picture rectangle, made when first painted at a size
    quint64 m_generation = 0;
    std::shared_ptr<std::stop_source> m_stop;
    QTimer m_spinner;
    int m_spinnerAngle = 0;
};

} // namespace vorlane
