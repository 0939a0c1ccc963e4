// The fuzz targets as plain functions: the libFuzzer entry points call them, and a regression test
// (built with the normal compiler) replays kept inputs through the same functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorv::fuzz {

// Input layout of the targets that need a table and its blob file: a 4-byte little-endian length n,
// n bytes of .db, the rest is the .mb (no .mb when the rest is empty). An input too short for its
// length is all .db.
std::vector<uint8_t> packTable(const std::vector<uint8_t> &db, const std::vector<uint8_t> &mb);

// Opens the table, reads every record and formats every field.
int readTableTarget(const uint8_t *data, size_t size);
// A 2-byte little-endian pointer count k, k 10-byte blob pointers, then the .mb; reads each pointer.
int readBlobTarget(const uint8_t *data, size_t size);
// Exports the table to one output type this build can write, chosen by a hash of the input, into a
// scratch folder.
int exportTarget(const uint8_t *data, size_t size);
// The input as an existing .xls and as an existing .xlsx workbook, loaded, given one more sheet and
// saved, as appending to a workbook does.
int workbookTarget(const uint8_t *data, size_t size);
// The input as a filter file, a column-list file and a /COLUMNS: value, applied to a fixture table
// whose every record is then filtered.
int listsTarget(const uint8_t *data, size_t size);

struct Target {
    const char *name;
    int (*run)(const uint8_t *data, size_t size);
};
inline constexpr Target kTargets[] = {{"table", readTableTarget},
                                      {"blob", readBlobTarget},
                                      {"export", exportTarget},
                                      {"lists", listsTarget},
                                      {"workbook", workbookTarget}};

// Seed input of the blob target made from a table: every blob pointer of its records and its .mb.
bool blobSeed(const std::string &dbPath, std::vector<uint8_t> &seed);

} // namespace quorv::fuzz
