// Delimited text and CSV: one line of column names, then one line per record.
#pragma once

#include "export/writer.h"

namespace quorv {

class CsvWriter : public FormatWriter {
public:
    bool writesByteOrderMark() const override { return true; }
    bool head(ExportRun &run) override;
    bool record(ExportRun &run) override;
    bool trailer(ExportRun &) override { return true; }
};

// The line of column names (without line end) into out.
void buildCsvHeader(ExportRun &run, std::string &out);
// One record's line (without line end) into out.
void buildCsvRecord(ExportRun &run, std::string &out);

} // namespace quorv
