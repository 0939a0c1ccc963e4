// The command line that repeats a wizard conversion without the wizard.
#pragma once

#include <string>

namespace quorv {

struct SourceTable;
struct ExportSettings;

// What the wizard knows when the user asks for the command line of its conversion.
struct CommandLineRequest {
    std::string sourcePath;                 // the table, or the folder of a folder batch
    std::string outputPath;                 // the output file, or the output folder of a folder batch
    bool folderBatch = false;
    const SourceTable *table = nullptr;     // the current table: column order, exclusions, conditions
    const ExportSettings *settings = nullptr;
};

} // namespace quorv
