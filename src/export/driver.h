// runExport: the one road of every export.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorv {

struct SourceTable;
struct ExportSettings;

struct ExportResult {
    bool ok = false;          // the output is complete
    bool cancelled = false;
    int64_t written = 0;
    int unreadable = 0;
    std::vector<std::string> problems; // already reported to the log / standard error
};

// Called for every record position; returning false cancels the run (the trailer is still written).
using ProgressCallback = std::function<bool(int position, int loopCount)>;

// Exports the open table to settings.outputPath as settings.outputType. Problems go to
// settings.logFile (when open) and standard error.
ExportResult runExport(SourceTable &table, ExportSettings &settings, const ProgressCallback &progress = {});

} // namespace quorv
