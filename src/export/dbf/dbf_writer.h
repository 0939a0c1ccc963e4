// DBF tables: dBase III, dBase IV and Visual FoxPro, with a .dbt or .fpt memo file when memo fields
// are exported.
//
// File layout: a 32-byte header, one 32-byte descriptor per exported field, the terminator 0x0D (in
// the FoxPro form followed by the 263-byte backlink area), fixed-width records that start with a blank
// deletion flag, and one 0x1A at the end. The header is written first with a record count of 0 and
// again at the end with the final count.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/writer.h"
#include "export/dbf/memo_file.h"

namespace quorv {

inline constexpr uint8_t kDbfDBaseIII = 0x03;
inline constexpr uint8_t kDbfDBaseIV = 0x43;
inline constexpr uint8_t kDbfFoxPro = 0x30;
inline constexpr uint8_t kDbfWithMemo = 0x83; // dBase III or IV with a memo file
inline constexpr int kDbfBacklinkSize = 263;

// One exported field as the table describes it.
struct DbfColumn {
    int field = 0;     // source field index
    std::string name;  // at most 10 bytes, unique in the table
    char letter = 'C'; // C, D, N, L or M
    int length = 1;
    int decimals = 0;
    int offset = 0;        // in the record; the deletion flag is byte 0
    bool memoText = false; // a memo field whose texts go to the memo file
};

struct DbfLayout {
    uint8_t version = kDbfDBaseIII; // final: 0x83 when memo fields exist in the dBase forms
    bool foxPro = false;
    bool hasMemo = false;
    uint8_t codePageMark = 0;
    int headerLength = 0;
    int recordLength = 1;
    std::vector<DbfColumn> columns;
};

// The version byte a run asks for: the command line's choice, else the output type's.
uint8_t requestedDbfVersion(const ExportSettings &settings);
// Byte 29 of the header for the code page of the character bytes; 0 when the code page has none.
uint8_t dbfCodePageMark(int codePage);
// Makes a descriptor name from a field name: cut to 10 bytes, trailing blanks removed, and changed
// until it differs (ignoring case) from every name in `taken`.
std::string uniqueDbfName(std::string_view fieldName, const std::vector<std::string> &taken, int codePage);
// Puts a numeric text right-aligned into a field of `length` bytes with `decimals` decimals (surplus
// decimal digits dropped). False when it is not a number or does not fit.
bool fitDbfNumber(std::string_view text, int length, int decimals, char *field);
// The header, the descriptors and the terminator (and backlink area) of a table with `records` records.
std::string buildDbfHead(const DbfLayout &layout, uint32_t records, int year, int month, int day);

class DbfWriter : public FormatWriter {
  public:
    explicit DbfWriter(const ExportSettings &) {}
    bool head(ExportRun &run) override;
    bool record(ExportRun &run) override;
    bool trailer(ExportRun &run) override;
    void abandon(ExportRun &run) override;

  private:
    // Values that did not fit their field, reported once per field at the end.
    struct Misfit {
        int64_t count = 0;
        int64_t firstRecord = 0;
    };
    bool startAppend(ExportRun &run);
    void openMemo(ExportRun &run);
    void noteMisfit(ExportRun &run, size_t column);
    void reportMisfits(ExportRun &run);

    DbfLayout layout_;
    std::string recordBuffer_;
    MemoFile memo_;
    bool memoUsable_ = false;
    int year_ = 0, month_ = 0, day_ = 0;
    std::vector<Misfit> misfits_;

    // Appending to an existing table.
    bool appending_ = false;
    uint32_t baseCount_ = 0;
    int64_t dataEnd_ = 0;
    std::string oldHeader_; // its first 32 bytes
    std::string oldTail_;   // the bytes from dataEnd_ to its old end (its 0x1A)
};

} // namespace quorv
