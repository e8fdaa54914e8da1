#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vorlane::CopyProvenance {

// Which original a copy was made from, as the copy itself records it: the original's size and a digest of
// its first 64 KiB. Both survive a copy of the card to another disk (unlike an inode or a time), and a
// camera that starts again at IMG_0001 makes a new photo with another digest under the old name.
struct Source
{
    int64_t size = 0;
    QByteArray headDigest; // SHA-256 of the first headBytes, lower-case hex

    bool operator==(const Source &) const = default;
};

inline constexpr int64_t headBytes = 64 * 1024;

// The identity of an original as it is on disk now; nothing when it cannot be read or is not a regular file.
// One read of at most 64 KiB. Any thread.
std::optional<Source> of(const std::filesystem::path &original);

// The record as the copy carries it: "vorlane-source size=<bytes> head64k-sha256=<hex>".
QByteArray toText(const Source &source);
std::optional<Source> fromText(QByteArrayView text);

// The JPEG with the record as a comment (COM) segment right after its start-of-image marker. The copy keeps
// no other metadata: the original's EXIF stays stripped.
std::string withJpegComment(std::string_view jpeg, const Source &source);

// The record a copy carries: a JPEG's comment segment before its first scan, or an MP4's comment tag
// (moov/udta/meta/ilst/©cmt, where the muxer writes the "comment" metadata). Nothing when the file carries
// none (a copy made before copies named their source) or is neither. Reads only box and segment headers
// and the record itself, a few KiB at most; never blocks on a FIFO; any thread.
std::optional<Source> recordedIn(const std::filesystem::path &copy);

enum class Verdict {
    Own,        // the copy names one of the originals
    Unrecorded, // the copy names no source: it counts as theirs, as copies always did
    Another,    // the copy names a file that is none of them (a reused name)
};

// Whose copy this is. Reads the record, and the head of an original only when its size matches.
Verdict judge(const std::filesystem::path &copy, const QList<std::filesystem::path> &originals);

} // namespace vorlane::CopyProvenance
