#include "catalogue/copy_provenance.h"

#include "catalogue/iso_boxes.h"

#include <QCryptographicHash>

#include <sys/stat.h>

#include <algorithm>
#include <array>

namespace vorlane::CopyProvenance {
namespace {

using IsoBoxes::bigEndian32;
using IsoBoxes::findBox;
using IsoBoxes::fourCc;

constexpr QByteArrayView kPrefix = "vorlane-source ";
constexpr size_t kMaxRecordBytes = 1024;

std::optional<Source> fromJpeg(const PositionedFile &file)
{
    // A copy's comment comes first after its start marker; other writers' segments may come before it.
    std::array<unsigned char, 16 * 1024> head{};
    const size_t n = file.read(0, head.data(), head.size());
    if (n < 4 || head[0] != 0xFF || head[1] != 0xD8)
        return std::nullopt;
    size_t pos = 2;
    while (pos + 4 <= n) {
        if (head[pos] != 0xFF)
            return std::nullopt;
        const unsigned char marker = head[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) // start of scan, end of image: no more metadata
            return std::nullopt;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // segments without a length
            pos += 2;
            continue;
        }
        const size_t length = size_t(head[pos + 2]) << 8 | head[pos + 3];
        if (length < 2)
            return std::nullopt;
        if (marker == 0xFE && pos + 2 + length <= n) {
            const QByteArrayView text(reinterpret_cast<const char *>(head.data()) + pos + 4, qsizetype(length - 2));
            if (auto source = fromText(text))
                return source;
        }
        pos += 2 + length;
    }
    return std::nullopt;
}

std::optional<Source> fromMp4(const PositionedFile &file)
{
    unsigned char start[8];
    if (file.read(0, start, 8) != 8 || bigEndian32(start + 4) != fourCc("ftyp"))
        return std::nullopt;
    int budget = 4096;
    const auto moov = findBox(file, 0, file.size(), fourCc("moov"), budget);
    const auto udta = moov ? findBox(file, moov->body, moov->end, fourCc("udta"), budget) : std::nullopt;
    const auto meta = udta ? findBox(file, udta->body, udta->end, fourCc("meta"), budget) : std::nullopt;
    // meta is a full box: a version and flags come before its children.
    const auto ilst = meta ? findBox(file, meta->body + 4, meta->end, fourCc("ilst"), budget) : std::nullopt;
    const auto comment = ilst ? findBox(file, ilst->body, ilst->end,
                                        fourCc("\xa9"
                                               "cmt"),
                                        budget)
                              : std::nullopt;
    const auto data = comment ? findBox(file, comment->body, comment->end, fourCc("data"), budget) : std::nullopt;
    if (!data)
        return std::nullopt;
    const int64_t textStart = data->body + 8; // a type and a locale, then the text
    const int64_t length = data->end - textStart;
    if (length <= 0 || length > int64_t(kMaxRecordBytes))
        return std::nullopt;
    QByteArray text(qsizetype(length), Qt::Uninitialized);
    if (file.read(textStart, text.data(), size_t(length)) != size_t(length))
        return std::nullopt;
    return fromText(text);
}

} // namespace

std::optional<Source> of(const std::filesystem::path &original)
{
    const PositionedFile file(original);
    if (!file.isOpen())
        return std::nullopt;
    QByteArray head(qsizetype(std::min(file.size(), headBytes)), Qt::Uninitialized);
    if (file.read(0, head.data(), size_t(head.size())) != size_t(head.size()))
        return std::nullopt;
    return Source{file.size(), QCryptographicHash::hash(head, QCryptographicHash::Sha256).toHex()};
}

QByteArray toText(const Source &source)
{
    return kPrefix.toByteArray() + "size=" + QByteArray::number(qint64(source.size))
        + " head64k-sha256=" + source.headDigest;
}

std::optional<Source> fromText(QByteArrayView text)
{
    if (!text.startsWith(kPrefix) || size_t(text.size()) > kMaxRecordBytes)
        return std::nullopt;
    Source source;
    bool haveSize = false;
    for (const QByteArray &field : text.sliced(kPrefix.size()).toByteArray().trimmed().split(' ')) {
        if (field.startsWith("size=")) {
            source.size = field.sliced(5).toLongLong(&haveSize);
        } else if (field.startsWith("head64k-sha256=")) {
            source.headDigest = field.sliced(15);
        }
    }
    const bool hex = source.headDigest.size() == 64
        && std::all_of(source.headDigest.begin(), source.headDigest.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
    if (!haveSize || source.size < 0 || !hex)
        return std::nullopt;
    return source;
}

std::string withJpegComment(std::string_view jpeg, const Source &source)
{
    if (jpeg.size() < 2 || uint8_t(jpeg[0]) != 0xFF || uint8_t(jpeg[1]) != 0xD8)
        return std::string(jpeg);
    const QByteArray text = toText(source);
    const size_t length = size_t(text.size()) + 2;
    std::string out;
    out.reserve(jpeg.size() + length + 2);
    out.append(jpeg.substr(0, 2));
    out.push_back(char(0xFF));
    out.push_back(char(0xFE));
    out.push_back(char(length >> 8));
    out.push_back(char(length & 0xFF));
    out.append(text.constData(), size_t(text.size()));
    out.append(jpeg.substr(2));
    return out;
}

std::optional<Source> recordedIn(const std::filesystem::path &copy)
{
    const PositionedFile file(copy);
    if (!file.isOpen())
        return std::nullopt;
    if (auto source = fromJpeg(file))
        return source;
    return fromMp4(file);
}

Verdict judge(const std::filesystem::path &copy, const QList<std::filesystem::path> &originals)
{
    const std::optional<Source> recorded = recordedIn(copy);
    if (!recorded)
        return Verdict::Unrecorded;
    for (const std::filesystem::path &original : originals) {
        struct stat st
        {
        };
        if (::stat(original.c_str(), &st) != 0 || int64_t(st.st_size) != recorded->size)
            continue; // another size: another file, without reading it
        if (of(original) == recorded)
            return Verdict::Own;
    }
    return Verdict::Another;
}

} // namespace vorlane::CopyProvenance
