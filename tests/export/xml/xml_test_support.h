// Helpers of the XML and RSS tests: fixture tables, exports made in the test's own process, and the
// independent readers (xmllint, Python's ElementTree, lxml and feedparser).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "export/driver.h"
#include "export/settings.h"
#include "fixture/fixtures.h"
#include "source/paradox_table.h"

namespace quorv::test {

using Adjust = std::function<void(ExportSettings &, SourceTable &)>;

std::string makeTable(const std::string &path, std::vector<fixture::FieldSpec> fields,
                      const std::vector<std::vector<fixture::Cell>> &rows, int codePage = 1252);

// Exports the table at dbPath to outPath in this process.
ExportResult exportTable(const std::string &dbPath, const std::string &outPath, OutputType type,
                         const Adjust &adjust = {}, const ProgressCallback &progress = {});

// What a reader must get back from one exported file.
struct ExpectedDocument {
    std::string kind;     // "xml" or "rss"
    std::string file;
    std::string encoding; // the declared encoding
    std::vector<std::string> names;                    // UTF-8
    std::vector<std::string> tags;                     // UTF-8; empty: not checked
    std::vector<std::vector<std::string>> records;     // UTF-8
    std::vector<bool> present = {true, true, true};    // RSS: title, link, description written
};

// Empty when the readers are all here, else the names of those that are missing.
std::string missingXmlReaders();
// Runs xmllint on each file and xml_check.py on all of them; returns what they reported.
std::string readBack(const std::vector<ExpectedDocument> &documents, const std::string &folder);

} // namespace quorv::test
