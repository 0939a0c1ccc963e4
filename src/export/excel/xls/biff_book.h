// Excel 97-2003 (.xls, BIFF8) workbook: an in-memory model of sheets and cell values that can be
// saved as a "Workbook" stream in a compound file, and loaded back from files written by us, Excel or
// LibreOffice.
//
// Only what a table export needs is modelled: sheet names, text / number / boolean / date cells,
// column widths and a frozen top row. Loading keeps the values of cells (cached results for
// formulas, error cells as their text such as "#N/A"), column widths and frozen rows; fonts, colours,
// formulas and charts are dropped. Loading a file, adding a sheet and saving appends a sheet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorv::xls {

struct XlsCell {
    // Date is a number (Excel serial day, 1900 date system) shown with the built-in format 14.
    enum class Kind { Text, Number, Logical, Date };
    Kind kind = Kind::Text;
    std::string text; // UTF-8, for Text
    double number = 0;
    bool logical = false;
};

class XlsBook {
  public:
    static constexpr int kMaxRows = 65536;
    static constexpr int kMaxColumns = 256;
    static constexpr size_t kMaxTextLength = 32767; // UTF-16 code units; longer text is cut
    static constexpr size_t kMaxSheetNameLength = 31;

    XlsBook();

    // Sheet names must be unique and valid for Excel (the caller sees to it); longer ones are cut to
    // 31 characters when saved.
    int addSheet(const std::string &nameUtf8);
    int sheetCount() const { return static_cast<int>(sheets_.size()); }
    const std::string &sheetName(int sheet) const;

    // Rows 0..65535, columns 0..255; an invalid sheet, row or column throws std::out_of_range.
    // Writing a cell again replaces it.
    void writeText(int sheet, int row, int col, const std::string &utf8);
    void writeNumber(int sheet, int row, int col, double v);
    void writeDate(int sheet, int row, int col, double excelSerial);
    void writeLogical(int sheet, int row, int col, bool v);

    void setColumnWidth(int sheet, int firstCol, int lastCol, double widthInCharacters);
    void freezeFirstRow(int sheet);

    bool save(const std::string &path, std::string *error) const;
    // Replaces the whole book with the file's content; on failure the book is left unchanged.
    bool load(const std::string &path, std::string *error);

    // The workbook stream alone (no compound file), and loading from one.
    std::string workbookStream() const;
    bool loadWorkbookStream(std::string_view stream, std::string *error);

    // Reading back.
    std::optional<XlsCell> cell(int sheet, int row, int col) const;
    // Visits the sheet's cells in row, then column order.
    void forEachCell(int sheet, const std::function<void(int row, int col, const XlsCell &)> &visit) const;
    size_t cellCount(int sheet) const;
    int rowCount(int sheet) const;                // last used row + 1
    int columnCount(int sheet) const;             // last used column + 1
    double columnWidth(int sheet, int col) const; // in characters; 0 when not set
    int frozenRows(int sheet) const;              // rows above a frozen horizontal split

  private:
    enum : uint8_t { kTextCell, kNumberCell, kLogicalCell, kDateCell };
    struct StoredCell {
        uint16_t col;
        uint8_t kind;
        uint32_t text; // string pool index, for text cells
        double number;
    };
    struct Sheet {
        std::string name;
        std::vector<std::vector<StoredCell>> rows; // sparse: rows[r] holds row r's cells by column
        std::vector<uint16_t> widths;              // per column, 1/256 of a character; 0 = default
        int frozenRows = 0;
        size_t cells = 0;
    };

    // Deduplicated UTF-8 strings, stored in one buffer.
    class StringPool {
      public:
        uint32_t intern(std::string_view s);
        std::string_view at(uint32_t i) const { return {data_.data() + offsets_[i], lengths_[i]}; }
        uint32_t size() const { return static_cast<uint32_t>(offsets_.size()); }

      private:
        void rehash(size_t slots);
        std::string data_;
        std::vector<size_t> offsets_;
        std::vector<uint32_t> lengths_;
        std::vector<uint32_t> slots_; // open addressing, index + 1, 0 = empty
    };

    Sheet &sheetAt(int sheet, int row, int col);
    const Sheet &sheetAt(int sheet) const;
    void put(int sheet, int row, int col, uint8_t kind, uint32_t text, double number);
    XlsCell toCell(const StoredCell &c) const;

    friend class BiffLoader;
    std::vector<Sheet> sheets_;
    StringPool strings_;
};

} // namespace quorv::xls
