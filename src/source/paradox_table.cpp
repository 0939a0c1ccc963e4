#include "source/paradox_table.h"

#include <algorithm>
#include <cstring>
#include <new>

extern "C" {
#include <paradox.h>
}

#include "export/settings.h"
#include "platform/codepage.h"
#include "source/blob_file.h"
#include "source/paradox_file.h"

namespace quorv {

const FieldTypeRow kFieldTypeTable[kFieldTypeRows] = {
    {PxChar, "Char", "char(%d)", 'C'},
    {PxDate, "Date", "date", 'D'},
    {PxShort, "Short", "integer", 'N'},
    {PxAutoInc, "AutoInc", "integer", 'N'},
    {PxTimestamp, "Timestamp", "timestamp", 'C'},
    {PxLong, "Long", "integer", 'N'},
    {PxTime, "Time", "time", 'C'},
    {PxCurrency, "Currency", "decimal(20,2)", 'N'},
    {PxNumber, "Number", "real", 'N'},
    {PxLogical, "Logical", "boolean", 'L'},
    {PxGraphic, "Graphic", "text", 'M'},
    {PxBlob, "Blob", "text", 'M'},
    {PxOle, "OLE", "text", 'C'},
    {PxFmtMemoBlob, "FmtMemoBLOb", "text", 'M'},
    {PxMemoBlob, "MemoBLOb", "text", 'M'},
    {PxBytes, "Bytes", "text", 'C'},
    {PxBcd, "pxfBCD", "decimal(34,4)", 'C'},
};

namespace {

constexpr size_t kMaxProblems = 50;

// pxlib reports through this instead of printing to standard error.
void collectPxlibMessage(pxdoc_t *, int, const char *message, void *data) {
    auto *table = static_cast<SourceTable *>(data);
    if (table && message)
        table->noteProblem(std::string("pxlib: ") + message);
}

void releaseDocument(SourceTable &table) {
    if (table.document) {
        PX_close(table.document);
        PX_delete(table.document);
        table.document = nullptr;
    }
}

void openBlobFile(SourceTable &table, uint32_t encryptionKey) {
    table.blobPath = findBlobFile(table.path);
    if (table.blobPath.empty())
        return;
    auto blob = std::make_unique<BlobFile>();
    std::string error;
    if (blob->open(table.blobPath, &error, encryptionKey))
        table.blob = std::move(blob);
    else
        table.noteProblem(table.blobPath + ": blob file cannot be read, memo texts kept in it are left empty: " + error);
}

} // namespace

SourceTable::SourceTable() = default;
SourceTable::~SourceTable() { closeSourceTable(*this); }

void SourceTable::noteProblem(const std::string &message) {
    if (problems.size() >= kMaxProblems)
        return;
    if (std::find(problems.begin(), problems.end(), message) == problems.end())
        problems.push_back(message);
}

bool isOpen(const SourceTable &table) { return table.file != nullptr; }

bool openSourceTable(SourceTable &table, const ExportSettings &settings, std::string *error) {
    closeSourceTable(table);
    auto file = std::make_unique<ParadoxFile>();
    std::string why;
    if (!file->open(table.path, &why)) {
        if (error)
            *error = why;
        return false;
    }
    const ParadoxHeader &header = file->header();
    try {
        table.fields.clear();
        table.fields.reserve(header.fields.size());
        int offset = 0;
        for (const ParadoxFieldDesc &desc : header.fields) {
            FieldInfo info;
            info.name = desc.name;
            info.type = desc.type;
            info.size = desc.size;
            info.offset = offset;
            offset += desc.size;
            table.fields.push_back(std::move(info));
        }
        table.fieldCount = static_cast<int>(table.fields.size());
        table.recordSize = header.recordSize;
        table.recordCount = file->recordCount();
        table.recordBuffer.assign(static_cast<size_t>(table.recordSize), 0);
        table.fieldOrder.resize(static_cast<size_t>(table.fieldCount));
        for (int i = 0; i < table.fieldCount; ++i)
            table.fieldOrder[static_cast<size_t>(i)] = i;
        table.fieldExcluded.assign(static_cast<size_t>(table.fieldCount), 0);
        table.fractionalFields.assign(static_cast<size_t>(table.fieldCount), 0);
        for (int i = 0; i < table.fieldCount; ++i) {
            uint8_t type = table.fields[static_cast<size_t>(i)].type;
            if (type == PxCurrency || type == PxNumber)
                table.fractionalFields[static_cast<size_t>(i)] = 1;
        }
    } catch (const std::bad_alloc &) {
        if (error)
            *error = "not enough memory to open the table";
        closeSourceTable(table);
        return false;
    }

    table.document = PX_new3(collectPxlibMessage, nullptr, nullptr, nullptr, &table);
    if (!table.document || PX_open_file(table.document, table.path.c_str()) < 0) {
        if (error)
            *error = "not a readable Paradox table: pxlib cannot open it";
        closeSourceTable(table);
        return false;
    }
    // BCD decimals come from pxlib's field descriptors.
    if (pxfield_t *pxFields = PX_get_fields(table.document)) {
        int n = std::min(PX_get_num_fields(table.document), table.fieldCount);
        for (int i = 0; i < n; ++i)
            table.fields[static_cast<size_t>(i)].decimals = pxFields[i].px_fdc;
    }

    table.headerCodePage = header.codePage;
    table.ansiCodePage = settings.ansiCodePage ? settings.ansiCodePage : platform::ansiCodePageFor(header.codePage);
    table.oemCodePage = settings.oemCodePage ? settings.oemCodePage : platform::oemCodePageFor(header.codePage);
    table.oemText = settings.oemText();
    uint32_t key = header.encryptionKey;
    table.file = std::move(file);
    openBlobFile(table, key);
    return true;
}

bool readRecord(SourceTable &table, int n) {
    uint8_t *buffer = table.recordBuffer.data();
    if (!table.file || n < 0 || n >= table.recordCount) {
        std::fill(table.recordBuffer.begin(), table.recordBuffer.end(), 0);
        return false;
    }
    bool ok;
    if (table.file->needsPxlib()) {
        int deleted = 0;
        pxdatablockinfo_t info;
        ok = table.document &&
             PX_get_record2(table.document, n, reinterpret_cast<char *>(buffer), &deleted, &info) != nullptr;
    } else {
        ok = table.file->readRecord(n, buffer);
    }
    if (!ok)
        std::fill(table.recordBuffer.begin(), table.recordBuffer.end(), 0);
    return ok;
}

void closeSourceTable(SourceTable &table) {
    releaseDocument(table);
    table.file.reset();
    table.blob.reset();
    table.recordBuffer.clear();
    table.recordBuffer.shrink_to_fit();
    table.sortedRecords.clear();
    table.sortedBytes.clear();
    table.sortedBytes.shrink_to_fit();
}

const FieldTypeRow *fieldTypeRow(uint8_t code) {
    for (const FieldTypeRow &row : kFieldTypeTable)
        if (row.code == code)
            return &row;
    return nullptr;
}

std::string fieldName(const SourceTable &table, int field) {
    std::string name = table.fields[static_cast<size_t>(field)].name;
    if (table.oemText)
        platform::convertSingleByte(name, table.oemCodePage, table.ansiCodePage);
    return name;
}

const char *fieldTypeName(const SourceTable &table, int field) {
    const FieldTypeRow *row = fieldTypeRow(table.fields[static_cast<size_t>(field)].type);
    return row ? row->typeName : "Unkown";
}

const char *fieldSqlType(const SourceTable &table, int field) {
    const FieldTypeRow *row = fieldTypeRow(table.fields[static_cast<size_t>(field)].type);
    return row ? row->sqlType : "Unkown";
}

char fieldDbfType(const SourceTable &table, int field) {
    const FieldTypeRow *row = fieldTypeRow(table.fields[static_cast<size_t>(field)].type);
    return row ? row->dbfType : static_cast<char>(kFieldTypeRows);
}

int fieldOffset(const SourceTable &table, int field) { return table.fields[static_cast<size_t>(field)].offset; }

} // namespace quorv
