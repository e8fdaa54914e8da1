#include "cli/folder_argument.h"

#include "catalogue/pairing_service.h"
#include "cli/printable_path.h"

#include <cstdio>
#include <cstring>

namespace vorlane::cli {

std::optional<ListedFolder> listFolder(const std::vector<std::string> &args, const char *usage, int *status)
{
    std::string dirArg;
    std::string sort = "name";
    const auto badUsage = [&] {
        std::fputs(usage, stderr);
        *status = 2;
        return std::nullopt;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--sort") {
            if (i + 1 >= args.size())
                return badUsage();
            sort = args[++i];
            if (sort != "name" && sort != "date")
                return badUsage();
        } else if (a.rfind("--", 0) == 0 || !dirArg.empty()) {
            return badUsage();
        } else {
            dirArg = a;
        }
    }
    if (dirArg.empty())
        return badUsage();

    const std::filesystem::path dir = std::filesystem::absolute(std::filesystem::path(dirArg)).lexically_normal();
    ListedFolder listing;
    listing.directory = dir.has_filename() || dir == dir.root_path() ? dir : dir.parent_path();
    try {
        listing.scan = DirectoryScanner::scan(listing.directory);
    } catch (const std::system_error &e) {
        std::fprintf(stderr, "vorlane-cli: cannot read %s: %s\n", printablePath(listing.directory).c_str(),
                     std::strerror(e.code().value()));
        *status = 1;
        return std::nullopt;
    }
    listing.cells = PairingService::pair(listing.scan.media);
    if (sort == "date")
        PairingService::sortByDate(listing.cells);
    *status = 0;
    return listing;
}

} // namespace vorlane::cli
