#include "catalogue/focus_points.h"

#include "catalogue/exiv2_runtime.h"
#include "catalogue/iso_boxes.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <array>
#include <cmath>

namespace vorlane::FocusPoints {
namespace {

using IsoBoxes::fourCc;

// Maker-note records are small; a tag claiming more is not one.
constexpr size_t kMaxWords = 16384;
constexpr size_t kMaxIfdEntries = 1024;
// A record's head, or a CR3 maker-note box, read at most this far.
constexpr size_t kMaxHead = size_t(4) << 20;
// The size given to a point whose camera records only its centre, as a fraction of the short edge.
constexpr double kPointSize = 0.06;

uint16_t word(std::span<const unsigned char> b, size_t at, bool bigEndian)
{
    return bigEndian ? uint16_t(b[at] << 8 | b[at + 1]) : uint16_t(b[at + 1] << 8 | b[at]);
}

uint32_t dword(std::span<const unsigned char> b, size_t at, bool bigEndian)
{
    const uint32_t hi = word(b, at, bigEndian), lo = word(b, at + 2, bigEndian);
    return bigEndian ? hi << 16 | lo : lo << 16 | hi;
}

struct Entry
{
    uint16_t type = 0;
    size_t count = 0;
    size_t valueAt = 0; // where the value starts within the bytes
};

// The entry of a tag in the IFD at ifdOffset; its value lies within the bytes, or there is no entry.
std::optional<Entry> findEntry(std::span<const unsigned char> b, bool bigEndian, size_t ifdOffset, uint16_t tag,
                               size_t unitSize)
{
    if (ifdOffset > b.size() || b.size() - ifdOffset < 2)
        return std::nullopt;
    const size_t count = word(b, ifdOffset, bigEndian);
    if (count > kMaxIfdEntries || (b.size() - ifdOffset - 2) / 12 < count)
        return std::nullopt;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = ifdOffset + 2 + 12 * i;
        if (word(b, at, bigEndian) != tag)
            continue;
        Entry e{word(b, at + 2, bigEndian), dword(b, at + 4, bigEndian), 0};
        if (e.count > kMaxWords * 2)
            return std::nullopt;
        const size_t bytes = e.count * unitSize;
        e.valueAt = bytes <= 4 ? at + 8 : dword(b, at + 8, bigEndian);
        if (e.valueAt > b.size() || b.size() - e.valueAt < bytes)
            return std::nullopt;
        return e;
    }
    return std::nullopt;
}

bool bit(std::span<const uint16_t> words, size_t from, size_t index)
{
    const size_t at = from + index / 16;
    return at < words.size() && (words[at] >> (index % 16) & 1);
}

FocusPoint pointAt(double x, double y, double w, double h, bool inFocus, bool selected)
{
    return FocusPoint{x, y, w, h, inFocus, selected};
}

// A point with no size of its own gets a square of kPointSize of the frame's short edge.
FocusPoint centredPoint(double x, double y, double frameWidth, double frameHeight, bool inFocus, bool selected)
{
    const double edge = kPointSize * std::min(frameWidth, frameHeight);
    return pointAt(x, y, edge / frameWidth, edge / frameHeight, inFocus, selected);
}

std::optional<std::string> exifText(const Exiv2::ExifData &exif, const char *key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end())
        return std::nullopt;
    return it->toString();
}

// A datum by tag number within an exiv2 group: the same datum whatever name an exiv2 version gives it.
const Exiv2::Exifdatum *datum(const Exiv2::ExifData &exif, uint16_t tag, const char *group)
{
    try {
        const auto it = exif.findKey(Exiv2::ExifKey(tag, group));
        return it == exif.end() ? nullptr : &*it;
    } catch (const Exiv2Compat::Error &) {
        return nullptr; // a group this exiv2 does not know
    }
}

const Exiv2::Exifdatum *named(const Exiv2::ExifData &exif, const char *key)
{
    try {
        const auto it = exif.findKey(Exiv2::ExifKey(key));
        return it == exif.end() ? nullptr : &*it;
    } catch (const Exiv2Compat::Error &) {
        return nullptr;
    }
}

