#include "catalogue/capture_date.h"
#include "cli/rate_command.h"
#include "cli/scan_command.h"

#include <QCoreApplication>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr const char *kUsage
    = "Usage: vorlane-cli scan DIR [--sort name|date]\n"
      "       vorlane-cli groups DIR [--sort name|date]\n"
      "       vorlane-cli copy [--jobs N] [--force] PATH...\n"
      "       vorlane-cli info FILE...\n"
      "       vorlane-cli rate [--stars 0-5] [--label red|yellow|green|blue|purple|none] PATH...\n"
      "\n"
      "  scan     list DIR's cells as JSON: their files, copy paths and whether each copy is made\n"
      "  groups   list DIR's bursts as JSON, with the sharpest frame of each\n"
      "  copy     make the small copies of PATHs (files or folders) as marking does\n"
      "  info     print each FILE's size, focus points and histogram as JSON\n"
      "  rate     set the star rating and colour label of each PATH's cell in XMP sidecars\n"
      "  -h, --help      show this help and exit\n"
      "  -V, --version   show the version and exit\n";

// The decoders and encoders live in a companion program, so that listing a folder does not pay for loading
// every image and video library at start-up. It sits beside this program (build tree) or in libexec/vorlane.
int execCompanion(char **argv)
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path dir = self.parent_path();
    for (const std::filesystem::path &candidate :
         {dir / "vorlane-copy", dir.parent_path() / "libexec" / "vorlane" / "vorlane-copy"}) {
        if (::access(candidate.c_str(), X_OK) == 0) {
            argv[0] = const_cast<char *>(candidate.c_str());
            ::execv(candidate.c_str(), argv);
            std::fprintf(stderr, "vorlane-cli: cannot start %s: %s\n", candidate.c_str(), std::strerror(errno));
            return 1;
        }
    }
    std::fputs("vorlane-cli: the copy program (vorlane-copy) is not installed beside vorlane-cli\n", stderr);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string command = argv[1];
    if (command == "-h" || command == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "-V" || command == "--version") {
        std::puts("vorlane-cli " VORLANE_VERSION);
        return 0;
    }
    if (command == "copy" || command == "groups" || command == "info")
        return execCompanion(argv);
    vorlane::pinLocalTimeZone();
    QCoreApplication app(argc, argv);
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "scan")
        return vorlane::cli::runScan(args);
    if (command == "rate")
        return vorlane::cli::runRate(args);
    std::fprintf(stderr, "vorlane-cli: unknown command '%s'\n%s", command.c_str(), kUsage);
    return 2;
}
