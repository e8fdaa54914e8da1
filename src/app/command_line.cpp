#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vorlane {
namespace {

// Qt's command-line options (QGuiApplication's and the X11 platform's), with whether each takes a value;
// Qt accepts them with one dash or two.
struct QtOption
{
    std::string_view name;
    bool takesValue;
};
constexpr std::array kQtOptions{
    QtOption{"platform", true},     QtOption{"platformpluginpath", true}, QtOption{"platformtheme", true},
    QtOption{"plugin", true},       QtOption{"qwindowgeometry", true},    QtOption{"qwindowicon", true},
    QtOption{"qwindowtitle", true}, QtOption{"reverse", false},           QtOption{"session", true},
    QtOption{"style", true},        QtOption{"stylesheet", true},         QtOption{"widgetcount", false},
    QtOption{"display", true},      QtOption{"geometry", true},           QtOption{"name", true},
    QtOption{"nograb", false},      QtOption{"dograb", false},            QtOption{"sync", false}};

} // namespace

const char *CommandLine::usage()
{
    return "Usage: vorlane [FOLDER | FILE]\n"
           "Cull a folder tree of photos and videos: walk the grid with the keyboard, press D on what is not\n"
           "worth keeping. A small copy of each marked cell is made beside its folder (in FOLDER_bside);\n"
           "only when asked are the originals of marked cells with finished copies moved to the Trash.\n"
           "\n"
           "  FOLDER          open this folder\n"
           "  FILE            open the folder of this photo or video, with it selected\n"
           "  -h, --help      show this help and exit\n"
           "  -V, --version   show the version and exit\n"
           "\n"
           "Without an argument a folder is asked for. Qt's options (-platform NAME, -style NAME, ...) are\n"
           "passed on. See also: vorlane-cli(1).\n";
}

CommandLine CommandLine::parse(const std::vector<std::string> &args)
{
    CommandLine line;
    const auto fail = [&line](std::string message) {
        line.action = Action::Error;
        line.message = std::move(message);
        return line;
    };
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "-h" || arg == "--help")) {
            line.action = Action::Help;
            return line;
        } else if (!optionsEnded && (arg == "-V" || arg == "--version")) {
            line.action = Action::Version;
            return line;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            const std::string_view name = std::string_view(arg).substr(arg.rfind('-', 1) + 1);
            const auto known = std::find_if(kQtOptions.begin(), kQtOptions.end(),
                                            [&](const QtOption &o) { return o.name == name; });
            if (known == kQtOptions.end())
                return fail("unknown option '" + arg + "'");
            if (known->takesValue && ++i == args.size())
                return fail("option '" + arg + "' needs a value");
        } else if (line.target.empty()) {
            line.target = arg;
        } else {
            return fail("one folder or file at a time ('" + line.target + "', then '" + arg + "')");
        }
    }
    return line;
}

} // namespace vorlane