int64_t integer(const Exiv2::Exifdatum *d, size_t n = 0)
{
    return d && size_t(d->count()) > n ? Exiv2Compat::toInteger(*d, n) : 0;
}

std::vector<unsigned char> bytesOf(const Exiv2::Exifdatum &d)
{
    std::vector<unsigned char> out(d.size());
    if (!out.empty())
        d.copy(out.data(), Exiv2::littleEndian);
    return out;
}

std::vector<uint16_t> wordsOf(const Exiv2::Exifdatum &d)
{
    std::vector<uint16_t> out;
    const size_t n = std::min<size_t>(d.count(), kMaxWords);
    out.reserve(n);
    for (size_t i = 0; i < n; ++i)
        out.push_back(uint16_t(Exiv2Compat::toInteger(d, i)));
    return out;
}

std::vector<unsigned char> readHead(const PositionedFile &file, int64_t from, int64_t to)
{
    const int64_t n = std::clamp<int64_t>(to - from, 0, int64_t(kMaxHead));
    std::vector<unsigned char> bytes(static_cast<size_t>(n));
    bytes.resize(file.read(from, bytes.data(), bytes.size()));
    return bytes;
}

// A TIFF header's byte order and first IFD.
std::optional<std::pair<bool, size_t>> tiffHeader(std::span<const unsigned char> b)
{
    if (b.size() < 8 || b[0] != b[1] || (b[0] != 'I' && b[0] != 'M'))
        return std::nullopt;
    const bool bigEndian = b[0] == 'M';
    if (word(b, 2, bigEndian) != 42)
        return std::nullopt;
    return std::pair{bigEndian, size_t(dword(b, 4, bigEndian))};
}

bool isEos(const std::string &model) { return model.find("EOS") != std::string::npos; }

// Nikon's 11-point layout, in the order of the first AF information record (centre, top, bottom, mid-left,
// mid-right, upper-left, upper-right, lower-left, lower-right, far left, far right), on a 3:2 frame.
constexpr std::array<std::pair<double, double>, 11> kNikon11{{{0.5, 0.5},
                                                               {0.5, 0.32},
                                                               {0.5, 0.68},
                                                               {0.34, 0.5},
                                                               {0.66, 0.5},
                                                               {0.34, 0.37},
                                                               {0.66, 0.37},
                                                               {0.34, 0.63},
                                                               {0.66, 0.63},
                                                               {0.2, 0.5},
                                                               {0.8, 0.5}}};
// The second record numbers the same points from 1 in another order.
constexpr std::array<int, 11> kNikon11Second{0, 1, 2, 3, 5, 7, 9, 4, 6, 8, 10};

