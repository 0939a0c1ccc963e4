// Delimited text and CSV: one line of column names, then one line per record.
#pragma once

#include <array>

#include "export/writer.h"

namespace quorv {

// The quoting rules of one run, worked out once from the settings.
struct CsvRules {
    char separator = ',';
    char quote = '"';                // the quote character that encloses values
    std::array<bool, 256> special{}; // characters that make a value need enclosing
    bool quoteAll = false;
    bool quoteText = false;          // a quote character was chosen: text-like values are enclosed

    explicit CsvRules(const ExportSettings &settings);
    bool needsEnclosing(std::string_view text) const;
};

class CsvWriter : public FormatWriter {
public:
    explicit CsvWriter(const ExportSettings &settings) : rules_(settings) {}
    bool writesByteOrderMark() const override { return true; }
    bool head(ExportRun &run) override;
    bool record(ExportRun &run) override;
    bool trailer(ExportRun &) override { return true; }

private:
    CsvRules rules_;
};

// The line of column names (without line end) into out.
void buildCsvHeader(ExportRun &run, const CsvRules &rules, std::string &out);
// One record's line (without line end) into out.
void buildCsvRecord(ExportRun &run, const CsvRules &rules, std::string &out);

} // namespace quorv
