#include "cli/rate_command.h"

#include "catalogue/directory_scanner.h"
#include "catalogue/pairing_service.h"
#include "catalogue/sidecar.h"
#include "cli/printable_path.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace vorlane::cli {
namespace {

constexpr const char *kUsage
    = "usage: vorlane-cli rate [--stars 0-5] [--label red|yellow|green|blue|purple|none] PATH...\n";

// The cell a path belongs to, as its folder's listing pairs them; nothing when it is none of them.
std::optional<MediaPair> cellOf(const std::filesystem::path &path,
                                std::map<std::filesystem::path, QList<MediaPair>> &folders)
{
    const std::filesystem::path dir = path.parent_path();
    auto it = folders.find(dir);
    if (it == folders.end()) {
        QList<MediaPair> cells;
        try {
            cells = PairingService::pair(DirectoryScanner::scan(dir).media);
        } catch (const std::system_error &) {
        }
        it = folders.emplace(dir, std::move(cells)).first;
    }
    for (const MediaPair &cell : it->second) {
        const QList<MediaItem> files = cell.allOriginals();
        if (std::any_of(files.begin(), files.end(), [&](const MediaItem &item) { return item.path == path; }))
            return cell;
    }
    return std::nullopt;
}

} // namespace

int runRate(const std::vector<std::string> &args)
{
    Sidecars::Change change;
    std::vector<std::filesystem::path> paths;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if ((a == "--stars" || a == "--label") && i + 1 < args.size()) {
            const std::string value = args[++i];
            if (a == "--stars") {
                if (value.size() != 1 || value[0] < '0' || value[0] > '5') {
                    std::fputs(kUsage, stderr);
                    return 2;
                }
                change.rating = value[0] - '0';
            } else {
                change.label = labelFromName(QString::fromStdString(value));
                if (!change.label) {
                    std::fputs(kUsage, stderr);
                    return 2;
                }
            }
        } else if (a.rfind("--", 0) == 0) {
            std::fputs(kUsage, stderr);
            return 2;
        } else {
            paths.push_back(std::filesystem::absolute(a).lexically_normal());
        }
    }
    if (paths.empty() || (!change.rating && !change.label)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    int status = 0;
    std::map<std::filesystem::path, QList<MediaPair>> folders;
    for (const std::filesystem::path &path : paths) {
        const std::optional<MediaPair> cell = cellOf(path, folders);
        QString why = cell ? Sidecars::writeCell(*cell, change) : QStringLiteral("not a photo or video of its folder");
        if (why.isEmpty()) {
            std::printf("ok %s\n", printablePath(path).c_str());
        } else {
            std::printf("failed %s: %s\n", printablePath(path).c_str(), why.replace(QChar(u'\n'), QStringLiteral("; ")).toUtf8().constData());
            status = 1;
        }
    }
    return status;
}

} // namespace vorlane::cli