Frame nikonFrame(const Exiv2::ExifData &exif)
{
    Frame frame{3, 2, {}};
    if (const auto *phase = named(exif, "Exif.NikonAf2.PhaseDetectAF")) {
        const auto *imageWidth = named(exif, "Exif.NikonAf2.AFImageWidth");
        const auto *imageHeight = named(exif, "Exif.NikonAf2.AFImageHeight");
        const double w = double(integer(imageWidth)), h = double(integer(imageHeight));
        if (integer(named(exif, "Exif.NikonAf2.ContrastDetectAF")) && w > 0 && h > 0) {
            // Live view: one area, its centre and size in the AF image.
            const double x = double(integer(named(exif, "Exif.NikonAf2.AFAreaXPosition")));
            const double y = double(integer(named(exif, "Exif.NikonAf2.AFAreaYPosition")));
            const double aw = double(integer(named(exif, "Exif.NikonAf2.AFAreaWidth")));
            const double ah = double(integer(named(exif, "Exif.NikonAf2.AFAreaHeight")));
            if (x > 0 && y > 0 && aw > 0 && ah > 0) {
                const bool inFocus = integer(named(exif, "Exif.NikonAf2.ContrastDetectAFInFocus")) != 0;
                return Frame{w, h, {pointAt(x / w, y / h, aw / w, ah / h, inFocus, true)}};
            }
        }
        if (integer(phase) != 2) // only the 11-point layout is known here
            return frame;
        const int primary = int(integer(named(exif, "Exif.NikonAf2.PrimaryAFPoint")));
        const auto *used = named(exif, "Exif.NikonAf2.AFPointsUsed");
        for (size_t n = 0; n < kNikon11Second.size(); ++n) {
            const bool inFocus = used && size_t(used->count()) > n / 8 && (integer(used, n / 8) >> (n % 8) & 1);
            const bool selected = primary == int(n) + 1;
            const auto [x, y] = kNikon11[size_t(kNikon11Second[n])];
            frame.points.push_back(centredPoint(x, y, 3, 2, inFocus, selected));
        }
        return frame;
    }
    // The first AF record: area mode, the point chosen, and the points in focus as a big-endian word. exiv2
    // decodes it for the newer maker notes (reading that word in the note's order) and keeps the older
    // compacts' as four raw bytes.
    std::optional<std::pair<int64_t, uint16_t>> record;
    if (const auto *point = named(exif, "Exif.NikonAf.AFPoint")) {
        const auto raw = uint16_t(integer(named(exif, "Exif.NikonAf.AFPointsInFocus")));
        record = {integer(point), uint16_t(raw << 8 | raw >> 8)};
    } else if (const auto *bytes = datum(exif, 0x0088, "Nikon1"); bytes && bytes->size() >= 4) {
        const auto b = bytesOf(*bytes);
        record = {b[1], word(b, 2, true)};
    }
    if (record) {
        for (size_t n = 0; n < kNikon11.size(); ++n) {
            const auto [x, y] = kNikon11[n];
            frame.points.push_back(centredPoint(x, y, 3, 2, record->second >> n & 1, record->first == int64_t(n)));
        }
    }
    return frame;
}

Frame sonyFrame(const Exiv2::ExifData &exif)
{
    Frame frame;
    for (const char *group : {"Sony1", "Sony2"}) {
        const auto *location = datum(exif, 0x2027, group);
        if (!location || location->count() < 4)
            continue;
        const double w = double(integer(location, 0)), h = double(integer(location, 1));
        const double x = double(integer(location, 2)), y = double(integer(location, 3));
        if (w <= 0 || h <= 0 || x <= 0 || y <= 0 || x > w || y > h)
            continue;
        frame = Frame{w, h, {centredPoint(x / w, y / h, w, h, true, true)}};
        if (const auto *size = datum(exif, 0x2037, group); size && size->size() >= 6) {
            const auto b = bytesOf(*size);
            const double fw = word(b, 0, false), fh = word(b, 2, false);
            if (b[4] != 0 && fw > 0 && fh > 0 && fw <= w && fh <= h)
                frame.points[0].w = fw / w, frame.points[0].h = fh / h;
        }
        // The focal-plane phase points that found focus, on a grid of their own that spans the frame.
        if (const auto *used = datum(exif, 0x202a, group); used && used->size() >= 6) {
            const auto b = bytesOf(*used);
            const size_t count = b[1];
            const double gw = word(b, 2, false), gh = word(b, 4, false);
            if (b[0] == 1 && gw > 0 && gh > 0 && count <= (b.size() - 6) / 4) {
                for (size_t i = 0; i < count; ++i) {
                    const double px = word(b, 6 + 4 * i, false), py = word(b, 8 + 4 * i, false);
                    if (px <= gw && py <= gh)
                        frame.points.push_back(pointAt(px / gw, py / gh, 12 / gw, 12 / gh, true, false));
                }
            }
        }
        return frame;
    }
    return frame;
}

