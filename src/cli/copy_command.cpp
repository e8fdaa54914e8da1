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

bool isAnotherFilesCopy(const MediaPair &cell, const std::filesystem::path &copy)
{
    QList<std::filesystem::path> originals;
    for (const MediaItem &item : cell.allOriginals())
        originals.append(item.path);
    return CopyProvenance::judge(copy, originals) == CopyProvenance::Verdict::Another;
}

} // namespace

int runCopy(const std::vector<std::string> &args)
{
    int jobs = 0;
    bool force = false;
    std::vector<std::filesystem::path> paths;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--force") {
            force = true;
        } else if (args[i] == "--jobs") {
            if (i + 1 >= args.size() || (jobs = std::atoi(args[i + 1].c_str())) < 1) {
                std::fputs(kUsage, stderr);
                return 2;
            }
            ++i;
        } else if (args[i].rfind("--", 0) == 0) {
            std::fputs(kUsage, stderr);
            return 2;
        } else {
            paths.push_back(std::filesystem::absolute(args[i]).lexically_normal());
        }
    }
    if (paths.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    bool anyFailed = false;
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

    std::set<std::filesystem::path> copyFolders;
    for (const Cell &cell : cells) {
        if (cell.request)
            copyFolders.insert(cell.request->destination.parent_path());
    }
    for (const auto &folder : copyFolders)
        removeStalePartials(folder); // what interrupted copies left; copies still being written keep theirs

    BsideScheduler scheduler;
    if (jobs > 0)
        scheduler.capConcurrency(jobs);
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
        std::error_code ec;
        // A copy that names another file as its source is not this cell's: a fresh one is made (and that one
        // kept aside).
        if (!force && std::filesystem::exists(cell.request->destination, ec)
            && !isAnotherFilesCopy(cell.pair, cell.request->destination)) {
            printLine("exists " + source + " -> " + dest + "\n");
            continue;
        }
        ++enqueued;
        scheduler.enqueue(QUuid::createUuid(), QString::fromUtf8(cell.request->destination.filename().native()),
                          [&, request = *cell.request, source, dest](std::stop_token token) {
                              const CopyOutcome outcome = makeCopy(request, token);
                              if (outcome.result == CopyOutcome::Result::Completed) {
                                  printLine("ok " + source + " -> " + dest + " " + std::to_string(outcome.copy.width) + "x"
                                            + std::to_string(outcome.copy.height) + " "
                                            + std::to_string(outcome.copy.bytes)
                                            + (outcome.message.isEmpty() ? std::string()
                                                                         : " (" + outcome.message.toStdString() + ")")
                                            + "\n");
                              } else {
                                  ++failures;
                                  const std::string why = outcome.result == CopyOutcome::Result::Cancelled
                                      ? std::string("cancelled")
                                      : outcome.message.toStdString();
                                  printLine("failed " + source + ": " + why + "\n");
                              }
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
