// Per-field record conditions: >100, !empty(), SM?TH*, a date range ...
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quorv {

struct SourceTable;
struct ExportSettings;

enum class FilterOp : uint8_t { None = 0, LessEqual = 1, Less = 2, GreaterEqual = 3, Greater = 4, Not = 5 };

struct FilterCondition {
    std::string text;   // as entered, leading blanks removed; empty = no condition
    std::string value;  // the part after the operator, leading blanks removed
    FilterOp op = FilterOp::None;
    // Filled on first use: the value upper-cased, and for a date condition the day number.
    bool prepared = false;
    bool dateValid = false;
    bool dateReported = false;
    long dateDay = 0;
};

struct FilterFileEntry {
    std::string name;
    std::string condition;
};

void parseCondition(FilterCondition &condition);

// Nonzero when the condition of the field at output position p rejects the current record
// (table.recordBuffer). The condition must not be empty. Problems with the condition (a date
// that names no month) are added to table.problems once.
int recordRejected(SourceTable &table, const ExportSettings &settings, int position);
// Whether any condition of the table rejects the record; visits every output position
// (or the first `positions` when positions >= 0).
bool recordFailsFilter(SourceTable &table, const ExportSettings &settings, int positions = -1);

// 0 when text matches the pattern: '?' any one character, '*' any run of characters; a pattern
// matches texts that begin with it, and a leading '*' means "contains".
int matchPattern(const std::string &pattern, const std::string &text);
long dayNumber(int year, int month, int day);

// Reads "name:condition" lines; a missing file gives no entries.
std::vector<FilterFileEntry> readFilterFile(const std::string &path);
// Builds the table's conditions from the entries (one per field, in field order).
void applyFilterFile(SourceTable &table, const std::vector<FilterFileEntry> &entries);

// Reads one line of at most `limit` bytes; CR LF and LF end lines. Returns the bytes consumed,
// 0 at the end of the file.
size_t readLine(std::FILE *file, std::string &line, size_t limit);

} // namespace quorv
