// Which fields become output columns, and in which order the records are written.
#pragma once

#include <string>
#include <vector>

namespace quorv {

struct SourceTable;
struct ExportSettings;

// Appends every line of a column-list file (a missing file adds nothing).
void readColumnListFile(const std::string &path, std::vector<std::string> &entries);
// Appends the comma-separated names of a /COLUMNS: value; a double-quoted item may hold commas.
void addColumnList(const std::string &list, std::vector<std::string> &entries, const SourceTable *oemSource = nullptr);
// Item k of a separated list into dest (dest unchanged when the list has fewer items).
void splitListItem(std::string &dest, const std::string &list, int k, char separator);
// Leaves out every field whose stored name is not in the list (ignoring case). The output keeps
// table order, or with listOrder follows the order of the list (the fields left out come last).
void applyColumnList(SourceTable &table, const std::vector<std::string> &entries, bool listOrder = false);
// The first field named so (ignoring case) becomes the sort field; false when there is none.
bool findSortField(const SourceTable &table, const std::string &name, int &sortField);

// Reads every record and sorts the copies by the sort field. Records with equal keys keep their
// table order; empty keys sort before all others. Returns the records that could not be read.
int loadSortedRecords(SourceTable &table, const ExportSettings &settings);
inline int reversePosition(int p, int n) { return n - 1 - p; }

} // namespace quorv
