// Folder batch: every Paradox table of a folder converted into an output folder, one file each.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "export/settings.h"

namespace quorv {

struct FolderBatch {
    std::string sourceFolder;       // where the tables are
    std::string outputFolder;       // where the outputs go
    std::vector<std::string> names; // the tables' file names, without folder
};

struct FolderResult {
    int converted = 0; // tables whose output is complete
    int failed = 0;    // tables that did not open or whose export failed
    bool cancelled = false;
    std::vector<std::string> problems;
};

// Called for every record of every table: the table's index in names, the record position and the
// table's record count. Returning false cancels the batch after the current table's trailer.
using FolderProgress = std::function<bool(int table, int position, int loopCount)>;

// The file names in folder that the pattern of '*' and '?' matches, ignoring case, sorted; Thumbs.db
// is left out. The pattern "*.db" finds every table whatever the case of its extension.
std::vector<std::string> findSourceTables(const std::string &folder, const std::string &pattern = "*.db");

// outputFolder/name with the table's own ".db" extension (any case) replaced by the type's extension.
// Only the file name's extension is replaced: a ".db" inside a folder name stays.
std::string folderOutputPath(const std::string &outputFolder, const std::string &name, OutputType type);

bool isThumbsDb(const std::string &name);

// Converts every table of the batch with the given settings (outputType chooses the format; type 13
// writes RSS channels through the XML writer). Each table gets its own column order and no filter.
// With viewAfterExport on, the output folder is opened once at the end instead of every file.
FolderResult convertFolder(const FolderBatch &batch, ExportSettings &settings,
                           const FolderProgress &progress = {});

} // namespace quorv
