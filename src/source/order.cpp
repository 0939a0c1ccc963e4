#include "source/order.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <strings.h>

#include "export/settings.h"
#include "platform/codepage.h"
#include "source/filter.h"
#include "source/format.h"
#include "source/paradox_table.h"

namespace quorv {

void readColumnListFile(const std::string &path, std::vector<std::string> &entries) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return;
    std::string line;
    for (int n = 0; n < 4096 && readLine(file, line, 65536) > 0; ++n)
        entries.push_back(line);
    std::fclose(file);
}

void splitListItem(std::string &dest, const std::string &list, int k, char separator) {
    size_t start = 0;
    for (int item = 0;; ++item) {
        size_t searchFrom = start;
        if (start < list.size() && list[start] == '"') {
            size_t close = list.find('"', start + 1);
            searchFrom = close == std::string::npos ? list.size() : close;
        }
        size_t sep = list.find(separator, searchFrom);
        if (item == k) {
            if (sep != std::string::npos) {
                std::string text = list.substr(start, sep - start);
                if (!text.empty() && text.front() == '"')
                    text.erase(0, 1);
                if (!text.empty() && text.back() == '"')
                    text.pop_back();
                dest = text;
            } else {
                std::string text = start <= list.size() ? list.substr(start) : std::string();
                if (!text.empty() && text.front() == '"')
                    text.erase(0, 1);
                while (!text.empty() && text.back() == ' ')
                    text.pop_back();
                if (!text.empty() && text.back() == '"')
                    text.pop_back();
                dest = text;
            }
            return;
        }
        if (sep == std::string::npos)
            return;
        start = sep + 1;
    }
}

void addColumnList(const std::string &list, std::vector<std::string> &entries, const SourceTable *oemSource) {
    int n = static_cast<int>(std::count(list.begin(), list.end(), ',')) + 1;
    for (int k = 0; k < n; ++k) {
        std::string item;
        splitListItem(item, list, k, ',');
        if (oemSource && oemSource->oemText)
            platform::convertSingleByte(item, oemSource->oemCodePage, oemSource->ansiCodePage);
        entries.push_back(item);
    }
}

void applyColumnList(SourceTable &table, const std::vector<std::string> &entries, bool listOrder) {
    const size_t n = static_cast<size_t>(table.fieldCount);
    auto nameIs = [&](size_t field, const std::string &entry) {
        return strcasecmp(entry.c_str(), table.fields[field].name.c_str()) == 0;
    };
    if (!listOrder) {
        for (size_t i = 0; i < n; ++i) {
            bool listed = std::any_of(entries.begin(), entries.end(), [&](const std::string &e) { return nameIs(i, e); });
            table.fieldExcluded[i] = listed ? 0 : 1;
        }
        return;
    }
    // Each entry places the first field of that name not placed yet; the others follow, left out.
    std::vector<int> order;
    std::vector<bool> placed(n, false);
    for (const std::string &entry : entries) {
        for (size_t f = 0; f < n; ++f) {
            if (!placed[f] && nameIs(f, entry)) {
                placed[f] = true;
                order.push_back(static_cast<int>(f));
                break;
            }
        }
    }
    const size_t shown = order.size();
    for (size_t f = 0; f < n; ++f)
        if (!placed[f])
            order.push_back(static_cast<int>(f));
    table.fieldOrder = order;
    for (size_t p = 0; p < n; ++p)
        table.fieldExcluded[p] = p < shown ? 0 : 1;
}

bool findSortField(const SourceTable &table, const std::string &name, int &sortField) {
    for (int i = 0; i < table.fieldCount; ++i) {
        if (strcasecmp(fieldName(table, i).c_str(), name.c_str()) == 0) {
            sortField = i;
            return true;
        }
    }
    return false;
}

namespace {

// A record's sort key: empty keys first, then numbers or text.
struct SortKey {
    bool present = false;
    long double number = 0;
    std::string text;
};

bool numericKey(uint8_t type) {
    switch (type) {
    case PxDate: case PxShort: case PxLong: case PxAutoInc: case PxTime: case PxTimestamp:
    case PxCurrency: case PxNumber:
        return true;
    default:
        return false;
    }
}

SortKey makeKey(SourceTable &table, const ExportSettings &settings, const uint8_t *record, int field) {
    SortKey key;
    const FieldInfo &f = table.fields[static_cast<size_t>(field)];
    switch (f.type) {
    case PxDate:
    case PxLong:
    case PxAutoInc:
    case PxTime: {
        long v = 0;
        key.present = readLongValue(table, record, field, v);
        key.number = v;
        break;
    }
    case PxTimestamp: {
        int64_t ms = 0;
        key.present = readTimestampMillis(table, record, field, ms);
        key.number = static_cast<long double>(ms);
        break;
    }
    case PxShort:
    case PxCurrency:
    case PxNumber: {
        double v = 0;
        key.present = readNumber(table, record, field, v);
        key.number = v;
        break;
    }
    default:
        formatFieldValue(key.text, table, settings, record, field);
        key.present = !key.text.empty();
        break;
    }
    return key;
}

} // namespace

int loadSortedRecords(SourceTable &table, const ExportSettings &settings) {
    table.sortedRecords.clear();
    const size_t size = static_cast<size_t>(table.recordSize);
    const size_t count = static_cast<size_t>(table.recordCount);
    table.sortedBytes.assign(count * size, 0);
    int unreadable = 0;
    std::vector<RecordCopy> copies(count);
    for (size_t n = 0; n < count; ++n) {
        if (!readRecord(table, static_cast<int>(n))) {
            ++unreadable;
            copies[n].recordNumber = -1;
            continue;
        }
        std::memcpy(table.sortedBytes.data() + n * size, table.recordBuffer.data(), size);
        copies[n].bytes = table.sortedBytes.data() + n * size;
        copies[n].recordNumber = static_cast<int>(n);
    }
    copies.erase(std::remove_if(copies.begin(), copies.end(), [](const RecordCopy &c) { return c.recordNumber < 0; }),
                 copies.end());

    const int field = settings.sortField;
    if (field >= 0 && field < table.fieldCount) {
        std::vector<SortKey> keys(copies.size());
        for (size_t i = 0; i < copies.size(); ++i)
            keys[i] = makeKey(table, settings, copies[i].bytes, field);
        const bool numeric = numericKey(table.fields[static_cast<size_t>(field)].type);
        std::vector<size_t> order(copies.size());
        std::iota(order.begin(), order.end(), size_t{0});
        auto compare = [&](size_t a, size_t b) -> int {
            const SortKey &x = keys[a], &y = keys[b];
            if (x.present != y.present)
                return x.present ? 1 : -1;
            if (!x.present)
                return 0;
            if (numeric)
                return x.number < y.number ? -1 : (x.number > y.number ? 1 : 0);
            return std::strcmp(x.text.c_str(), y.text.c_str());
        };
        const bool ascending = settings.sortAscending;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            int d = compare(a, b);
            return ascending ? d < 0 : d > 0;
        });
        std::vector<RecordCopy> sorted;
        sorted.reserve(copies.size());
        for (size_t i : order)
            sorted.push_back(copies[i]);
        copies.swap(sorted);
    }
    table.sortedRecords = std::move(copies);
    return unreadable;
}

} // namespace quorv
