#include "catalogue/copy_provenance.h"

#include "catalogue/iso_boxes.h"

#include <QCryptographicHash>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace vorlane::CopyProvenance {
namespace {

using IsoBoxes::bigEndian32;
using IsoBoxes::findBox;
using IsoBoxes::fourCc;

constexpr QByteArrayView kPrefix = "vorlane-source ";
constexpr qsizetype kMaxRecordBytes = 8 * 1024;
// Segments looked at before the first scan: a JPEG holds a handful; a file of thousands is not a copy.
constexpr int kMaxSegments = 4096;

QByteArray sha256(QByteArrayView bytes) { return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(); }

std::optional<Record> fromJpeg(const PositionedFile &file)
{
    unsigned char start[2];
    if (!file.readAll(0, start, 2) || start[0] != 0xFF || start[1] != 0xD8)
        return std::nullopt;
    int64_t pos = 2;
    for (int segments = 0; segments < kMaxSegments; ++segments) {
        unsigned char header[4];
        if (!file.readAll(pos, header, 2) || header[0] != 0xFF)
            return std::nullopt;
        const unsigned char marker = header[1];
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
        if (!file.readAll(pos + 2, header + 2, 2))
            return std::nullopt;
        const int64_t length = int64_t(header[2]) << 8 | header[3];
        if (length < 2)
            return std::nullopt;
        if (marker == 0xFE && length - 2 <= kMaxRecordBytes && length - 2 >= kPrefix.size()) {
            QByteArray text(qsizetype(length - 2), Qt::Uninitialized);
            if (file.readAll(pos + 4, text.data(), size_t(text.size()))) {
                if (auto record = fromText(text))
                    return record;
            }
        }
        pos += 2 + length;
    }
    return std::nullopt;
}

std::optional<Record> fromMp4(const PositionedFile &file)
{
    unsigned char start[8];
    if (!file.readAll(0, start, 8) || bigEndian32(start + 4) != fourCc("ftyp"))
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
    if (!file.readAll(textStart, text.data(), size_t(length)))
        return std::nullopt;
    return fromText(text);
}

bool isHexDigest(const QByteArray &digest)
{
    return digest.size() == 64
        && std::all_of(digest.begin(), digest.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::optional<Source> sourceFromLine(QByteArrayView line)
{
    if (!line.startsWith(kPrefix))
        return std::nullopt;
    Source source;
    bool haveSize = false;
    for (const QByteArray &field : line.sliced(kPrefix.size()).toByteArray().trimmed().split(' ')) {
        if (field.startsWith("size="))
            source.size = field.sliced(5).toLongLong(&haveSize);
        else if (field.startsWith("head64k-sha256="))
            source.headDigest = field.sliced(15);
        else if (field.startsWith("tail64k-sha256="))
            source.tailDigest = field.sliced(15);
        else if (field.startsWith("sha256="))
            source.fullDigest = field.sliced(7);
    }
    const bool legacy = source.tailDigest.isEmpty() && source.fullDigest.isEmpty();
    if (!haveSize || source.size < 0 || !isHexDigest(source.headDigest)
        || (!legacy && (!isHexDigest(source.tailDigest) || !isHexDigest(source.fullDigest))))
        return std::nullopt;
    return source;
}

// How one original stands against a record's entries.
enum class Match { Matches, Differs, Unreadable };

Match quickMatch(const std::filesystem::path &original, const Record &record)
{
    struct stat st
    {
    };
    if (::stat(original.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Match::Differs : Match::Unreadable;
    if (!S_ISREG(st.st_mode))
        return Match::Differs;
    const bool sizeKnown = std::any_of(record.files.begin(), record.files.end(),
                                       [&](const Source &s) { return s.size == int64_t(st.st_size); });
    if (!sizeKnown)
        return Match::Differs; // another size: another file, without reading it
    const std::optional<Source> now = of(original);
    if (!now)
        return Match::Unreadable;
    for (const Source &recorded : record.files) {
        if (recorded.size == now->size && recorded.headDigest == now->headDigest
            && (recorded.isLegacy() || recorded.tailDigest == now->tailDigest))
            return Match::Matches;
    }
    return Match::Differs;
}

// Legacy records named one file: the copy is the cell's when any original is that file.
// Full records name every file of the cell: each original must be one of them.
Verdict combine(const QList<Match> &matches, bool legacy)
{
    if (legacy) {
        if (matches.contains(Match::Matches))
            return Verdict::Own;
        return matches.contains(Match::Unreadable) ? Verdict::Unknown : Verdict::Another;
    }
    if (matches.isEmpty() || matches.contains(Match::Differs))
        return Verdict::Another;
    return matches.contains(Match::Unreadable) ? Verdict::Unknown : Verdict::Own;
}

bool isRegularFile(const std::filesystem::path &path)
{
    struct stat st
    {
    };
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

std::optional<Source> of(const std::filesystem::path &original)
{
    const PositionedFile file(original);
    if (!file.isOpen())
        return std::nullopt;
    const int64_t headSize = std::min(file.size(), headBytes);
    QByteArray head(qsizetype(headSize), Qt::Uninitialized);
    QByteArray tail(qsizetype(headSize), Qt::Uninitialized);
    if (!file.readAll(0, head.data(), size_t(head.size()))
        || !file.readAll(file.size() - headSize, tail.data(), size_t(tail.size())))
        return std::nullopt;
    return Source{file.size(), sha256(head), sha256(tail), {}};
}

std::optional<Source> fully(const std::filesystem::path &original, std::stop_token token,
                            const std::function<void(int64_t)> &onBytes)
{
    const int fd = ::open(original.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    QCryptographicHash whole(QCryptographicHash::Sha256);
    QByteArray head;
    QByteArray tail;
    std::vector<char> block(1 << 20);
    int64_t size = 0;
    bool ok = true;
    while (true) {
        if (token.stop_requested()) {
            ok = false;
            break;
        }
        const ssize_t n = ::read(fd, block.data(), block.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        const QByteArrayView bytes(block.data(), qsizetype(n));
        whole.addData(bytes);
        if (head.size() < headBytes)
            head.append(bytes.first(std::min<qsizetype>(bytes.size(), qsizetype(headBytes) - head.size())));
        tail.append(bytes.last(std::min<qsizetype>(bytes.size(), qsizetype(headBytes))));
        if (tail.size() > headBytes)
            tail.remove(0, tail.size() - qsizetype(headBytes));
        size += n;
        if (onBytes)
            onBytes(n);
    }
    ::close(fd);
    if (!ok)
        return std::nullopt;
    return Source{size, sha256(head), sha256(tail), whole.result().toHex()};
}

QByteArray toText(const Record &record)
{
    QByteArrayList lines;
    for (const Source &source : record.files) {
        QByteArray line = kPrefix.toByteArray() + "size=" + QByteArray::number(qint64(source.size))
            + " head64k-sha256=" + source.headDigest;
        if (!source.isLegacy())
            line += " tail64k-sha256=" + source.tailDigest + " sha256=" + source.fullDigest;
        lines.append(line);
    }
    return lines.join('\n');
}

std::optional<Record> fromText(QByteArrayView text)
{
    if (!text.startsWith(kPrefix) || text.size() > kMaxRecordBytes)
        return std::nullopt;
    Record record;
    for (const QByteArray &line : text.toByteArray().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const std::optional<Source> source = sourceFromLine(line);
        if (!source)
            return std::nullopt;
        record.files.append(*source);
    }
    // One legacy line alone, or full lines only: anything else is not a record this program wrote.
    const bool anyLegacy = std::any_of(record.files.begin(), record.files.end(), [](const Source &s) { return s.isLegacy(); });
    if (record.files.isEmpty() || (anyLegacy && record.files.size() > 1))
        return std::nullopt;
    return record;
}

std::string withJpegComment(std::string_view jpeg, const QByteArray &text)
{
    if (jpeg.size() < 2 || uint8_t(jpeg[0]) != 0xFF || uint8_t(jpeg[1]) != 0xD8 || text.size() > 65533)
        return std::string(jpeg);
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

std::optional<Record> recordedIn(const std::filesystem::path &copy)
{
    const PositionedFile file(copy);
    if (!file.isOpen())
        return std::nullopt;
    if (auto record = fromJpeg(file))
        return record;
    return fromMp4(file);
}

Verdict judge(const std::filesystem::path &copy, const QList<std::filesystem::path> &originals)
{
    if (!isRegularFile(copy))
        return Verdict::Absent;
    const std::optional<Record> recorded = recordedIn(copy);
    if (!recorded)
        return Verdict::Unrecorded;
    QList<Match> matches;
    for (const std::filesystem::path &original : originals)
        matches.append(quickMatch(original, *recorded));
    return combine(matches, recorded->isLegacy());
}

Verdict verify(const std::filesystem::path &copy, const QList<std::filesystem::path> &originals,
               std::stop_token token, const std::function<void(int64_t)> &onBytes)
{
    const Verdict quick = judge(copy, originals);
    if (quick != Verdict::Own)
        return quick;
    const std::optional<Record> recorded = recordedIn(copy);
    if (!recorded || recorded->isLegacy())
        return quick; // nothing more is recorded to check against
    QList<Match> matches;
    for (const std::filesystem::path &original : originals) {
        const std::optional<Source> now = fully(original, token, onBytes);
        if (token.stop_requested())
            return Verdict::Unknown;
        if (!now) {
            matches.append(Match::Unreadable);
            continue;
        }
        const bool same = std::any_of(recorded->files.begin(), recorded->files.end(), [&](const Source &s) {
            return s.size == now->size && s.fullDigest == now->fullDigest;
        });
        matches.append(same ? Match::Matches : Match::Differs);
    }
    return combine(matches, false);
}

} // namespace vorlane::CopyProvenance
