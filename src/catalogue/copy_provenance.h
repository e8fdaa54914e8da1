#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace vorlane::CopyProvenance {

// Which originals a copy was made from, as the copy itself records it: for every file of its cell, the
// file's size, digests of its first and last 64 KiB, and a digest of all its bytes. All of it survives a
// copy of the card to another disk (unlike an inode or a time), and a camera that starts again at IMG_0001
// makes a new photo with other digests under the old name.
//
// Copies made by earlier versions carry one file's size and head digest only (legacy): they are judged by
// those. Copies made before copies named their source carry nothing (unrecorded).
struct Source
{
    int64_t size = 0;
    QByteArray headDigest; // SHA-256 of the first headBytes, lower-case hex
    QByteArray tailDigest; // SHA-256 of the last headBytes (the whole file when smaller); empty in a legacy record
    QByteArray fullDigest; // SHA-256 of the whole file; empty in a legacy record and in of()'s quick look

    bool operator==(const Source &) const = default;
    bool isLegacy() const { return tailDigest.isEmpty(); }
};

struct Record
{
    QList<Source> files; // one per original of the cell; a legacy record holds one

    bool operator==(const Record &) const = default;
    bool isLegacy() const { return files.size() == 1 && files.first().isLegacy(); }
};

inline constexpr int64_t headBytes = 64 * 1024;

// The quick identity of an original as it is on disk now (size, head and tail digests, no full digest):
// nothing when it cannot be read or is not a regular file. Two reads of at most 64 KiB. Any thread.
std::optional<Source> of(const std::filesystem::path &original);

// Everything a copy records of an original, read in one pass over the whole file; nothing when it cannot be
// read, is not a regular file, or the token asks to stop. onBytes is told of every block read. Any thread.
std::optional<Source> fully(const std::filesystem::path &original, std::stop_token token = {},
                            const std::function<void(int64_t)> &onBytes = {});

// The record as the copy carries it: one line a file, "vorlane-source size=<bytes> head64k-sha256=<hex>
// tail64k-sha256=<hex> sha256=<hex>", lines joined by a newline. A legacy record has only the first two fields.
QByteArray toText(const Record &record);
std::optional<Record> fromText(QByteArrayView text);

// The JPEG with the record as a comment (COM) segment right after its start-of-image marker. The copy keeps
// no other metadata: the original's EXIF stays stripped.
std::string withJpegComment(std::string_view jpeg, const QByteArray &text);

// The record a copy carries: a JPEG's comment segment anywhere before its first scan (a photo tool may have
// put kilobytes of XMP in front of it), or an MP4's comment tag (moov/udta/meta/ilst/©cmt, where the muxer
// writes the "comment" metadata). Nothing when the file carries none (a copy made before copies named their
// source), is neither, or is not a regular file. Reads only segment and box headers and the record itself;
// never blocks on a FIFO; any thread.
std::optional<Record> recordedIn(const std::filesystem::path &copy);

enum class Verdict {
    Absent,     // no regular file at the copy path: no copy at all
    Own,        // the copy names the cell's originals as they are now
    Unrecorded, // the copy names no source: it counts as theirs, as copies always did
    Another,    // the copy names files that are not these (a reused name, a replaced original)
    Unknown,    // an original cannot be read right now: whose copy it is cannot be told
};

// Whose copy this is, from a quick look: the record against each original's size, head and tail (a legacy
// record: any original's size and head). Reads an original only when its size matches. Any thread.
Verdict judge(const std::filesystem::path &copy, const QList<std::filesystem::path> &originals);

// The same question answered from every byte: each original is read whole and its digest compared with the
// record's (a legacy or missing record falls back to judge()). What a discard asks just before it moves
// originals. onBytes is told of every block read; a stop request ends it with Unknown. Any thread.
Verdict verify(const std::filesystem::path &copy, const QList<std::filesystem::path> &originals,
               std::stop_token token = {}, const std::function<void(int64_t)> &onBytes = {});

} // namespace vorlane::CopyProvenance
