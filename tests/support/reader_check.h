// What the format tests share: fixture tables, runs of the quorv binary and of exports in process,
// the texts a table holds, and documents read back by the independent readers in readers.py.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "export/driver.h"
#include "export/settings.h"
#include "fixture/fixtures.h"
#include "source/paradox_table.h"
#include "support/test_support.h"

// Skips the test with the message, unless it is empty.
#define QUORV_SKIP_UNLESS_EMPTY(missing)                                                                     \
    if (const std::string missing_ = (missing); !missing_.empty())                                           \
    GTEST_SKIP() << missing_

namespace quorv::test {

using Cells = std::vector<std::vector<std::string>>; // rows of texts
using Adjust = std::function<void(ExportSettings &, SourceTable &)>;

std::string makeTable(const std::string &path, std::vector<fixture::FieldSpec> fields,
                      const std::vector<std::vector<fixture::Cell>> &rows, int codePage = 1252);
std::string everyHighByte(); // the bytes 0x80..0xFF
// The quorv binary run in folder, with the C.UTF-8 locale, UTC and its settings in folder.
RunResult runQuorv(const std::string &folder, std::vector<std::string> args, long fileSizeLimit = -1);
// Exports the table at dbPath to outPath in this process.
ExportResult exportTable(const std::string &dbPath, const std::string &outPath, OutputType type,
                         const Adjust &adjust = {}, const ProgressCallback &progress = {});

// Empty when every tool is here, else what is missing. A name "python3-x" is the Python module x of
// Debian's python3, any other a program on PATH.
std::string missingTools(const std::vector<std::string> &tools);
// Empty when the real tables are here, else why not.
std::string missingCorpus();

// The texts the table at path holds: the field names, then each record's values, as `shown` makes
// them of the value bytes (memo tells a memo field), then in UTF-8 from the table's code page.
using Shown = std::function<std::string(std::string value, bool memo)>;
bool sourceCells(const std::string &path, const ExportSettings &settings, const Shown &shown, Cells &out,
                 std::string *error);
std::string trimBlanks(std::string text);

// One document as a reader of readers.py gave it.
struct ReadCell {
    std::string text, link;
};
struct ReadDocument {
    std::map<std::string, std::string> values;                 // title, charset, tags, ...
    std::vector<std::vector<std::vector<ReadCell>>> tables;  // table, row, cell
    Cells texts(size_t table = 0) const;
};
// Runs readers.py MODE ARGS... and reads what it printed of each document.
bool readDocuments(const std::string &mode, const std::vector<std::string> &args, std::vector<ReadDocument> &out,
                   std::string *error);
// The output of readers.py MODE ARGS..., empty when the reader found nothing wrong.
std::string readerFindings(const std::string &mode, const std::vector<std::string> &args);

// The first differences between what a reader gave and what was wanted (empty when none), each shown
// around its first differing byte.
std::string differences(const Cells &got, const Cells &want);

} // namespace quorv::test
