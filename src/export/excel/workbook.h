// A small spreadsheet workbook layer: the operations the Excel writer needs, for the classic
// (.xls, BIFF8) and the XML (.xlsx) workbook formats.
//
// .xls books are held in memory (xls::XlsBook) and written as a whole on saving. .xlsx books are
// written with libxlsxwriter in its constant-memory mode: each row goes to a temporary file as soon as
// the next one begins, so rows must be written in ascending order, each sheet on its own.
//
// Loading an existing workbook prepares adding sheets to it. An .xls book reads the existing sheets'
// names and cell values back and writes them again when saved; an .xlsx book keeps the existing package
// and, on saving, copies every part of it unchanged beside the new sheets (only the parts that list
// sheets, relationships, content types and, when needed, one cell format are extended).
//
// Texts are UTF-8. Every book saves through a temporary file in the target's folder, which takes the
// target's name only once it is complete.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorv {

enum class BookKind { Classic, Xml }; // .xls, .xlsx

// A cell format of a book; 0 is "no format".
using CellFormat = int;

struct DateParts;

class Workbook {
public:
    // A new, empty book. Temporary files go to workFolder (use the target's folder, so that the final
    // rename stays on one file system).
    static std::unique_ptr<Workbook> create(BookKind kind, const std::string &workFolder);
    // Releasing a book that was not saved removes its temporary files.
    virtual ~Workbook() = default;

    virtual BookKind kind() const = 0;
    // Rows and columns a sheet can hold.
    virtual int maxRows() const = 0;
    virtual int maxColumns() const = 0;

    // Loads an existing workbook into an empty book, so that sheets added afterwards are appended to it.
    // False with a message when the file is not a workbook this layer can extend; the book then stays
    // empty.
    virtual bool load(const std::string &path, std::string *error) = 0;
    virtual int sheetCount() const = 0;
    virtual std::vector<std::string> sheetNames() const = 0;
    // Appends a sheet after the existing ones; its index, or -1 with a message. The name must be valid
    // and unique in the book (see validSheetName and uniqueSheetName).
    virtual int addSheet(const std::string &name, std::string *error) = 0;
    // A cell format showing numbers with a built-in number format: 14, the short date (.xls books know
    // no other and give 0, no format).
    virtual CellFormat addFormat(int builtinNumberFormat) = 0;

    // Cells of a sheet added to this book. Texts longer than kMaxTextLength UTF-16 units are cut there.
    virtual void writeText(int sheet, int row, int col, std::string_view utf8) = 0;
    virtual void writeNumber(int sheet, int row, int col, double value, CellFormat format = 0) = 0;
    virtual void writeLogical(int sheet, int row, int col, bool value) = 0;
    // Width in characters, as Excel's column width dialog shows it.
    virtual void setColumnWidth(int sheet, int firstCol, int lastCol, double width) = 0;
    virtual void freezeFirstRow(int sheet) = 0;

    // The date as a serial day number in this book's date system (1900, or 1904 for a loaded .xlsx
    // that uses it). False when the book cannot show the date: after 9999, before 1 January 1904 in the
    // 1904 system, and before 1 March 1900 in the 1900 system (Excel and LibreOffice read the serial
    // numbers of January and February 1900 as different days).
    virtual bool datePack(int year, int month, int day, double &serial) const;

    // Writes the book under path through a temporary file. A book is saved once; false with a message
    // when anything failed, including a cell write before (the target is then not touched).
    virtual bool save(const std::string &path, std::string *error) = 0;

    static constexpr size_t kMaxTextLength = 32767;
    static constexpr size_t kMaxSheetNameLength = 31;

protected:
    bool date1904_ = false;
};

// Length of UTF-8 text in UTF-16 code units.
size_t utf16Length(std::string_view utf8);
// The longest start of the text that fits in maxUnits UTF-16 code units, never splitting a character.
std::string_view cutToUtf16Units(std::string_view utf8, size_t maxUnits);

// A sheet name Excel accepts: the characters []:*?/\ become "_", apostrophes at either end are dropped,
// at most 31 characters; an empty result becomes "Sheet1".
std::string validSheetName(std::string_view utf8);
// The name, or with " (2)", " (3)", ... (cut to fit) when the book already has it (compared ignoring
// the case of ASCII letters, as Excel does).
std::string uniqueSheetName(const std::string &name, const std::vector<std::string> &existing);

} // namespace quorv
