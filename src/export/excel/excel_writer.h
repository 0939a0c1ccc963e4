// Excel workbooks (.xls and .xlsx): one sheet with the column names in a frozen first row and one row
// of typed cells per record. A book that is full begins the next one: the full books are saved as
// name_0.xls, name_1.xls, ... and the last one under the name given. With /append the sheet is added to
// the existing workbook.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "export/excel/workbook.h"
#include "export/writer.h"

namespace quorv {

class ExcelWriter : public FormatWriter {
public:
    explicit ExcelWriter(const ExportSettings &settings);
    ~ExcelWriter() override;
    bool usesOutputFile() const override { return false; }
    bool head(ExportRun &run) override;
    bool record(ExportRun &run) override;
    bool trailer(ExportRun &run) override;
    void abandon(ExportRun &run) override;

    // Records one .xls book takes (65535 rows with the column names); .xlsx books take 1,048,575.
    static constexpr int kXlsRecordsPerBook = 65534;
    // Books of fewer records than the format holds, for tests of splitting.
    void setRecordsPerBook(int records) { recordsPerBook_ = records; }

private:
    bool beginSheet(ExportRun &run, const std::string &name);
    bool beginNextBook(ExportRun &run);
    bool saveBook(ExportRun &run, const std::string &path);
    void writeCell(ExportRun &run, int row, int col, int field);
    void writeText(ExportRun &run, int row, int col, int field, std::string_view ansiText);

    BookKind kind_;
    std::unique_ptr<Workbook> book_;
    int sheet_ = -1;
    CellFormat dateFormat_ = 0;
    int recordsInBook_ = 0;
    int recordsPerBook_ = 0;
    int splitCount_ = 0;
    std::vector<std::string> savedParts_; // books this run saved under split names
    bool cutReported_ = false;
    std::string utf8_;
};

// The name of split part n of an output: "out.xls" gives "out_0.xls" (the extension kept as written, in
// any case); a name without the type's extension keeps its whole name and gets it: "out.dat_0.xls".
std::string excelSplitPath(const std::string &outputPath, BookKind kind, int n);
// The sheet name of a table: its file name up to the first ".".
std::string sheetNameForTable(const std::string &tablePath, int ansiCodePage);

} // namespace quorv
