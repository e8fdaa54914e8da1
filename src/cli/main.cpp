#include "catalogue/capture_date.h"
#include "cli/copy_command.h"
#include "cli/scan_command.h"
#include "copies/ffi/vips_runtime.h"

#include <QCoreApplication>
#include <string>
#include <vector>

#include <cstdio>

namespace {

constexpr const char *kUsage =
    "usage: vorlane-cli scan DIR [--sort name|date]\n"
    "       vorlane-cli copy [--jobs N] [--force] PATH...\n";

} // namespace

int main(int argc, char **argv)
{
    vorlane::pinLocalTimeZone();
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "scan")
        return vorlane::cli::runScan(args);
    if (command == "copy") {
        vorlane::VipsRuntime::ensureStarted();
        return vorlane::cli::runCopy(args);
    }
    std::fputs(kUsage, stderr);
    return 2;
}
