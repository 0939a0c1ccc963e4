// Adding worksheets to an existing .xlsx package.
//
// The new sheets are written first as a package of their own (by libxlsxwriter); merging then writes
// a third package that holds every entry of the existing one with its compressed bytes copied as they
// are, plus the new worksheet parts. Only the parts that must list the new sheets are extended, by
// inserting elements into their text: the content types, the workbook's sheet list and its
// relationships, and the styles part when it has no plain date cell format yet.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorv::xlsx {

// What an existing package holds that matters for adding sheets to it.
struct PackageInfo {
    std::vector<std::string> sheetNames; // UTF-8, in workbook order
    bool date1904 = false;               // the workbook counts dates from 1904
};

// Reads and checks the parts a merge needs. False with a message when the file is not an .xlsx
// workbook that sheets can be added to.
bool readPackage(const std::string &path, PackageInfo *info, std::string *error);

// Writes outPath: the package at existingPath with the worksheets of the package at addedPath
// (written by libxlsxwriter, one sheet per entry of sheetNames, in order) appended under those names.
// Cells of the added sheets that carry the built-in date format keep it through a cell format of the
// existing styles. False with a message; outPath may then hold a partial file, which the caller removes.
bool mergePackages(const std::string &existingPath, const std::string &addedPath,
                   const std::vector<std::string> &sheetNames, const std::string &outPath, std::string *error);

// Checks that every worksheet part of a package ends with its closing tag; a guard against sheet data
// that libxlsxwriter's temporary files lost on a full disk without telling.
bool worksheetsComplete(const std::string &path, std::string *error);

} // namespace quorv::xlsx
