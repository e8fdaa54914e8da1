#pragma once

#include "testsupport/media_maker.h"

#include <QDir>
#include <QImage>
#include <QWidget>

#include <filesystem>

namespace vorlane::test {

inline void saveScreenshot(const QImage &image, const char *name)
{
    QDir().mkpath(QStringLiteral(VORLANE_SCREENSHOT_DIR));
    image.save(QStringLiteral(VORLANE_SCREENSHOT_DIR "/") + QString::fromLatin1(name));
}

inline void saveScreenshot(QWidget &w, const char *name) { saveScreenshot(w.grab().toImage(), name); }

inline QString arg(const std::filesystem::path &p) { return QString::fromUtf8(p.c_str()); }

// A short test-pattern clip with a tone, stored at width × height; with a rotation, the display matrix asks
// for that counter-clockwise turn (as a phone's portrait clip does).
inline bool makeClip(const std::filesystem::path &path, int width, int height, int rotation = 0)
{
    const std::filesystem::path plain = rotation ? path.parent_path() / (path.stem().string() + ".plain.mp4") : path;
    const QString size = QStringLiteral("testsrc2=size=%1x%2:rate=15").arg(width).arg(height);
    if (runTool(QStringLiteral("ffmpeg"),
                {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                 QStringLiteral("-i"), size, QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                 QStringLiteral("sine=frequency=440"), QStringLiteral("-t"), QStringLiteral("3"),
                 QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), QStringLiteral("-c:a"), QStringLiteral("aac"),
                 arg(plain)})
        != 0)
        return false;
    if (!rotation)
        return true;
    const bool ok = runTool(QStringLiteral("ffmpeg"),
                            {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-i"), arg(plain),
                             QStringLiteral("-c"), QStringLiteral("copy"), QStringLiteral("-metadata:s:v:0"),
                             QStringLiteral("rotate=%1").arg(rotation), arg(path)})
        == 0;
    std::filesystem::remove(plain);
    return ok;
}

// The smallest rectangle holding every pixel brighter than the backdrop.
inline QRect litArea(const QImage &image)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() + c.green() + c.blue() > 60)
                area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}

} // namespace vorlane::test
