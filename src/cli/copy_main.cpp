// vorlane-copy: the decoding half of vorlane-cli, started by `vorlane-cli copy ...`, `groups ...` or `info ...`
// with the same arguments.
#include "catalogue/capture_date.h"
#include "cli/copy_command.h"
#include "cli/groups_command.h"
#include "cli/info_command.h"
#include "media/ffi/vips_runtime.h"

#include <QCoreApplication>

#include <string>
#include <vector>

int main(int argc, char **argv)
{
    vorlane::pinLocalTimeZone();
    vorlane::VipsRuntime::ensureStarted();
    QCoreApplication app(argc, argv);
    // Called as "vorlane-copy copy|groups|info ARGS..." (through vorlane-cli) or "vorlane-copy ARGS..." (copy).
    if (argc > 1 && std::string(argv[1]) == "info")
        return vorlane::cli::runInfo(std::vector<std::string>(argv + 2, argv + argc));
    if (argc > 1 && std::string(argv[1]) == "groups")
        return vorlane::cli::runGroups(std::vector<std::string>(argv + 2, argv + argc));
    int first = 1;
    if (argc > 1 && std::string(argv[1]) == "copy")
        first = 2;
    return vorlane::cli::runCopy(std::vector<std::string>(argv + first, argv + argc));
}
