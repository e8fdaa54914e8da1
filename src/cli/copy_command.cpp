#include "cli/copy_command.h"

#include "catalogue/copy_provenance.h"
#include "catalogue/directory_scanner.h"
#include "catalogue/media_classifier.h"
#include "catalogue/pairing_service.h"
#include "cli/printable_path.h"
#include "copies/atomic_file.h"
#include "copies/bside_scheduler.h"
#include "copies/copy_maker.h"
#include "copies/progress_text.h"

#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

namespace vorlane::cli {
namespace {

constexpr const char *kUsage = "usage: vorlane-cli copy [--jobs N] [--force] PATH...\n";

struct Cell
{
    MediaPair pair;
    std::optional<CopyRequest> request; // none when the cell has no copy path of its own
};

// The cells a path stands for: all of a folder's listing, or the one cell a media file belongs to.
bool cellsFor(const std::filesystem::path &path, std::vector<Cell> &cells, std::string &error)
{
    std::error_code ec;
    const bool isDir = std::filesystem::is_directory(path, ec);
    const std::filesystem::path dir = isDir ? path : path.parent_path();
    if (!isDir && !std::filesystem::exists(path, ec)) {
        error = std::strerror(ENOENT);
        return false;
    }
    if (!isDir && !MediaClassifier::classify(path)) {
        error = "not a photo or video";
        return false;
    }
    DirectoryScanner::ScanResult scan;
    try {
        scan = DirectoryScanner::scan(dir);
    } catch (const std::system_error &e) {
        error = std::strerror(e.code().value());
        return false;
    }
    for (const MediaPair &pair : PairingService::pair(scan.media)) {
        bool wanted = isDir;
        for (const MediaItem &item : pair.allOriginals())
            wanted = wanted || item.path == path;
        if (wanted)
            cells.push_back({pair, CopyRequest::forPair(pair)});
    }
    if (!isDir && cells.empty()) {
        error = "not listed (hidden or not a regular file)";
        return false;
    }
    return true;
}

void printLine(const std::string &line)
{
    static std::mutex m;
    std::lock_guard lock(m);
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

// Whose copy stands at a cell's copy path: the cell's own (made before, or before copies named their source)
// is kept unless forced; another file's is kept aside by the copy; nothing, or what is no copy, is made anew.
CopyProvenance::Verdict copyAt(const MediaPair &cell, const std::filesystem::path &copy)
{
    QList<std::filesystem::path> originals;
    for (const MediaItem &item : cell.allOriginals())
        originals.append(item.path);
    return CopyProvenance::judge(copy, originals);
}

struct CopyArgs
{
    int jobs = 0;
    bool force = false;
    std::vector<std::filesystem::path> paths;
};

// The command's arguments; nothing (and the usage printed) when they are off.
std::optional<CopyArgs> parseArgs(const std::vector<std::string> &args)
{
    CopyArgs parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--force") {
            parsed.force = true;
        } else if (args[i] == "--jobs") {
            if (i + 1 >= args.size() || (parsed.jobs = std::atoi(args[i + 1].c_str())) < 1)
                return std::nullopt;
            ++i;
        } else if (args[i].rfind("--", 0) == 0) {
            return std::nullopt;
        } else {
            parsed.paths.push_back(std::filesystem::absolute(args[i]).lexically_normal());
        }
    }
    if (parsed.paths.empty())
        return std::nullopt;
    return parsed;
}

// The cells the paths stand for, each once; a path that names none is reported.
std::vector<Cell> collectCells(const std::vector<std::filesystem::path> &paths, bool &anyFailed)
{
    std::vector<Cell> cells;
    for (const auto &path : paths) {
        std::string error;
        std::vector<Cell> found;
        if (!cellsFor(path, found, error)) {
            printLine("failed " + printablePath(path) + ": " + error + "\n");
            anyFailed = true;
            continue;
        }
        for (Cell &c : found) {
            const bool seen = std::any_of(cells.begin(), cells.end(), [&](const Cell &o) {
                return o.pair.primary().path == c.pair.primary().path;
            });
            if (!seen)
                cells.push_back(std::move(c));
        }
    }
    // What interrupted copies left; copies still being written keep theirs.
    std::set<std::filesystem::path> copyFolders;
    for (const Cell &cell : cells) {
        if (cell.request)
            copyFolders.insert(cell.request->destination.parent_path());
    }
    for (const auto &folder : copyFolders)
        removeStalePartials(folder);
    return cells;
}

// The line a finished job prints.
std::string outcomeLine(const std::string &source, const std::string &dest, const CopyOutcome &outcome)
{
    if (outcome.result == CopyOutcome::Result::Completed) {
        return "ok " + source + " -> " + dest + " " + std::to_string(outcome.copy.width) + "x"
            + std::to_string(outcome.copy.height) + " " + std::to_string(outcome.copy.bytes)
            + (outcome.message.isEmpty() ? std::string() : " (" + outcome.message.toStdString() + ")") + "\n";
    }
    const std::string why
        = outcome.result == CopyOutcome::Result::Cancelled ? std::string("cancelled") : outcome.message.toStdString();
    return "failed " + source + ": " + why + "\n";
}

} // namespace

