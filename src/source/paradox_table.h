// One Paradox table opened for export.
//
// The table is checked and read through our own file layer (paradox_file.h) before pxlib sees it:
// pxlib 0.6.8 crashes or loops on damaged files and walks its block list from the start for every
// record. pxlib opens the checked file and decodes the typed values.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "source/filter.h"

extern "C" {
struct px_doc;
}

namespace quorv {

struct ExportSettings;
class ParadoxFile;
class BlobFile;

enum ParadoxType : uint8_t {
    PxChar = 1,
    PxDate = 2,
    PxShort = 3,
    PxLong = 4,
    PxCurrency = 5,
    PxNumber = 6,
    PxLogical = 9,
    PxMemoBlob = 12,
    PxBlob = 13,
    PxFmtMemoBlob = 14,
    PxOle = 15,
    PxGraphic = 16,
    PxTime = 20,
    PxTimestamp = 21,
    PxAutoInc = 22,
    PxBcd = 23,
    PxBytes = 24,
};

struct FieldInfo {
    std::string name;  // as stored, in the table's own code page
    uint8_t type = 0;  // ParadoxType code
    int size = 0;      // bytes in a record
    int decimals = 0;  // BCD fields only
    int offset = 0;    // byte offset in a record
};

// One row of the type table: shown name, SQL column type, DBF type letter.
struct FieldTypeRow {
    uint8_t code;
    const char *typeName;
    const char *sqlType;
    char dbfType;
};
inline constexpr int kFieldTypeRows = 17;
extern const FieldTypeRow kFieldTypeTable[kFieldTypeRows];

// One record held in memory for sorting.
struct RecordCopy {
    const uint8_t *bytes = nullptr;
    int recordNumber = 0;
};

struct SourceTable {
    std::string path;
    std::vector<FilterCondition> conditions; // one per field, in field order, when a filter is set
    std::vector<int> fractionalFields;
    px_doc *document = nullptr;
    int fieldCount = 0;
    int recordCount = 0;
    int recordSize = 0;
    std::vector<uint8_t> recordBuffer;
    std::vector<RecordCopy> sortedRecords;
    std::vector<uint8_t> sortedBytes;   // storage of the sorted copies

    std::vector<FieldInfo> fields;
    std::vector<int> fieldOrder;        // output position -> field index
    std::vector<int> fieldExcluded;     // output position -> nonzero when left out

    int headerCodePage = 0;             // as the header states it, 0 when none
    int ansiCodePage = 1252;
    int oemCodePage = 437;
    bool oemText = false;               // Char values and names are OEM text, converted to ANSI

    std::unique_ptr<ParadoxFile> file;
    std::unique_ptr<BlobFile> blob;
    std::string blobPath;

    // Problems met while opening or reading (pxlib's messages, a blob file that could not be read, ...),
    // for the caller to report. Each distinct problem is kept once.
    std::vector<std::string> problems;
    bool missingBlobReported = false;

    SourceTable();
    ~SourceTable();
    SourceTable(const SourceTable &) = delete;
    SourceTable &operator=(const SourceTable &) = delete;

    void noteProblem(const std::string &message);
};

// Opens table.path. False with a message in *error when the file is missing, unreadable or not a
// readable Paradox table; the table is then not open.
bool openSourceTable(SourceTable &table, const ExportSettings &settings, std::string *error);
// Reads record n into recordBuffer; false when the record cannot be read (the buffer is then
// zero-filled, never left holding the previous record).
bool readRecord(SourceTable &table, int n);
// Releases the record buffer and closes the pxlib document and the files.
void closeSourceTable(SourceTable &table);
bool isOpen(const SourceTable &table);

// The field's name, converted from OEM to ANSI when the table's text is OEM text.
std::string fieldName(const SourceTable &table, int field);
const char *fieldTypeName(const SourceTable &table, int field);
const char *fieldSqlType(const SourceTable &table, int field);
char fieldDbfType(const SourceTable &table, int field);
int fieldOffset(const SourceTable &table, int field);
const FieldTypeRow *fieldTypeRow(uint8_t code);

} // namespace quorv
