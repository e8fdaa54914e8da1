#pragma once

#include <string>
#include <vector>

namespace vorlane {

// What the program was asked on its command line, read before anything needs a display: --help and
// --version answer on stdout and end there; a folder or a file is opened; Qt's own options (-platform NAME,
// -style NAME, ...) pass through to the application; anything else is an error that names the argument.
struct CommandLine
{
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    std::string target;  // the folder or file to open; empty: ask for a folder
    std::string message; // what was wrong, for Action::Error

    static CommandLine parse(const std::vector<std::string> &args); // without the program's name
    static const char *usage();
};

} // namespace vorlane
