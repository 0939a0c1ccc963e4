// Helpers for the .xls tests: scratch folders, and the independent readers (xlrd, LibreOffice).
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace quorv::xls::test {

using quorv::test::TempDir; // a fresh folder under /tmp, removed with its files

// Runs a shell command; returns its exit status and standard output (standard error goes to
// *errors when given).
int runCommand(const std::string &command, std::string *output, std::string *errors = nullptr);
std::string shellQuote(const std::string &s);

// Debian's python with xlrd, and LibreOffice; empty when missing.
std::string xlrdPython();
std::string sofficeProgram();

// What xlrd sees in a file.
struct XlrdCell {
    int ctype = 0; // 1 text, 2 number, 3 date, 4 boolean
    std::string value;
};
struct XlrdSheet {
    std::string name;
    int nrows = 0, ncols = 0;
    int horzSplitPos = 0;
    bool panesFrozen = false;
    std::map<int, int> widths; // column -> COLINFO width
    std::map<std::pair<int, int>, XlrdCell> cells;
    // Summary mode: per cell type, the count and the sum of numbers or of text lengths.
    std::map<int, std::pair<long, double>> totals;
};

// mode "all" lists every cell; "summary" lists rows 0, 1 and the last one, and per-type totals.
bool xlrdRead(const std::string &file, const std::string &mode, std::vector<XlrdSheet> *sheets,
              std::string *error);

// Converts with LibreOffice headless (its own profile folder each time); returns the output path.
bool sofficeConvert(const std::string &file, const std::string &target, const std::string &extension,
                    const std::string &outDir, std::string *outPath, std::string *error);

} // namespace quorv::xls::test
