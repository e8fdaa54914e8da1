#include "media/shooting_info.h"

#include "catalogue/capture_date.h"
#include "catalogue/exiv2_runtime.h"
#include "media/decode_error.h"
#include "media/display_orientation.h"
#include "media/libav_support.h"

#include <exiv2/exiv2.hpp>

namespace vorlane {
namespace {

std::optional<double> rationalTag(const Exiv2::ExifData &exif, const char *key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->count() == 0)
        return std::nullopt;
    const Exiv2::Rational r = it->toRational();
    if (r.second == 0)
        return std::nullopt;
    return double(r.first) / double(r.second);
}

QString textTag(const Exiv2::ExifData &exif, const char *key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end())
        return {};
    return QString::fromStdString(it->toString()).trimmed().remove(QChar(0));
}

void readPhoto(const std::filesystem::path &file, ShootingInfo &info)
{
    try {
        auto image = Exiv2Runtime::openStill(file);
        if (!image.get())
            return;
        image->readMetadata();
        const Exiv2::ExifData &exif = image->exifData();
        if (const QString date = textTag(exif, "Exif.Photo.DateTimeOriginal"); !date.isEmpty())
            info.captured = parseExifDate(date);
        const QString make = textTag(exif, "Exif.Image.Make");
        const QString model = textTag(exif, "Exif.Image.Model");
        info.camera = cameraName(make, model);
        info.lens = textTag(exif, "Exif.Photo.LensModel");
        info.exposureSeconds = rationalTag(exif, "Exif.Photo.ExposureTime");
        info.fNumber = rationalTag(exif, "Exif.Photo.FNumber");
        info.focalLengthMm = rationalTag(exif, "Exif.Photo.FocalLength");
        info.exposureBiasEv = rationalTag(exif, "Exif.Photo.ExposureBiasValue");
        if (const auto it = Exiv2::isoSpeed(exif); it != exif.end() && it->count() > 0 && Exiv2Compat::toInteger(*it) > 0)
            info.iso = int(Exiv2Compat::toInteger(*it));
        int width = image->pixelWidth();
        int height = image->pixelHeight();
        if (const auto it = Exiv2::orientation(exif);
            it != exif.end() && it->count() > 0 && Exiv2Compat::toInteger(*it) >= 5 && Exiv2Compat::toInteger(*it) <= 8)
            std::swap(width, height);
        if (width > 0 && height > 0)
            info.size = QSize(width, height);
    } catch (...) {
        // Damaged metadata: what was read before stays, the rest stays empty.
    }
}

void readVideo(const std::filesystem::path &file, ShootingInfo &info)
{
    try {
        const ffi::InputFormatPtr input = LibavSupport::openInput(file);
        if (input->duration > 0)
            info.durationSeconds = double(input->duration) / AV_TIME_BASE;
        const AVStream *video = LibavSupport::videoStream(input.get());
        if (!video)
            return;
        const AVRational rate = av_guess_frame_rate(input.get(), const_cast<AVStream *>(video), nullptr);
        if (rate.num > 0 && rate.den > 0)
            info.framesPerSecond = av_q2d(rate);
        const AVCodecDescriptor *codec = avcodec_descriptor_get(video->codecpar->codec_id);
        if (codec)
            // The long name's first part: "H.264", "H.265", not "H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10".
            info.codec = QString::fromLatin1(codec->long_name ? codec->long_name : codec->name)
                             .section(QStringLiteral(" / "), 0, 0);
        QSize stored(video->codecpar->width, video->codecpar->height);
        if (DisplayOrientation::of(video).rotation % 180 != 0)
            stored.transpose();
        if (!stored.isEmpty())
            info.size = stored;
    } catch (const DecodeError &) {
    }
}

} // namespace

ShootingInfo ShootingInfo::read(const std::filesystem::path &file, bool isVideo)
{
    ShootingInfo info;
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(file, ec);
    info.fileBytes = ec ? 0 : int64_t(bytes);
    if (isVideo)
        readVideo(file, info);
    else
        readPhoto(file, info);
    return info;
}

} // namespace vorlane
