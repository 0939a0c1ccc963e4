#include "export/rtf/rtf_table_writer.h"

#include "export/text_values.h"
#include "source/format.h"
#include "source/paradox_table.h"

namespace quorv {

namespace {

constexpr const char *kFonts = "Times New Roman;Arial;";
constexpr const char *kColours = "0;0;0;255;0;0;192;192;192;255;255;255"; // black, red, silver, white
constexpr int kWhite = 3;

// Row, cell and paragraph formats of the table, set once after the document is opened.
void setTableFormats(RtfWriter &document) {
    RtfRowFormat &row = document.rowFormat();
    row.alignment = 0;
    row.paddingLeft = row.paddingRight = row.paddingTop = row.paddingBottom = 20;

    RtfCellFormat &cell = document.cellFormat();
    cell.verticalAlignment = 1;
    cell.textDirection = 0;
    for (RtfBorder *border : {&cell.left, &cell.right, &cell.top, &cell.bottom})
        *border = RtfBorder{true, 0, 5, 0, 0};
    cell.shading.on = true;
    cell.shading.pattern = 0;
    cell.shading.background = kWhite;

    RtfParagraphFormat &paragraph = document.paragraphFormat();
    paragraph.alignment = 3;
    paragraph.spaceBefore = paragraph.spaceAfter = 0;
    paragraph.inTable = true;
}

// The text of a field for its cell: memo texts as they are, other values without blanks at either end.
void cellValue(ExportRun &run, int field, std::string &out) {
    SourceTable &table = run.table;
    formatFieldValue(out, table, run.settings, table.recordBuffer.data(), field);
    const uint8_t type = table.fields[static_cast<size_t>(field)].type;
    if (type == PxMemoBlob || type == PxFmtMemoBlob)
        return; // line breaks become blanks when the text is written
    const std::string_view trimmed = trimBlanks(out);
    out.erase(0, static_cast<size_t>(trimmed.data() - out.data())).resize(trimmed.size());
}

} // namespace

bool RtfTableWriter::head(ExportRun &run) {
    document_.openDocument(run.output, kFonts, kColours, run.table.ansiCodePage);
    setTableFormats(document_);
    document_.startRow();
    for (size_t k = 0; k < run.columns.size(); ++k) {
        document_.startCell(kCellWidth * static_cast<int>(k + 1));
        document_.writeParagraph(fieldName(run.table, run.columns[k]), true);
        document_.endCell();
    }
    document_.endRow();
    return true;
}

bool RtfTableWriter::record(ExportRun &run) {
    document_.startRow();
    for (size_t k = 0; k < run.columns.size(); ++k) {
        document_.startCell(kCellWidth * static_cast<int>(k + 1));
        cellValue(run, run.columns[k], run.scratch);
        document_.writeParagraph(run.scratch, false);
        document_.endCell();
    }
    document_.endRow();
    return true;
}

bool RtfTableWriter::trailer(ExportRun &) {
    document_.closeDocument();
    return true;
}

} // namespace quorv
