#include "copies/image_compressor.h"

#include "media/image_decoder.h"

#include "catalogue/bside_path_resolver.h"
#include "catalogue/copy_provenance.h"
#include "copies/atomic_file.h"
#include "copies/copy_error.h"
#include "copies/quality_ladder.h"
#include "core/cancellation.h"
#include "media/decode_error.h"
#include "media/ffi/vips_blob.h"
#include "media/image_geometry.h"
#include "media/image_pipeline.h"

namespace vorlane::ImageCompressor {
namespace {

std::string displayName(const std::filesystem::path &path) { return path.filename().string(); }

// One JPEG encode of the in-memory bitmap: baseline, 4:2:0 below Q 90 (libvips' default), no metadata.
std::optional<std::string> encodeJpeg(const vips::VImage &picture, int quality)
{
    try {
        const VipsBlobPtr blob(picture.jpegsave_buffer(vips::VImage::option()->set("Q", quality)->set("strip", true)));
        const std::string_view bytes = blobBytes(blob);
        if (bytes.empty())
            return std::nullopt;
        return std::string(bytes);
    } catch (const vips::VError &) {
        vips_error_clear();
        return std::nullopt;
    }
}

} // namespace

QSize targetSize(int width, int height)
{
    const auto size = ImageGeometry::fitWithin(width, height, maxLongEdge);
    return {size.width, size.height};
}

namespace {

CopyInfo encode(const std::filesystem::path &source, const std::filesystem::path &destination,
                const std::optional<std::filesystem::path> &preferSource, const std::stop_token &token,
                QByteArray record)
{
    checkCancellation(token);
    const auto decodeToCopySize = [&](const std::filesystem::path &input) {
        vips::VImage picture = ImageDecoder::decode(input, maxLongEdge, token);
        // The decoder already scales to the copy size; a picture from elsewhere would be scaled here.
        const QSize size = targetSize(picture.width(), picture.height());
        if (size != QSize(picture.width(), picture.height()))
            picture = ImagePipeline::fromImage(picture, maxLongEdge, 1, token);
        return picture;
    };

    const std::filesystem::path *input = preferSource ? &*preferSource : &source;
    vips::VImage picture;
    try {
        picture = decodeToCopySize(*input);
    } catch (const DecodeError &error) {
        // Over the memory budget is not broken: such a file stays TooLarge, never DecodeFailed.
        const bool tooLarge = error.kind() == DecodeError::Kind::TooLarge;
        const Phrase reason = tooLarge
            ? Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase", "the picture \"%1\" is too large to copy (%2 x %3 pixels)"),
                     {Phrase::verbatim(displayName(*input)), Phrase::verbatim(QString::number(error.size().width())),
                      Phrase::verbatim(QString::number(error.size().height()))})
            : Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase", "cannot decode \"%1\": %2"),
                     {Phrase::verbatim(displayName(*input)), error.reason()});
        if (!preferSource || *preferSource == source)
            throw CopyError(tooLarge ? CopyError::Reason::TooLarge : CopyError::Reason::DecodeFailed, reason);
        // The image of a RAW+image pair is damaged or too large: the RAW's own previews or sensor data still
        // make a copy.
        try {
            picture = decodeToCopySize(source);
            input = &source;
        } catch (const DecodeError &rawError) {
            const bool eitherTooLarge = tooLarge || rawError.kind() == DecodeError::Kind::TooLarge;
            throw CopyError(eitherTooLarge ? CopyError::Reason::TooLarge : CopyError::Reason::DecodeFailed,
                            Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase", "%1; cannot decode \"%2\" either: %3"),
                                   {reason, Phrase::verbatim(displayName(source)), rawError.reason()}));
        }
    }

    checkCancellation(token);
    ensureParentDir(destination);
    checkCancellation(token);
    // The copy names the files it was made from, so a later photo under the same name is not taken for it;
    // the rung is chosen with that record's segment counted in.
    if (record.isEmpty()) {
        const auto identity = CopyProvenance::fully(*input, token);
        checkCancellation(token);
        if (!identity)
            throw CopyError(CopyError::Reason::ReadFailed, Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase", "cannot read \"%1\" again"),
                                                                  {Phrase::verbatim(displayName(*input))}));
        record = CopyProvenance::toText({{*identity}});
    }
    const int64_t recordBytes = int64_t(record.size()) + 4; // the comment segment's marker and length
    const auto rung = QualityLadder::walk([&](int quality) { return encodeJpeg(picture, quality); },
                                          targetBytes - recordBytes, token);
    if (!rung) {
        throw CopyError(CopyError::Reason::WriteFailed,
                        Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase", "cannot encode a JPEG copy of \"%1\""),
                               {Phrase::verbatim(displayName(*input))}));
    }
    const std::string bytes = CopyProvenance::withJpegComment(rung->bytes, record);
    checkCancellation(token);
    writeFileAtomically(destination, bytes);
    return {picture.width(), picture.height(), int64_t(bytes.size()), rung->quality};
}

} // namespace

CopyInfo compress(const std::filesystem::path &source, const std::filesystem::path &destination,
                  const std::optional<std::filesystem::path> &preferSource, std::stop_token token,
                  const QByteArray &record)
{
    try {
        return encode(source, destination, preferSource, token, record);
    } catch (const std::filesystem::filesystem_error &error) {
        throw CopyError::fromFileSystem(error);
    }
}

} // namespace vorlane::ImageCompressor
