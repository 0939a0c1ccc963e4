// RTF output: one document holding one table, a header row of column names and one row per record.
#pragma once

#include "export/rtf/rtf_writer.h"
#include "export/writer.h"

namespace quorv {

class RtfTableWriter : public FormatWriter {
public:
    explicit RtfTableWriter(const ExportSettings &) {}
    // A document is always written anew: RTF text appended after a finished document is not read.
    bool appends() const override { return false; }
    bool head(ExportRun &run) override;
    bool record(ExportRun &run) override;
    bool trailer(ExportRun &run) override;

    // Right boundary, in twips, of the cell of the k-th exported column (from 1), in every row.
    static constexpr int kCellWidth = 4400;

private:
    RtfWriter document_;
};

} // namespace quorv
