#include "export/excel/excel_writer.h"

#include <cmath>
#include <cstdio>
#include <strings.h>
#include <sys/stat.h>

#include "export/text_values.h"
#include "platform/codepage.h"
#include "source/format.h"
#include "source/paradox_table.h"

namespace quorv {

namespace {

constexpr double kDateColumnWidth = 11.0;

std::string folderOf(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool isUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

// An existing file with content: appending loads it; an empty or missing one is begun anew.
bool hasContent(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_size > 0);
}

} // namespace

std::string excelSplitPath(const std::string &outputPath, BookKind kind, int n) {
    const std::string folder = folderOf(outputPath);
    std::string name = outputPath.substr(folder.size());
    std::string extension = kind == BookKind::Classic ? ".xls" : ".xlsx";
    if (name.size() > extension.size() &&
        strcasecmp(name.c_str() + name.size() - extension.size(), extension.c_str()) == 0) {
        extension = name.substr(name.size() - extension.size());
        name.resize(name.size() - extension.size());
    }
    return folder + name + "_" + std::to_string(n) + extension;
}

std::string sheetNameForTable(const std::string &tablePath, int ansiCodePage) {
    std::string name = tablePath.substr(folderOf(tablePath).size());
    name = name.substr(0, name.find('.'));
    return isUtf8(name) ? name : platform::toUtf8(name, ansiCodePage);
}

ExcelWriter::ExcelWriter(const ExportSettings &settings)
    : kind_(settings.outputType == OutputType::Xls ? BookKind::Classic : BookKind::Xml) {}

ExcelWriter::~ExcelWriter() = default;

bool ExcelWriter::head(ExportRun &run) {
    const ExportSettings &s = run.settings;
    book_ = Workbook::create(kind_, folderOf(s.outputPath));
    if (recordsPerBook_ <= 0)
        recordsPerBook_ = kind_ == BookKind::Classic ? kXlsRecordsPerBook : book_->maxRows() - 1;
    if (run.selectedCount > book_->maxColumns()) {
        run.fail(s.outputPath + ": " + std::to_string(run.selectedCount) + " columns do not fit in a sheet of " +
                 std::to_string(book_->maxColumns()));
        return false;
    }
    std::string name;
    if (s.appendMode) {
        std::string error;
        if (hasContent(s.outputPath) && !book_->load(s.outputPath, &error)) {
            run.fail(s.outputPath + ": cannot add a sheet to it: " + error + "; the file is left as it was");
            return false;
        }
        name = "Sheet" + std::to_string(book_->sheetCount() + 1);
    } else {
        name = sheetNameForTable(run.table.path, run.table.ansiCodePage);
    }
    return beginSheet(run, uniqueSheetName(validSheetName(name), book_->sheetNames()));
}

bool ExcelWriter::beginSheet(ExportRun &run, const std::string &name) {
    std::string error;
    sheet_ = book_->addSheet(name, &error);
    if (sheet_ < 0) {
        run.fail(run.settings.outputPath + ": " + error);
        return false;
    }
    for (int col = 0; col < run.selectedCount; ++col) {
        const int field = run.columns[static_cast<size_t>(col)];
        writeText(run, 0, col, field, fieldName(run.table, field));
        const char type = fieldDbfType(run.table, field);
        if (type == 'D' || type == 'T')
            book_->setColumnWidth(sheet_, col, col, kDateColumnWidth);
    }
    book_->freezeFirstRow(sheet_);
    dateFormat_ = book_->addFormat(14);
    recordsInBook_ = 0;
    return true;
}

bool ExcelWriter::saveBook(ExportRun &run, const std::string &path) {
    std::string error;
    const bool saved = book_->save(path, &error);
    book_.reset();
    if (!saved)
        run.fail(path + ": the workbook could not be saved: " + error);
    return saved;
}

bool ExcelWriter::beginNextBook(ExportRun &run) {
    std::string path = excelSplitPath(run.settings.outputPath, kind_, splitCount_++);
    // Appending never overwrites the parts of an earlier run.
    while (run.settings.appendMode && hasContent(path))
        path = excelSplitPath(run.settings.outputPath, kind_, splitCount_++);
    if (!saveBook(run, path))
        return false;
    savedParts_.push_back(path);
    book_ = Workbook::create(kind_, folderOf(run.settings.outputPath));
    return beginSheet(run, "Sheet1");
}

bool ExcelWriter::record(ExportRun &run) {
    if (recordsInBook_ == recordsPerBook_ && !beginNextBook(run))
        return false;
    const int row = recordsInBook_ + 1;
    for (int col = 0; col < run.selectedCount; ++col)
        writeCell(run, row, col, run.columns[static_cast<size_t>(col)]);
    ++recordsInBook_;
    return true;
}

bool ExcelWriter::trailer(ExportRun &run) { return saveBook(run, run.settings.outputPath); }

void ExcelWriter::abandon(ExportRun &) {
    book_.reset(); // removes its temporary files
    for (const std::string &part : savedParts_)
        std::remove(part.c_str());
    savedParts_.clear();
}

void ExcelWriter::writeCell(ExportRun &run, int row, int col, int field) {
    SourceTable &table = run.table;
    const uint8_t *record = table.recordBuffer.data();
    std::string &value = run.scratch;
    switch (table.fields[static_cast<size_t>(field)].type) {
    case PxMemoBlob:
    case PxFmtMemoBlob:
        if (readMemo(table, record, field, value) && !value.empty())
            writeText(run, row, col, field, value);
        return;
    case PxDate: {
        DateParts date;
        double serial = 0;
        if (!readDateParts(table, record, field, date))
            return;
        if (book_->datePack(date.year, date.month, date.day, serial)) {
            book_->writeNumber(sheet_, row, col, serial, dateFormat_);
        } else {
            // A date Excel's serial numbers cannot show would appear as "#####".
            formatDateIso(value, table, record, field);
            writeText(run, row, col, field, value);
        }
        return;
    }
    case PxShort:
    case PxLong:
    case PxCurrency:
    case PxNumber:
    case PxAutoInc: {
        double number = 0;
        if (!readNumber(table, record, field, number))
            return;
        if (std::isfinite(number)) {
            book_->writeNumber(sheet_, row, col, number);
        } else {
            formatFieldValue(value, table, run.settings, record, field); // "inf", "nan": no number cell holds them
            writeText(run, row, col, field, value);
        }
        return;
    }
    case PxLogical: {
        int logical = 0;
        if (readLogical(table, record, field, logical))
            book_->writeLogical(sheet_, row, col, logical != 0);
        return;
    }
    default: {
        formatFieldValue(value, table, run.settings, record, field);
        const std::string_view text = trimTrailingBlanks(value);
        if (!text.empty())
            writeText(run, row, col, field, text);
        return;
    }
    }
}

void ExcelWriter::writeText(ExportRun &run, int row, int col, int field, std::string_view ansiText) {
    utf8_.clear();
    platform::appendUtf8(utf8_, ansiText, run.table.ansiCodePage);
    if (!cutReported_ && utf8_.size() > Workbook::kMaxTextLength && utf16Length(utf8_) > Workbook::kMaxTextLength) {
        cutReported_ = true;
        run.warn(run.settings.outputPath + ": a value of field \"" + fieldName(run.table, field) +
                 "\" is longer than the 32767 characters an Excel cell holds and was cut there (further cuts are "
                 "not reported)");
    }
    book_->writeText(sheet_, row, col, utf8_);
}

} // namespace quorv
