#include "catalogue/clip_date.h"

#include "catalogue/iso_boxes.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

using namespace Qt::StringLiterals;

namespace vorlane {
namespace {

using IsoBoxes::bigEndian32;
using IsoBoxes::fourCc;

constexpr int kMaxBoxes = 4096;
// Seconds from 1904-01-01 (the QuickTime epoch) to 1970-01-01.
constexpr int64_t kQuickTimeToUnix = 2082844800;
// Cameras write the date as one short line (26 bytes with its newline and NUL); no more is read.
constexpr int64_t kMaxDateText = 64;

std::optional<QDateTime> isoCreationTime(const PositionedFile &file)
{
    if (file.size() < 16)
        return std::nullopt;
    // Only an ISO base media file: its first box is a file type or one of QuickTime's leading boxes.
    const auto first = IsoBoxes::boxAt(file, 0, file.size());
    if (!first)
        return std::nullopt;
    static constexpr std::array<uint32_t, 6> leading{fourCc("ftyp"), fourCc("moov"), fourCc("wide"),
                                                     fourCc("free"), fourCc("skip"), fourCc("mdat")};
    if (std::find(leading.begin(), leading.end(), first->type) == leading.end())
        return std::nullopt;

    int budget = kMaxBoxes;
    const auto moov = IsoBoxes::findBox(file, 0, file.size(), fourCc("moov"), budget);
    const auto mvhd = moov ? IsoBoxes::findBox(file, moov->body, moov->end, fourCc("mvhd"), budget) : std::nullopt;
    unsigned char body[12];
    if (!mvhd || mvhd->end - mvhd->body < 12 || !file.readAll(mvhd->body, body, sizeof body))
        return std::nullopt;
    const uint8_t version = body[0];
    uint64_t seconds = 0;
    if (version == 0)
        seconds = bigEndian32(body + 4);
    else if (version == 1)
        seconds = uint64_t(bigEndian32(body + 4)) << 32 | bigEndian32(body + 8);
    else
        return std::nullopt;
    // 0 is "not set"; anything before 1970 or in the far future is a camera without a clock.
    const int64_t unix = int64_t(seconds) - kQuickTimeToUnix;
    if (seconds == 0 || seconds > uint64_t(INT64_MAX) || unix <= 0 || unix > int64_t(4102444800)) // 2100-01-01
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(unix, QTimeZone::utc());
}

uint32_t littleEndian32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

struct Chunk
{
    char id[4];
    int64_t body = 0; // first byte after the header
    int64_t end = 0;  // just past the data, before any pad byte
    int64_t next = 0; // where the next chunk starts: data of odd length is padded to an even one

