// The shape every format writer has: a head, one call per kept record, a trailer. Writers never
// read the table on their own or parse options; the driver hands them what they need.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/settings.h"
#include "output/output_file.h"

namespace quorv {

struct SourceTable;

// The state of one export, made by runExport and released at its end.
struct ExportRun {
    SourceTable &table;
    ExportSettings &settings;
    OutputFile output;           // not opened for writers that write their own files
    std::vector<int> columns;    // the field index of each selected output position, in output order
    int selectedCount = 0;
    int lastSelected = -1;       // highest selected output position
    int loopCount = 0;
    int position = 0;
    int64_t written = 0;         // records that passed the filter and were written
    int unreadable = 0;          // records that could not be read and were skipped
    std::string lineBuffer;      // one record line of the text-like formats
    std::string scratch;         // one value at a time
    std::vector<std::string> problems;
    bool failed = false;         // a failure that makes the output incomplete
    bool incomplete = false;     // the output is kept, but a reported problem left data out of it

    ExportRun(SourceTable &t, ExportSettings &s) : table(t), settings(s) {}
    void fail(const std::string &message) {
        failed = true;
        problems.push_back(message);
    }
    void warn(const std::string &message) { problems.push_back(message); }
};

class FormatWriter {
public:
    virtual ~FormatWriter() = default;
    // Writers that save their own files (Excel, RTF) return false; the driver then opens nothing.
    virtual bool usesOutputFile() const { return true; }
    // Formats whose file cannot take a second run's output after its end create it anew even in append mode.
    virtual bool appends() const { return true; }
    // Formats whose output describes only the columns (a script that creates the table) get no records.
    virtual bool takesRecords() const { return true; }
    // Text-like formats start with a byte-order mark when the output is UTF-8.
    virtual bool writesByteOrderMark() const { return false; }
    virtual bool head(ExportRun &run) = 0;
    // The record is in run.table.recordBuffer.
    virtual bool record(ExportRun &run) = 0;
    virtual bool trailer(ExportRun &run) = 0;
    // Called after an output-file failure or a cancel before the trailer was written: remove
    // files the writer made on its own.
    virtual void abandon(ExportRun &) {}
};

using WriterFactory = std::unique_ptr<FormatWriter> (*)(const ExportSettings &);
// The writer of an output type, or nullptr when this build has none.
std::unique_ptr<FormatWriter> makeWriter(OutputType type, const ExportSettings &settings);
bool hasWriter(OutputType type);

} // namespace quorv
