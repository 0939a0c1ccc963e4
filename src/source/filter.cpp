#include "source/filter.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "export/settings.h"
#include "platform/codepage.h"
#include "source/format.h"
#include "source/paradox_table.h"

namespace quorv {

namespace {

void removeLeadingBlanks(std::string &text) {
    size_t n = text.find_first_not_of(' ');
    text.erase(0, n == std::string::npos ? text.size() : n);
}

int sign(long long d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

bool rejects(FilterOp op, int d) {
    switch (op) {
    case FilterOp::None: return d != 0;
    case FilterOp::LessEqual: return d > 0;
    case FilterOp::Less: return d >= 0;
    case FilterOp::GreaterEqual: return d < 0;
    case FilterOp::Greater: return d <= 0;
    case FilterOp::Not: return d == 0;
    }
    return false;
}

bool isOrdering(FilterOp op) { return op >= FilterOp::LessEqual && op <= FilterOp::Greater; }

int digitAt(const std::string &s, size_t i) { return i < s.size() ? s[i] - '0' : 0; }
int twoDigitsAt(const std::string &s, size_t i) { return digitAt(s, i) * 10 + digitAt(s, i + 1); }
// The number at i; a number beyond the int range counts as that range's end.
int numberFrom(const std::string &s, size_t i) {
    if (i >= s.size())
        return 0;
    const long n = std::strtol(s.c_str() + i, nullptr, 10);
    return static_cast<int>(std::clamp<long>(n, INT_MIN, INT_MAX));
}
// Orders two whole numbers written as text; one beyond the 64-bit range counts as that range's end.
int compareWholeNumbers(const std::string &a, const std::string &b) {
    const long long x = std::strtoll(a.c_str(), nullptr, 10), y = std::strtoll(b.c_str(), nullptr, 10);
    return x < y ? -1 : (x > y ? 1 : 0);
}
char charAt(const std::string &s, size_t i) { return i < s.size() ? s[i] : '\0'; }

// Reads a condition's date by the locale's date order.
DateParts conditionDate(const std::string &v, char order) {
    DateParts d;
    switch (order) {
    case '1':
        d.day = twoDigitsAt(v, 0);
        d.month = twoDigitsAt(v, 3);
        d.year = numberFrom(v, 6);
        break;
    case '0':
        if (charAt(v, 1) == '/') {
            d.month = digitAt(v, 0);
            d.day = charAt(v, 3) == '/' ? digitAt(v, 2) : twoDigitsAt(v, 2);
        } else {
            d.month = twoDigitsAt(v, 0);
            d.day = charAt(v, 4) == '/' ? digitAt(v, 3) : twoDigitsAt(v, 3);
        }
        if (charAt(v, 3) == '/')
            d.year = numberFrom(v, 4);
        else if (charAt(v, 4) == '/')
            d.year = numberFrom(v, 5);
        else
            d.year = numberFrom(v, 6);
        break;
    case '2':
        d.year = numberFrom(v, 0);
        d.month = twoDigitsAt(v, 5);
        d.day = twoDigitsAt(v, 8);
        break;
    default:
        break;
    }
    return d;
}

// Glob match where '*' is any run and '?' any one character.
bool globMatch(const char *p, const char *t) {
    const char *star = nullptr, *resume = nullptr;
    while (*t) {
        if (*p == '?' || (*p && *p != '*' && *p == *t)) {
            ++p;
            ++t;
        } else if (*p == '*') {
            star = p++;
            resume = t;
        } else if (star) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (*p == '*')
        ++p;
    return *p == '\0';
}

void prepare(FilterCondition &c, SourceTable &table, const ExportSettings &settings, uint8_t type) {
    c.prepared = true;
    platform::upperCase(c.value, table.ansiCodePage);
    if (type == PxDate && isOrdering(c.op)) {
        DateParts d = conditionDate(c.value, settings.dateOrder);
        c.dateValid = d.month >= 1 && d.month <= 12;
        if (c.dateValid) {
            c.dateDay = dayNumber(d.year, d.month, d.day);
        } else if (!c.dateReported) {
            c.dateReported = true;
            table.noteProblem("filter condition \"" + c.text + "\" names no month from 1 to 12; it is ignored");
        }
    }
}

} // namespace

void parseCondition(FilterCondition &c) {
    removeLeadingBlanks(c.text);
    c.op = FilterOp::None;
    size_t p = 0;
    const std::string &t = c.text;
    if (charAt(t, p) == '!') {
        c.op = FilterOp::Not;
        ++p;
    }
    if (charAt(t, p) == '>') {
        c.op = FilterOp::Greater;
        ++p;
        if (charAt(t, p) == '=') {
            c.op = FilterOp::GreaterEqual;
            ++p;
        }
    }
    if (charAt(t, p) == '<') {
        c.op = FilterOp::Less;
        ++p;
        if (charAt(t, p) == '=') {
            c.op = FilterOp::LessEqual;
            ++p;
        }
    }
    c.value = t.substr(std::min(p, t.size()));
    removeLeadingBlanks(c.value);
    c.prepared = false;
}

long dayNumber(int year, int month, int day) {
    // Days since 1 January 1900 counted on from 2415021, for every year of the Gregorian calendar.
    auto daysBeforeYear = [](long y) { return (y - 1) * 365 + (y - 1) / 4 - (y - 1) / 100 + (y - 1) / 400; };
    static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    long n = 2415021 + daysBeforeYear(year) - daysBeforeYear(1900);
    for (int m = 1; m < month && m <= 12; ++m)
        n += lengths[m - 1] + (m == 2 && leap ? 1 : 0);
    return n + day - 1;
}

int matchPattern(const std::string &pattern, const std::string &text) {
    // A pattern matches the texts that begin with it; a leading '*' makes it "contains".
    std::string full = pattern;
    if (full.empty() || full.back() != '*')
        full.push_back('*');
    return globMatch(full.c_str(), text.c_str()) ? 0 : 1;
}

int recordRejected(SourceTable &table, const ExportSettings &settings, int position) {
    int field = table.fieldOrder[static_cast<size_t>(position)];
    FilterCondition &c = table.conditions[static_cast<size_t>(field)];
    const FieldInfo &f = table.fields[static_cast<size_t>(field)];
    const uint8_t *record = table.recordBuffer.data();
    if (!c.prepared)
        prepare(c, table, settings, f.type);

    if (f.type == PxDate && isOrdering(c.op)) {
        if (!c.dateValid)
            return 0;
        DateParts d;
        if (!readDateParts(table, record, field, d))
            return 1;
        long d1 = dayNumber(d.year, d.month, d.day);
        return rejects(c.op, sign(d1 - c.dateDay)) ? 1 : 0;
    }

    thread_local std::string text;
    formatFieldValue(text, table, settings, record, field);
    switch (f.type) {
    case PxShort:
    case PxLong:
    case PxAutoInc:
        return rejects(c.op, compareWholeNumbers(text, c.value)) ? 1 : 0;
    case PxCurrency:
    case PxNumber: {
        double a = std::atof(text.c_str()), b = std::atof(c.value.c_str());
        return rejects(c.op, a < b ? -1 : (a > b ? 1 : 0)) ? 1 : 0;
    }
    default:
        break;
    }
    removeLeadingBlanks(text);
    if (strcasecmp(c.value.c_str(), "EMPTY()") == 0)
        return rejects(c.op, text.empty() ? 0 : 1) ? 1 : 0;
    if (table.oemText && f.type != PxChar)
        platform::convertSingleByte(text, table.oemCodePage, table.ansiCodePage);
    platform::upperCase(text, table.ansiCodePage);
    if (isOrdering(c.op))
        return rejects(c.op, sign(std::strcmp(text.c_str(), c.value.c_str()))) ? 1 : 0;
    return rejects(c.op, matchPattern(c.value, text)) ? 1 : 0;
}

bool recordFailsFilter(SourceTable &table, const ExportSettings &settings, int positions) {
    if (table.conditions.empty())
        return false;
    int n = positions >= 0 ? std::min(positions, table.fieldCount) : table.fieldCount;
    for (int p = 0; p < n; ++p) {
        int field = table.fieldOrder[static_cast<size_t>(p)];
        if (table.conditions[static_cast<size_t>(field)].text.empty())
            continue;
        if (recordRejected(table, settings, p))
            return true;
    }
    return false;
}

size_t readLine(std::FILE *file, std::string &line, size_t limit) {
    line.clear();
    size_t consumed = 0;
    int c;
    while (consumed < limit && (c = std::fgetc(file)) != EOF) {
        ++consumed;
        if (c == '\n')
            break;
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return consumed;
}

std::vector<FilterFileEntry> readFilterFile(const std::string &path) {
    std::vector<FilterFileEntry> entries;
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return entries;
    std::string line;
    for (int n = 0; n < 4096 && readLine(file, line, 65536) > 0; ++n) {
        size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0 || colon + 1 >= line.size())
            continue;
        entries.push_back({line.substr(0, colon), line.substr(colon + 1)});
    }
    std::fclose(file);
    return entries;
}

void applyFilterFile(SourceTable &table, const std::vector<FilterFileEntry> &entries) {
    table.conditions.assign(static_cast<size_t>(table.fieldCount), FilterCondition{});
    for (int i = 0; i < table.fieldCount; ++i) {
        std::string name = fieldName(table, i);
        FilterCondition &c = table.conditions[static_cast<size_t>(i)];
        for (const FilterFileEntry &e : entries) {
            if (strcasecmp(e.name.c_str(), name.c_str()) == 0) {
                c.text = e.condition;
                break;
            }
        }
        parseCondition(c);
    }
}

} // namespace quorv
