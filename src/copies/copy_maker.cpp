#include "copies/copy_maker.h"

#include "catalogue/copy_provenance.h"

#include "copies/copy_error.h"
#include "copies/image_compressor.h"
#include "copies/video_compressor.h"
#include "media/cancellation.h"

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

// A copy at the destination that names another file as its source (a camera's reused name) may be all that
// is left of that file: it moves to a name no cell's copy ever has ("IMG_0001_bside-earlier.jpg"), never
// overwritten.
void keepAnotherFilesCopy(const CopyRequest &request)
{
    QList<std::filesystem::path> originals{request.source};
    if (request.preferSource)
        originals.append(*request.preferSource);
    if (CopyProvenance::judge(request.destination, originals) != CopyProvenance::Verdict::Another)
        return;
    const std::filesystem::path &copy = request.destination;
    const std::string stem = copy.stem().native();
    const std::string extension = copy.extension().native();
    for (int n = 1; n <= 999; ++n) {
        const std::string name = stem + "-earlier" + (n > 1 ? "-" + std::to_string(n) : std::string()) + extension;
        const std::filesystem::path aside = copy.parent_path() / name;
        if (::renameat2(AT_FDCWD, copy.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            return;
        if (errno != EEXIST)
            break;
    }
    throw CopyError(CopyError::Reason::WriteFailed,
                    Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase",
                                             "the copy of another file is in the way and cannot be moved aside: %1"),
                           {Phrase::verbatim(copy.filename().string())}));
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
        outcome.copy = request.isVideo ? VideoCompressor::compress(request.source, request.destination, token,
                                                                   std::max(1, QThread::idealThreadCount()))
                                       : ImageCompressor::compress(request.source, request.destination,
                                                                   request.preferSource, token);
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
        // may discard without a copy, when the user agrees.
        if (e.reason() != CopyError::Reason::WriteFailed) {
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
