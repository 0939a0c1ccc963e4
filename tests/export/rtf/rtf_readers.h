// Reading our RTF documents back with independent readers (unrtf, LibreOffice Writer), and the cell
// texts a table should give.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "export/settings.h"

namespace quorv::test {

using Cells = std::vector<std::vector<std::string>>; // rows of cell texts in UTF-8, the header row first

// Names the missing tool (unrtf, Debian's python3), or empty.
std::string missingUnrtf();
// Every table cell of each file as unrtf reads it. False with a message when a file cannot be read.
bool readWithUnrtf(const std::vector<std::string> &files, std::map<std::string, Cells> &out, std::string *error);
// The cells as unrtf gives them: it shows a run of blanks as one blank, as HTML would, and misreads a
// backslash that ends a text.
Cells unrtfView(Cells cells);
// LibreOffice Writer's plain-text rendering of each file (UTF-8, one line per paragraph), in one run
// with its own profile; each file's lines under its path, from the first line with text. False with a message when LibreOffice is
// missing or leaves out a file.
bool readWithLibreOffice(const std::vector<std::string> &files, const std::string &outDir,
                         std::map<std::string, std::vector<std::string>> &out, std::string *error);
// The lines LibreOffice gives for a table: one per cell, and an empty line before each column name
// but the first (the header cells start a new paragraph). Control characters other than TAB are
// left out, as Writer drops them.
std::vector<std::string> libreOfficeLines(const Cells &cells);

// The first few differences between what a reader gave and what was wanted (empty when none), each
// shown around its first differing byte.
std::string differences(const Cells &got, const Cells &want);

// The cells the table at path should give, read through the program's own table layer: the names,
// then per record the values (memo texts whole, other values without blanks at the ends, each CR and
// LF a blank), converted from the table's code page with undefined bytes as U+0080..U+00FF.
Cells expectedCells(const std::string &path, ExportSettings settings);

} // namespace quorv::test
