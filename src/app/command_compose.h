// The command line that repeats a wizard conversion without the wizard.
#pragma once

#include <string>
#include <vector>

namespace quorv {

struct SourceTable;
struct ExportSettings;

// What the wizard knows when the user asks for the command line of its conversion.
struct CommandLineRequest {
    std::string sourcePath; // the table, or the folder of a folder batch
    std::string outputPath; // the output file, or the output folder of a folder batch
    bool folderBatch = false;
    const SourceTable *table = nullptr; // the current table: column order, exclusions, conditions
    const ExportSettings *settings = nullptr;
    std::string programPath{}; // the program the command runs; empty: the running quorv
    // The locale whose date format the conversion writes and reads dates in; empty: this process's
    // LC_TIME. Unless it is the C locale the command sets it, so a scheduler's run, whose
    // environment has another locale or none, writes the same dates.
    std::string dateLocale{};
};

// The composed command and what a saved script needs beside it.
struct ComposedCommand {
    std::string text;               // one line, quoted for a POSIX shell
    std::string filterFileText;     // "name:condition" lines; empty when no condition is set
    std::vector<std::string> notes; // settings of the conversion that the command cannot repeat
};

// Composes the command. filterFilePath is where the conditions will be saved (it is named by
// /FILTER: when the table has a condition).
ComposedCommand composeCommand(const CommandLineRequest &request, const std::string &programPath,
                               const std::string &filterFilePath);
std::string composeCommandLine(const CommandLineRequest &request, const std::string &programPath,
                               const std::string &filterFilePath);

// A word for the shell: unchanged when it holds only characters the shell takes literally, else
// enclosed in apostrophes (an apostrophe inside written as '\'').
std::string shellQuote(const std::string &word);

// The script's file name: ".sh" appended unless the name ends in it (any case).
std::string scriptPathFor(const std::string &chosenPath);
// The filter file saved beside a script: the script's name with ".filter" in place of ".sh".
std::string filterPathForScript(const std::string &scriptPath);
// The content of a saved script: "#!/bin/sh", the command, each on its own line.
std::string scriptText(const std::string &command);

// Writes the script (made executable) and, when the table has conditions, its filter file.
// False with the system's reason in *error when a file cannot be written.
bool saveCommandScript(const CommandLineRequest &request, const std::string &programPath,
                       const std::string &scriptPath, std::string *error);

} // namespace quorv