int runCopy(const std::vector<std::string> &args)
{
    const std::optional<CopyArgs> parsed = parseArgs(args);
    if (!parsed) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    bool anyFailed = false;
    const std::vector<Cell> cells = collectCells(parsed->paths, anyFailed);

    BsideScheduler scheduler;
    if (parsed->jobs > 0)
        scheduler.capConcurrency(parsed->jobs);
    // The observer runs on whichever thread changed the progress: it only touches atomics and wakes the waiter.
    std::mutex mutex;
    std::condition_variable done;
    std::atomic<int64_t> failures{0};
    std::atomic<int64_t> finished{0};
    std::atomic<bool> idle{true};
    int64_t enqueued = 0;
    const bool tty = isatty(STDERR_FILENO);
    scheduler.observeProgress([&](const BsideScheduler::Progress &p) {
        BsideScheduler::Progress shown = p;
        shown.failed = failures;
        const QByteArray line = progressStatusLine(shown).toUtf8();
        std::fprintf(stderr, tty ? "\r\033[K%s" : "%s\n", line.constData());
        {
            std::lock_guard lock(mutex);
            finished = p.completed;
            idle = p.isIdle();
        }
        done.notify_all();
    });

    for (const Cell &cell : cells) {
        const std::string source = printablePath(cell.pair.primary().path);
        if (!cell.request) {
            printLine("failed " + source + ": " + noCopyPathMessage().toStdString() + "\n");
            anyFailed = true;
            continue;
        }
        const std::string dest = printablePath(cell.request->destination);
        const CopyProvenance::Verdict verdict = copyAt(cell.pair, cell.request->destination);
        if (!parsed->force
            && (verdict == CopyProvenance::Verdict::Own || verdict == CopyProvenance::Verdict::Unrecorded)) {
            printLine("exists " + source + " -> " + dest + "\n");
            continue;
        }
        ++enqueued;
        scheduler.enqueue(QUuid::createUuid(), QString::fromUtf8(cell.request->destination.filename().native()),
                          [&, request = *cell.request, source, dest](std::stop_token token) {
                              const CopyOutcome outcome = makeCopy(request, token);
                              if (outcome.result != CopyOutcome::Result::Completed)
                                  ++failures;
                              printLine(outcomeLine(source, dest, outcome));
                          });
    }
    {
        std::unique_lock lock(mutex);
        done.wait(lock, [&] { return idle && finished >= enqueued; });
        anyFailed = anyFailed || failures > 0;
    }
    if (tty)
        std::fputs("\n", stderr);
    return anyFailed ? 1 : 0;
}

} // namespace vorlane::cli
