// The command-line mode: convert one table, or every table a wildcard matches, without a window.
#pragma once

#include <string>
#include <vector>

namespace quorv {

struct ExportSettings;

// What the program was started with: the arguments after the program's name, and the text joined
// from them with single blanks (the places that look at the whole command line use it).
struct CommandLine {
    std::vector<std::string> args;
    std::string text;
};
CommandLine makeCommandLine(int argc, char **argv);

// Runs the command-line mode; returns the process exit status: 0 when every table converted
// completely, 1 when a conversion failed, 2 when the command line itself is wrong.
int runCommandLine(const CommandLine &commandLine, ExportSettings &settings);

// The usage text of --help.
std::string usageText();

} // namespace quorv