Frame panasonicFrame(const Exiv2::ExifData &exif)
{
    const auto *position = datum(exif, 0x004d, "Panasonic");
    if (!position || position->count() < 2)
        return {};
    const double x = position->toFloat(0), y = position->toFloat(1);
    if (!(x > 0 && x < 1 && y > 0 && y < 1))
        return {};
    const auto *pw = datum(exif, 0x0002, "PanasonicRaw"); // sensor size, when it is a RAW
    const auto *ph = datum(exif, 0x0003, "PanasonicRaw");
    const double w = pw ? double(integer(pw)) : 0, h = ph ? double(integer(ph)) : 0;
    Frame frame{0, 0, {centredPoint(x, y, w > 0 && h > 0 ? w : 4, w > 0 && h > 0 ? h : 3, true, true)}};
    return frame;
}

// The size of the largest picture the file's IFDs (or a RAW maker's own) describe.
void largestPicture(const Exiv2::ExifData &exif, int &width, int &height)
{
    for (const Exiv2::Exifdatum &d : exif) {
        if (d.tagName() != "ImageWidth" && d.tagName() != "PixelXDimension")
            continue;
        const bool pixel = d.tagName() == "PixelXDimension";
        const std::string group = d.groupName();
        const Exiv2::Exifdatum *other = nullptr;
        for (const char *name : {"ImageLength", "ImageHeight", "PixelYDimension"}) {
            if (!other && (std::string(name) == "PixelYDimension") == pixel)
                other = named(exif, ("Exif." + group + "." + name).c_str());
        }
        const int64_t w = integer(&d), h = integer(other);
        if (w > 0 && h > 0 && w < 100000 && h < 100000 && w * h > int64_t(width) * height)
            width = int(w), height = int(h);
    }
}

// The older Canon record lives in the maker note of a TIFF-based file; exiv2 keeps only a summary of it.
std::optional<std::vector<uint16_t>> canonOldRecord(const std::filesystem::path &file,
                                                    const Exiv2::ExifData &exif)
{
    const auto *offset = named(exif, "Exif.MakerNote.Offset");
    const auto order = exifText(exif, "Exif.MakerNote.ByteOrder");
    if (!offset || !order)
        return std::nullopt;
    const PositionedFile in(file);
    const auto head = readHead(in, 0, in.size());
    const auto tiff = tiffHeader(head);
    if (!tiff) // the maker note's offsets count from a TIFF header at the start of the file
        return std::nullopt;
    return tiffShorts(head, *order == "MM", size_t(integer(offset)), 0x0012);
}

Frame canonFrame(const std::filesystem::path &file, const Exiv2::ExifData &exif, const std::string &model)
{
    if (const auto *info = datum(exif, 0x0026, "Canon"); info && info->count() > 8)
        return canonAfInfo(wordsOf(*info), false, isEos(model));
    if (const auto old = canonOldRecord(file, exif))
        return canonAfInfo(*old, true, isEos(model));
    return {};
}

struct Read
{
    Frame frame;
    int orientation = 1;
    int width = 0; // the stored picture's pixels, when recorded
    int height = 0;
};

