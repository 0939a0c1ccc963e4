#include "fuzz/fuzz_targets.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "export/driver.h"
#include "export/excel/workbook.h"
#include "export/settings.h"
#include "export/writer.h"
#include "source/blob_file.h"
#include "source/filter.h"
#include "source/format.h"
#include "source/order.h"
#include "source/paradox_file.h"
#include "source/paradox_table.h"
#include "fixture/fixtures.h"

namespace quorv::fuzz {

namespace {

namespace fs = std::filesystem;

// One scratch folder per process, removed when the process ends.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        const char *base = std::getenv("TMPDIR");
        path = std::string(base && *base ? base : "/tmp") + "/quorv-fuzz-XXXXXX";
        if (!mkdtemp(path.data())) {
            std::perror("quorv fuzz: cannot create a scratch folder");
            std::abort();
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

const std::string &scratchFolder() {
    static const ScratchFolder folder;
    return folder.path;
}

void writeBytes(const std::string &path, const uint8_t *data, size_t size) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
}

std::vector<uint8_t> readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// Writes the packed table to <folder>/T.db (and T.mb); returns the .db path.
std::string unpackTable(const uint8_t *data, size_t size, const std::string &folder) {
    const std::string db = folder + "/T.db", mb = folder + "/T.mb";
    std::remove(mb.c_str());
    if (size >= 4 && le32(data) <= size - 4) {
        const size_t dbSize = le32(data);
        writeBytes(db, data + 4, dbSize);
        if (size - 4 - dbSize > 0)
            writeBytes(mb, data + 4 + dbSize, size - 4 - dbSize);
    } else {
        writeBytes(db, data, size);
    }
    return db;
}

ExportSettings quietSettings() {
    ExportSettings settings;
    settings.commandLineMode = true;
    settings.viewAfterExport = false;
    return settings;
}

// Formats every field of every record, as the writers do.
void readEveryValue(SourceTable &table, const ExportSettings &settings) {
    std::string text;
    for (int r = 0; r < table.recordCount; ++r) {
        readRecord(table, r);
        for (int f = 0; f < table.fieldCount; ++f) {
            formatFieldValue(text, table, settings, table.recordBuffer.data(), f);
            fieldIsEmpty(table, table.recordBuffer.data(), f);
        }
    }
}

void emptyFolder(const std::string &folder) {
    std::error_code ignored;
    for (const auto &entry : fs::directory_iterator(folder, ignored))
        fs::remove_all(entry.path(), ignored);
}

} // namespace

std::vector<uint8_t> packTable(const std::vector<uint8_t> &db, const std::vector<uint8_t> &mb) {
    std::vector<uint8_t> packed(4);
    const auto n = static_cast<uint32_t>(db.size());
    for (int i = 0; i < 4; ++i)
        packed[static_cast<size_t>(i)] = static_cast<uint8_t>(n >> (8 * i));
    packed.insert(packed.end(), db.begin(), db.end());
    packed.insert(packed.end(), mb.begin(), mb.end());
    return packed;
}

int readTableTarget(const uint8_t *data, size_t size) {
    const ExportSettings settings = quietSettings();
    SourceTable table;
    table.path = unpackTable(data, size, scratchFolder());
    if (openSourceTable(table, settings, nullptr))
        readEveryValue(table, settings);
    closeSourceTable(table);
    return 0;
}

int readBlobTarget(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    const size_t count = data[0] | data[1] << 8;
    if (size - 2 < count * 10)
        return 0;
    const uint8_t *pointers = data + 2;
    const std::string mb = scratchFolder() + "/B.mb";
    writeBytes(mb, pointers + count * 10, size - 2 - count * 10);
    BlobFile blob;
    std::string out, error;
    if (!blob.open(mb, &error))
        return 0;
    for (size_t i = 0; i < count; ++i) {
        // Each pointer both alone and as the tail of a memo field with a 10-byte leader of its own.
        if (blob.read(pointers + i * 10, out, &error))
            stripBlobPrefix(out);
        uint8_t field[20] = {};
        std::memcpy(field + 10, pointers + i * 10, 10);
        readMemo(field, sizeof field, &blob, out, &error);
    }
    return 0;
}

int exportTarget(const uint8_t *data, size_t size) {
    // A folder of its own: emptied for every input, apart from the other targets' files.
    static const std::string folder = [] {
        const std::string path = scratchFolder() + "/export";
        fs::create_directory(path);
        return path;
    }();
    static const std::vector<const OutputFormat *> formats = [] {
        std::vector<const OutputFormat *> list;
        for (int i = 0; i < kOutputTypeCount; ++i)
            if (hasWriter(outputFormats()[i].type))
                list.push_back(&outputFormats()[i]);
        return list;
    }();
    emptyFolder(folder);
    const std::string db = unpackTable(data, size, folder);
    // One output type per input, chosen by a hash of the whole input: thirteen times the executions
    // of exporting every input to every type, and every type still meets every kind of table.
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    const OutputFormat &format = *formats[hash % formats.size()];
    ExportSettings settings = quietSettings();
    settings.outputType = format.type;
    settings.outputPath = folder + "/out" + format.extension;
    // Half the inputs sorted by the first field, in UTF-8, with dates the other way round.
    if (hash >> 31) {
        settings.sortEnabled = true;
        settings.sortField = 0;
        settings.utf8 = true;
        settings.dateOrder = '0';
    }
    SourceTable table;
    table.path = db;
    if (openSourceTable(table, settings, nullptr))
        runExport(table, settings);
    closeSourceTable(table);
    return 0;
}

int workbookTarget(const uint8_t *data, size_t size) {
    static const std::string folder = [] {
        const std::string path = scratchFolder() + "/workbook";
        fs::create_directory(path);
        return path;
    }();
    emptyFolder(folder);
    // The input as an existing .xls and as an existing .xlsx that a sheet is appended to, as /append does.
    for (const BookKind kind : {BookKind::Classic, BookKind::Xml}) {
        const std::string extension = kind == BookKind::Classic ? ".xls" : ".xlsx";
        writeBytes(folder + "/in" + extension, data, size);
        std::unique_ptr<Workbook> book = Workbook::create(kind, folder);
        std::string error;
        if (!book->load(folder + "/in" + extension, &error))
            continue;
        const int sheet = book->addSheet(uniqueSheetName("Added", book->sheetNames()), &error);
        if (sheet >= 0) {
            book->writeText(sheet, 0, 0, "text");
            book->writeNumber(sheet, 1, 0, 1.5, book->addFormat(14));
        }
        book->save(folder + "/out" + extension, &error);
    }
    return 0;
}

int listsTarget(const uint8_t *data, size_t size) {
    static const std::string fixture = [] {
        const std::string path = scratchFolder() + "/L.db";
        std::string error;
        if (!fixture::makeAllTypesTable(path, &error)) {
            std::fprintf(stderr, "quorv fuzz: %s\n", error.c_str());
            std::abort();
        }
        return path;
    }();
    const std::string lists = scratchFolder() + "/lists.txt";
    writeBytes(lists, data, size);
    ExportSettings settings = quietSettings();
    if (size > 0) {
        settings.dateOrder = static_cast<char>('0' + data[0] % 3);
        settings.dateSeparator = static_cast<char>(data[0] >> 2);
    }
    SourceTable table;
    table.path = fixture;
    if (!openSourceTable(table, settings, nullptr))
        std::abort();
    applyFilterFile(table, readFilterFile(lists));
    std::vector<std::string> columns;
    readColumnListFile(lists, columns);
    addColumnList(std::string(reinterpret_cast<const char *>(data), size), columns, &table);
    applyColumnList(table, columns);
    findSortField(table, columns.empty() ? std::string() : columns.front(), settings.sortField);
    for (int r = 0; r < table.recordCount; ++r) {
        readRecord(table, r);
        recordFailsFilter(table, settings);
    }
    closeSourceTable(table);
    return 0;
}

bool blobSeed(const std::string &dbPath, std::vector<uint8_t> &seed) {
    const ExportSettings settings = quietSettings();
    SourceTable table;
    table.path = dbPath;
    if (!openSourceTable(table, settings, nullptr) || table.blobPath.empty())
        return false;
    std::vector<uint8_t> pointers;
    for (int r = 0; r < table.recordCount && pointers.size() < 640; ++r) {
        readRecord(table, r);
        for (const FieldInfo &field : table.fields) {
            const bool blobField = field.type >= PxMemoBlob && field.type <= PxGraphic;
            if (blobField && field.size >= 10) {
                const uint8_t *tail = table.recordBuffer.data() + field.offset + field.size - 10;
                pointers.insert(pointers.end(), tail, tail + 10);
            }
        }
    }
    const std::vector<uint8_t> mb = readBytes(table.blobPath);
    closeSourceTable(table);
    const size_t count = pointers.size() / 10;
    seed = {static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8)};
    seed.insert(seed.end(), pointers.begin(), pointers.end());
    seed.insert(seed.end(), mb.begin(), mb.end());
    return true;
}

} // namespace quorv::fuzz
