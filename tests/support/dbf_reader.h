// Reads DBF tables with Python's dbfread (tests/support/dbf_dump.py), an independent reader of what
// we write.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace quorv::test {

// A field as the reader sees it (names are not compared: the layout tests check them byte by byte).
struct DbfField {
    char type = 0;
    int length = 0;
    int decimals = 0;
};

// One table as the reader sees it. Values are "-" (no value), "s:<hex of UTF-8>", "n:<number with the
// field's decimals>", "d:<ISO date>", "T" or "F".
struct DbfTableDump {
    std::string error; // set when the reader refused the file
    std::vector<DbfField> fields;
    std::vector<std::vector<std::string>> rows;
};

// Whether Debian's python3 can import dbfread.
bool haveDbfread();
// Reads every file in one run of dbfread. False (with the reason) when the reader could not run; a
// file the reader refuses comes back with its error set.
bool readDbfTables(const std::vector<std::string> &files, std::map<std::string, DbfTableDump> &tables,
                   std::string *error);

// "s:" and the hex of the bytes.
std::string textValue(const std::string &utf8);

} // namespace quorv::test