// A CR3 keeps its TIFF-ordered maker notes in boxes of its own (CMT1 the main IFD, CMT3 Canon's notes),
// which the exiv2 of Debian 12 and 13 cannot open in many real files. Only the two records needed are read.
std::optional<Read> readCr3(const std::filesystem::path &path)
{
    const PositionedFile file(path);
    const auto ftyp = IsoBoxes::boxAt(file, 0, file.size());
    unsigned char brand[4];
    if (!ftyp || ftyp->type != fourCc("ftyp") || !file.readAll(ftyp->body, brand, 4)
        || IsoBoxes::bigEndian32(brand) != fourCc("crx "))
        return std::nullopt;
    int budget = 64;
    const auto moov = IsoBoxes::findBox(file, 0, file.size(), fourCc("moov"), budget);
    const auto canon = moov ? IsoBoxes::findBox(file, moov->body, moov->end, fourCc("uuid"), budget) : std::nullopt;
    // Canon's own box, known by its UUID.
    static constexpr unsigned char kCanonUuid[16] = {0x85, 0xc0, 0xb6, 0x87, 0x82, 0x0f, 0x11, 0xe0,
                                                     0x81, 0x11, 0xf4, 0xce, 0x46, 0x2b, 0x6a, 0x48};
    unsigned char uuid[16];
    if (!canon || canon->end - canon->body < 16 || !file.readAll(canon->body, uuid, 16)
        || !std::equal(uuid, uuid + 16, kCanonUuid))
        return Read{};
    const int64_t children = canon->body + 16; // past the box's UUID
    Read read;
    std::string model;
    int tries = budget;
    if (const auto cmt1 = IsoBoxes::findBox(file, children, canon->end, fourCc("CMT1"), tries)) {
        const auto b = readHead(file, cmt1->body, cmt1->end);
        if (const auto tiff = tiffHeader(b)) {
            if (const auto o = tiffShorts(b, tiff->first, tiff->second, 0x0112); o && !o->empty())
                read.orientation = (*o)[0];
            model = tiffAscii(b, tiff->first, tiff->second, 0x0110).value_or("");
        }
    }
    tries = budget;
    if (const auto cmt3 = IsoBoxes::findBox(file, children, canon->end, fourCc("CMT3"), tries)) {
        const auto b = readHead(file, cmt3->body, cmt3->end);
        if (const auto tiff = tiffHeader(b)) {
            if (const auto words = tiffShorts(b, tiff->first, tiff->second, 0x0026))
                read.frame = canonAfInfo(*words, false, isEos(model));
        }
    }
    return read;
}

Read readFile(const std::filesystem::path &path)
{
    if (auto cr3 = readCr3(path))
        return *cr3;
    Read read;
    try {
        Exiv2Compat::ImagePtr image = Exiv2Runtime::openStill(path);
        if (!image.get())
            return read;
        image->readMetadata();
        const Exiv2::ExifData &exif = image->exifData();
        if (const auto *o = named(exif, "Exif.Image.Orientation"))
            read.orientation = int(integer(o));
        largestPicture(exif, read.width, read.height);
        std::string make = exifText(exif, "Exif.Image.Make").value_or("");
        std::transform(make.begin(), make.end(), make.begin(), [](unsigned char c) { return std::tolower(c); });
        const std::string model = exifText(exif, "Exif.Image.Model").value_or("");
        if (make.starts_with("canon"))
            read.frame = canonFrame(path, exif, model);
        else if (make.starts_with("nikon"))
            read.frame = nikonFrame(exif);
        else if (make.starts_with("sony"))
            read.frame = sonyFrame(exif);
        else if (make.starts_with("panasonic"))
            read.frame = panasonicFrame(exif);
    } catch (const std::exception &) {
        // Damaged metadata: no points.
    }
    return read;
}

} // namespace

std::optional<std::vector<uint16_t>> tiffShorts(std::span<const unsigned char> bytes, bool bigEndian,
                                                size_t ifdOffset, uint16_t tag)
{
    const auto e = findEntry(bytes, bigEndian, ifdOffset, tag, 2);
    if (!e || (e->type != 3 && e->type != 8) || e->count > kMaxWords)
        return std::nullopt;
    std::vector<uint16_t> words(e->count);
    for (size_t i = 0; i < e->count; ++i)
        words[i] = word(bytes, e->valueAt + 2 * i, bigEndian);
    return words;
}

std::optional<std::string> tiffAscii(std::span<const unsigned char> bytes, bool bigEndian, size_t ifdOffset,
                                     uint16_t tag)
{
    const auto e = findEntry(bytes, bigEndian, ifdOffset, tag, 1);
    if (!e || e->type != 2)
        return std::nullopt;
    std::string text(reinterpret_cast<const char *>(bytes.data() + e->valueAt), e->count);
    text.resize(std::min(text.size(), text.find('\0')));
    return text;
}

