#include "catalogue/clip_date.h"

#include "catalogue/iso_boxes.h"

#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cstdint>

namespace vorlane {
namespace {

using IsoBoxes::bigEndian32;
using IsoBoxes::fourCc;

constexpr int kMaxBoxes = 4096;
// Seconds from 1904-01-01 (the QuickTime epoch) to 1970-01-01.
constexpr int64_t kQuickTimeToUnix = 2082844800;

} // namespace

std::optional<QDateTime> clipCreationTime(const std::filesystem::path &path)
{
    const PositionedFile file(path);
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

} // namespace vorlane
