#include "copies/copy_maker.h"

#include "catalogue/copy_provenance.h"

#include "copies/atomic_file.h"
#include "copies/copy_error.h"
#include "copies/image_compressor.h"
#include "copies/video_compressor.h"
#include "core/cancellation.h"

#include <QThread>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace vorlane {

std::optional<CopyRequest> CopyRequest::forPair(const MediaPair &pair)
{
    if (!pair.copyPath())
        return std::nullopt;
    CopyRequest request;
    request.source = pair.rawItem() ? pair.rawItem()->path : pair.primary().path;
    request.destination = *pair.copyPath();
    if (pair.imageItem())
        request.preferSource = pair.imageItem()->path;
    request.isVideo = pair.isVideo();
    return request;
}

QString noCopyPathMessage()
{
    return Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase",
                                    "no copy name of its own: another file of this folder would share it (rename one of them)"))
        .text();
}

namespace {

// The cell's originals: the file encoded and the other one of a RAW+image pair.
QList<std::filesystem::path> originalsOf(const CopyRequest &request)
{
    QList<std::filesystem::path> originals{request.source};
    if (request.preferSource && *request.preferSource != request.source)
        originals.append(*request.preferSource);
    return originals;
}

// A copy at the destination that names another file as its source (a camera's reused name) may be all that
// is left of that file: it moves to a name no cell's copy ever has ("IMG_0001_bside-earlier.jpg"), never
// overwritten. When an original cannot be read right now, whose copy it is cannot be told: nothing moves and
// the job fails.
void keepAnotherFilesCopy(const CopyRequest &request)
{
    const CopyProvenance::Verdict verdict = CopyProvenance::judge(request.destination, originalsOf(request));
    if (verdict == CopyProvenance::Verdict::Unknown) {
        throw CopyError(CopyError::Reason::ReadFailed,
                        Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase", "the original cannot be read right now")));
    }
    if (verdict != CopyProvenance::Verdict::Another)
        return;
    const std::filesystem::path &copy = request.destination;
    const std::string stem = copy.stem().native();
    const std::string extension = copy.extension().native();
    int error = 0;
    for (int n = 1; n <= 999; ++n) {
        const std::string name = stem + "-earlier" + (n > 1 ? "-" + std::to_string(n) : std::string()) + extension;
        const std::filesystem::path aside = copy.parent_path() / name;
        error = renameNoReplace(AT_FDCWD, copy.c_str(), AT_FDCWD, aside.c_str());
        if (error != EEXIST)
            break;
    }
    if (error == 0)
        return;
    throw CopyError(CopyError::Reason::WriteFailed,
                    Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase",
                                             "the copy of another file is in the way and cannot be moved aside: %1"),
                           {Phrase::verbatim(copy.filename().string())}));
}

// What tells that a file was not written to between two looks: a write changes its ctime, which no program
// can set back.
struct Unchanged
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified = {};
    struct timespec changed = {};

    static std::optional<Unchanged> of(const std::filesystem::path &file)
    {
        struct stat st
        {
        };
        if (::stat(file.c_str(), &st) != 0)
            return std::nullopt;
        return Unchanged{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    }
    bool operator==(const Unchanged &o) const
    {
        const auto same = [](const timespec &a, const timespec &b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; };
        return device == o.device && inode == o.inode && size == o.size && same(modified, o.modified)
            && same(changed, o.changed);
    }
};

// The record of every original of the cell, read whole, with how each file stood before the read.
QByteArray readRecord(const QList<std::filesystem::path> &originals, QList<std::optional<Unchanged>> &before,
                      const std::stop_token &token)
{
    CopyProvenance::Record record;
    for (const std::filesystem::path &original : originals) {
        before.append(Unchanged::of(original));
        const auto source = CopyProvenance::fully(original, token);
        checkCancellation(token);
        if (!before.last() || !source) {
            throw CopyError(CopyError::Reason::ReadFailed,
                            Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase", "cannot read \"%1\""),
                                   {Phrase::verbatim(original.filename().string())}));
        }
        record.files.append(*source);
    }
    return CopyProvenance::toText(record);
}

// Whether every byte of a file can be read: a failed decode of a file that reads through is the content's
// fault, not the card's or the disk's.
bool readsThrough(const std::filesystem::path &file, const std::stop_token &token)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st
    {
    };
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    std::vector<char> buffer(1 << 20);
    while (ok && !token.stop_requested()) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0 && errno != EINTR)
            ok = false;
    }
    ::close(fd);
    return ok && !token.stop_requested();
}

} // namespace

CopyOutcome makeCopy(const CopyRequest &request, std::stop_token token)
{
    CopyOutcome outcome;
    try {
        keepAnotherFilesCopy(request);
        // The record is read before the encode and holds only when no original was written to meanwhile:
        // then the bytes the encoder read are the bytes the record describes.
        const QList<std::filesystem::path> originals = originalsOf(request);
        QList<std::optional<Unchanged>> before;
        const QByteArray record = readRecord(originals, before, token);
        outcome.copy = request.isVideo ? VideoCompressor::compress(request.source, request.destination, token,
                                                                   std::max(1, QThread::idealThreadCount()), record)
                                       : ImageCompressor::compress(request.source, request.destination,
                                                                   request.preferSource, token, record);
        for (qsizetype i = 0; i < originals.size(); ++i) {
            if (Unchanged::of(originals[i]) != before[i]) {
                std::error_code ec;
                std::filesystem::remove(request.destination, ec); // written a moment ago, from bytes now gone
                throw CopyError(CopyError::Reason::SourceChanged,
                                Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase",
                                                         "\"%1\" changed while its copy was being made"),
                                       {Phrase::verbatim(originals[i].filename().string())}));
            }
        }
        outcome.result = CopyOutcome::Result::Completed;
        if (outcome.copy.largerThanOriginal)
            outcome.message = Phrase(QT_TRANSLATE_NOOP(
                                         "vorlane::Phrase",
                                         "the copy is larger than the original, even at a lower bit rate"))
                                  .text();
    } catch (const CancelledError &) {
        outcome.result = CopyOutcome::Result::Cancelled;
    } catch (const CopyError &e) {
        outcome.result = CopyOutcome::Result::Failed;
        outcome.message = e.message().text();
        // Not a picture or a clip that any decoder here can read, though every byte of it reads: a file a cull
        // may discard without a copy, when the user agrees. A picture over the memory budget is not one.
        if (e.reason() != CopyError::Reason::WriteFailed && e.reason() != CopyError::Reason::SourceChanged
            && e.reason() != CopyError::Reason::TooLarge) {
            outcome.undecodable = readsThrough(request.source, token)
                && (!request.preferSource || readsThrough(*request.preferSource, token));
        }
    } catch (const std::bad_alloc &) {
        outcome.result = CopyOutcome::Result::Failed;
        outcome.message = Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase", "not enough memory to make the copy")).text();
    } catch (const std::exception &e) { // a library error that slipped past its wrapper: still a clean failure
        outcome.result = CopyOutcome::Result::Failed;
        outcome.message = QString::fromUtf8(e.what());
    }
    return outcome;
}

} // namespace vorlane