Frame canonAfInfo(std::span<const uint16_t> w, bool old, bool eos)
{
    // The newer record starts with its size and the area mode; the older one with the number of points.
    const size_t head = old ? 0 : 2;
    if (w.size() < head + 6)
        return {};
    const size_t n = w[head], valid = std::min<size_t>(w[head + 1], n);
    const double width = w[head + 4], height = w[head + 5];
    const size_t words = (n + 15) / 16;
    const size_t xs = old ? 8 : 8 + 2 * n, ys = xs + n, inFocus = ys + n, selected = inFocus + words;
    if (n == 0 || width <= 0 || height <= 0 || w.size() < inFocus + words)
        return {};
    Frame frame{width, height, {}};
    const double ySign = eos ? -1 : 1; // EOS bodies count Y upwards
    for (size_t i = 0; i < valid; ++i) {
        const double pw = old ? w[6] : w[8 + i], ph = old ? w[7] : w[8 + n + i];
        const double x = int16_t(w[xs + i]), y = int16_t(w[ys + i]);
        if (pw <= 0 || ph <= 0)
            continue;
        const bool isSelected = !old && w.size() >= selected + words && bit(w, selected, i);
        frame.points.push_back(pointAt(0.5 + x / width, 0.5 + ySign * y / height, pw / width, ph / height,
                                       bit(w, inFocus, i), isSelected));
    }
    return frame;
}

std::vector<FocusPoint> upright(const Frame &frame, int orientation, double pictureAspect)
{
    const bool swaps = orientation >= 5 && orientation <= 8;
    // The picture's proportions in the stored frame, against the frame the camera measured in.
    const double stored = pictureAspect > 0 ? (swaps ? 1 / pictureAspect : pictureAspect) : 0;
    const double measured = frame.width > 0 && frame.height > 0 ? frame.width / frame.height : 0;
    double keepX = 1, keepY = 1;
    if (stored > 0 && measured > 0 && std::abs(stored - measured) > 0.01 * measured)
        (stored > measured ? keepY : keepX) = stored > measured ? measured / stored : stored / measured;
    std::vector<FocusPoint> out;
    for (FocusPoint p : frame.points) {
        p.x = (p.x - (1 - keepX) / 2) / keepX;
        p.y = (p.y - (1 - keepY) / 2) / keepY;
        p.w /= keepX;
        p.h /= keepY;
        if (!(p.x >= 0 && p.x <= 1 && p.y >= 0 && p.y <= 1))
            continue;
        const double x = p.x, y = p.y;
        switch (orientation) {
        case 2: p.x = 1 - x; break;
        case 3: p.x = 1 - x, p.y = 1 - y; break;
        case 4: p.y = 1 - y; break;
        case 5: p.x = y, p.y = x; break;
        case 6: p.x = 1 - y, p.y = x; break;
        case 7: p.x = 1 - y, p.y = 1 - x; break;
        case 8: p.x = y, p.y = 1 - x; break;
        default: break;
        }
        if (swaps)
            std::swap(p.w, p.h);
        out.push_back(p);
    }
    return out;
}

std::vector<FocusPoint> read(const std::filesystem::path &file, double pictureAspect)
{
    const Read r = readFile(file);
    return upright(r.frame, r.orientation, pictureAspect);
}

std::optional<std::pair<int, int>> recordedSize(const std::filesystem::path &file)
{
    const Read r = readFile(file);
    int w = r.width, h = r.height;
    if (w <= 0 || h <= 0) {
        if (r.frame.width < 16 || r.frame.height < 16) // a proportion, not pixels
            return std::nullopt;
        w = int(r.frame.width), h = int(r.frame.height);
    }
    if (r.orientation >= 5 && r.orientation <= 8)
        std::swap(w, h);
    return std::pair{w, h};
}

std::optional<std::pair<double, double>> zoomTarget(std::span<const FocusPoint> points)
{
    double left = 2, top = 2, right = -1, bottom = -1;
    for (const FocusPoint &p : points) {
        if (!p.inFocus)
            continue;
        left = std::min(left, p.x), right = std::max(right, p.x);
        top = std::min(top, p.y), bottom = std::max(bottom, p.y);
    }
    if (right >= left)
        return std::pair{(left + right) / 2, (top + bottom) / 2};
    for (const FocusPoint &p : points)
        if (p.selected)
            return std::pair{p.x, p.y};
    return std::nullopt;
}

} // namespace vorlane::FocusPoints
