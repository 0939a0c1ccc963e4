// Clipper/FoxPro program output: one DBCREATE call that creates a table with the exported columns,
// each declared as text of 255 characters. No records are written.
#pragma once

#include <string>
#include <string_view>

#include "export/writer.h"

namespace quorv {

class PrgWriter : public FormatWriter {
public:
    explicit PrgWriter(const ExportSettings &) {}
    bool takesRecords() const override { return false; }
    bool head(ExportRun &run) override;
    bool record(ExportRun &) override { return true; }
    bool trailer(ExportRun &) override { return true; }
};

// The whole script for the run's table and columns.
void writePrgScript(ExportRun &run);

// A string literal of the Clipper language holding the text: between double quotes, or between
// apostrophes or square brackets when it holds double quotes, and joined from pieces with "+" (line
// breaks and other control characters as CHR(n)) when no single literal can hold it.
std::string prgStringLiteral(std::string_view text);

} // namespace quorv
