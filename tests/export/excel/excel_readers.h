// Independent readers of the workbooks we write: openpyxl (.xlsx) and xlrd (.xls) through Debian's
// Python, and LibreOffice headless for both.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quorv::test {

// One cell as the reader gives it. kind: 's' text, 'n' number, 'd' date, 'b' logical, 'e' error.
// value: the text; a number as Python's repr of the float; a date as YYYY-MM-DD; a logical as 1 or 0.
struct XlCell {
    char kind = 's';
    std::string value;
    std::string format; // the number format's code (.xlsx), or the built-in format number (.xls)
};

struct XlSheet {
    std::string name;
    std::string frozen;              // the top left cell below a frozen pane ("A2"), empty when none
    int rows = 0;                    // rows up to the last one in use
    std::map<int, double> widths;    // column -> width as the file stores it, in characters
    std::map<std::pair<int, int>, XlCell> cells; // (row, column); in summary mode rows 0, 1 and the last
    std::map<char, long> kindCounts; // cells of each kind in the whole sheet
};
using XlBook = std::vector<XlSheet>;

// Names the Python modules that are missing for reading these files; empty when all are there.
std::string missingExcelReaders();

// Reads the files in one Python run: .xlsx with openpyxl, .xls with xlrd. Texts of .xlsx files come
// back with their _xHHHH_ escapes decoded, as Excel reads them (openpyxl leaves inline strings as they
// are). False with a message when a reader fails on any file.
bool readWorkbooks(const std::vector<std::string> &paths, bool summary, std::map<std::string, XlBook> &books,
                   std::string *error);

// LibreOffice headless (own profile folder): converts every file to UTF-8 CSV in one run, one CSV per
// sheet named <stem>-<sheet name>.csv in outDir. False when LibreOffice is missing or failed.
std::string sofficeProgram();
bool libreOfficeToCsv(const std::vector<std::string> &files, const std::string &outDir, std::string *error);
// LibreOffice's conversion of files to another workbook format ("xls:MS Excel 97", "xlsx:Calc MS Excel 2007 XML").
bool libreOfficeConvert(const std::vector<std::string> &files, const std::string &filter, const std::string &outDir,
                        std::string *error);

// A Python program's standard output (Debian's python3), for small checks of package contents.
bool runPython(const std::string &script, const std::vector<std::string> &args, std::string *output,
               std::string *error);

} // namespace quorv::test