    bool is(const char (&name)[5]) const { return std::memcmp(id, name, 4) == 0; }
};

// The chunk whose header starts at offset, inside a list ending at limit; nullopt when its size does not fit.
std::optional<Chunk> chunkAt(const PositionedFile &file, int64_t offset, int64_t limit)
{
    unsigned char header[8];
    if (offset + 8 > limit || !file.readAll(offset, header, sizeof header))
        return std::nullopt;
    const int64_t size = littleEndian32(header + 4);
    if (size > limit - offset - 8)
        return std::nullopt;
    Chunk chunk;
    std::memcpy(chunk.id, header, 4);
    chunk.body = offset + 8;
    chunk.end = chunk.body + size;
    chunk.next = chunk.end + (size & 1);
    return chunk;
}

// A list's type: the four bytes that open its data.
bool listOf(const PositionedFile &file, const Chunk &chunk, const char (&type)[5])
{
    char read[4];
    return chunk.is("LIST") && chunk.end - chunk.body >= 4 && file.readAll(chunk.body, read, 4)
        && std::memcmp(read, type, 4) == 0;
}

// "MON SEP 10 20:52:00 2012" (C's asctime, in any case), or "2012/09/10 20:52:00" and its EXIF form with
// colons. Nothing unless the whole text, less the newline and NULs that end it, is one valid date.
std::optional<QDateTime> parseRiffDate(QString text)
{
    while (!text.isEmpty() && (text.back() == QChar(0) || text.back().isSpace()))
        text.chop(1);
    static const QRegularExpression asctime(
        uR"(^[A-Za-z]{3} +([A-Za-z]{3}) +(\d{1,2}) +(\d{1,2}):(\d{2}):(\d{2}) +(\d{4})$)"_s);
    static const QRegularExpression numeric(uR"(^(\d{4})([/:])(\d{2})\2(\d{2}) +(\d{1,2}):(\d{2}):(\d{2})$)"_s);
    static const QStringList months{u"jan"_s, u"feb"_s, u"mar"_s, u"apr"_s, u"may"_s, u"jun"_s,
                                    u"jul"_s, u"aug"_s, u"sep"_s, u"oct"_s, u"nov"_s, u"dec"_s};
    QDate date;
    QTime time;
    if (const auto m = asctime.match(text); m.hasMatch()) {
        const int month = int(months.indexOf(m.captured(1).toLower())) + 1;
        date = QDate(m.captured(6).toInt(), month, m.captured(2).toInt());
        time = QTime(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(5).toInt());
    } else if (const auto n = numeric.match(text); n.hasMatch()) {
        date = QDate(n.captured(1).toInt(), n.captured(3).toInt(), n.captured(4).toInt());
        time = QTime(n.captured(5).toInt(), n.captured(6).toInt(), n.captured(7).toInt());
    }
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

// The IDIT chunk among the chunks from..to, looking into the header list (hdrl) when intoHeader; nullopt when
// there is none or a chunk on the way lies about its size. The media list is skipped by its size, never read.
std::optional<Chunk> findDate(const PositionedFile &file, int64_t from, int64_t to, bool intoHeader, int &budget)
{
    for (int64_t at = from; at < to && budget-- > 0;) {
        const auto chunk = chunkAt(file, at, to);
        if (!chunk)
            return std::nullopt;
        if (chunk->is("IDIT"))
            return chunk;
        if (intoHeader && listOf(file, *chunk, "hdrl")) {
            if (const auto date = findDate(file, chunk->body + 4, chunk->end, false, budget))
                return date;
        }
        at = chunk->next;
    }
    return std::nullopt;
}

std::optional<QDateTime> aviTime(const PositionedFile &file)
{
    unsigned char head[12];
    if (!file.readAll(0, head, sizeof head) || std::memcmp(head, "RIFF", 4) != 0
        || std::memcmp(head + 8, "AVI ", 4) != 0)
        return std::nullopt;
    // A file cut short keeps the size it was meant to have: its chunks are read as far as the file goes.
    const int64_t end = std::min(int64_t(littleEndian32(head + 4)) + 8, file.size());
    int budget = kMaxBoxes;
    // Cameras put it in the header list (hdrl) after the stream lists; a few write it beside that list.
    const auto idit = findDate(file, 12, end, true, budget);
    if (!idit)
        return std::nullopt;
    char text[kMaxDateText];
    const size_t length = size_t(std::min(idit->end - idit->body, kMaxDateText));
    if (!file.readAll(idit->body, text, length))
        return std::nullopt;
    return parseRiffDate(QString::fromLatin1(text, qsizetype(length)));
}

} // namespace

std::optional<QDateTime> clipCreationTime(const std::filesystem::path &path)
{
    return isoCreationTime(PositionedFile(path));
}

std::optional<QDateTime> clipRecordingTime(const std::filesystem::path &path)
{
    const PositionedFile file(path);
    char magic[4];
    if (file.readAll(0, magic, sizeof magic) && std::memcmp(magic, "RIFF", 4) == 0)
        return aviTime(file);
    return isoCreationTime(file);
}

} // namespace vorlane
