// Reads a CSV file with Python's csv module, an independent reader of what we write.
#pragma once

#include <string>
#include <vector>

namespace quorv::test {

using CsvRows = std::vector<std::vector<std::string>>;

// Rows of the file as Python's csv.reader sees them with the given delimiter and quote character
// (quote 0: csv.QUOTE_NONE). Text comes back as the file's bytes (latin-1 round trip), or UTF-8 when
// utf8 is set. False when Python or the csv module is missing, or the reader failed.
bool readCsvWithPython(const std::string &path, char delimiter, char quote, bool utf8, CsvRows &rows,
                       std::string *error = nullptr);

} // namespace quorv::test
