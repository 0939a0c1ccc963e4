#include "source/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

extern "C" {
#include <paradox.h>
}

#include "export/settings.h"
#include "platform/codepage.h"
#include "source/bcd.h"
#include "source/blob_file.h"
#include "source/paradox_table.h"

namespace quorv {

namespace {

constexpr long kSdnOffset = 1721425;
constexpr int64_t kMillisPerDay = 86400000;

const FieldInfo &info(const SourceTable &table, int field) { return table.fields[static_cast<size_t>(field)]; }

char *fieldBytes(const uint8_t *record, const FieldInfo &f) {
    return const_cast<char *>(reinterpret_cast<const char *>(record + f.offset));
}

void appendFormatted(std::string &dest, const char *format, ...) __attribute__((format(printf, 2, 3)));
void appendFormatted(std::string &dest, const char *format, ...) {
    char buffer[128];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n > 0)
        dest.append(buffer, static_cast<size_t>(std::min<int>(n, sizeof buffer - 1)));
}


// Integer text without printf: the value, at least `width` digits (zero-padded), like "%0*ld".
void appendInt(std::string &dest, long value, int width = 0) {
    char buffer[24];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value < 0 ? -value : value);
    (void)ec;
    int digits = static_cast<int>(end - buffer);
    if (value < 0)
        dest.push_back('-');
    for (int i = digits + (value < 0 ? 1 : 0); i < width; ++i)
        dest.push_back('0');
    dest.append(buffer, end);
}

// "%.Nf" of the value, exactly as printf rounds it.
void appendFixed(std::string &dest, double value, int decimals) {
    char buffer[400];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec == std::errc())
        dest.append(buffer, end);
    else
        appendFormatted(dest, "%.*f", decimals, value);
}

void appendDate(std::string &dest, const DateParts &d, char order, char separator) {
    switch (order) {
    case '1': // "%02d%c%02d%c%d": day, month, year
        appendInt(dest, d.day, 2), dest.push_back(separator), appendInt(dest, d.month, 2), dest.push_back(separator);
        appendInt(dest, d.year);
        break;
    case '0': // month, day, year
        appendInt(dest, d.month, 2), dest.push_back(separator), appendInt(dest, d.day, 2), dest.push_back(separator);
        appendInt(dest, d.year);
        break;
    case '2': // "%d%c%02d%c%02d": year, month, day
        appendInt(dest, d.year), dest.push_back(separator), appendInt(dest, d.month, 2), dest.push_back(separator);
        appendInt(dest, d.day, 2);
        break;
    default:
        break;
    }
}

// " %02d:%02d:%02d"
void appendClock(std::string &dest, int64_t secondsOfDay) {
    dest.push_back(' ');
    appendInt(dest, static_cast<long>(secondsOfDay / 3600), 2);
    dest.push_back(':');
    appendInt(dest, static_cast<long>(secondsOfDay % 3600 / 60), 2);
    dest.push_back(':');
    appendInt(dest, static_cast<long>(secondsOfDay % 60), 2);
}

void appendTimestamp(std::string &dest, int64_t millis, char order, char separator) {
    if (order != '0' && order != '1' && order != '2')
        return;
    appendDate(dest, dateFromDayCount(static_cast<long>(millis / kMillisPerDay)), order, separator);
    appendClock(dest, (millis % kMillisPerDay) / 1000);
}

} // namespace

bool fieldIsEmpty(const SourceTable &table, const uint8_t *record, int field) {
    const FieldInfo &f = info(table, field);
    const uint8_t *p = record + f.offset;
    for (int i = 0; i < f.size; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

DateParts dateFromDayCount(long days) {
    DateParts d;
    PX_SdnToGregorian(days + kSdnOffset, &d.year, &d.month, &d.day);
    return d;
}

bool readLongValue(const SourceTable &table, const uint8_t *record, int field, long &out) {
    const FieldInfo &f = info(table, field);
    if (f.size != 4 || fieldIsEmpty(table, record, field))
        return false;
    long value = 0;
    if (PX_get_data_long(table.document, fieldBytes(record, f), 4, &value) <= 0)
        return false;
    out = static_cast<int32_t>(value);
    return true;
}

bool readNumber(const SourceTable &table, const uint8_t *record, int field, double &out) {
    const FieldInfo &f = info(table, field);
    if (fieldIsEmpty(table, record, field))
        return false;
    switch (f.type) {
    case PxShort: {
        short value = 0;
        if (f.size != 2 || PX_get_data_short(table.document, fieldBytes(record, f), 2, &value) <= 0)
            return false;
        out = value;
        return true;
    }
    case PxLong:
    case PxAutoInc: {
        long value = 0;
        if (!readLongValue(table, record, field, value))
            return false;
        out = static_cast<double>(value);
        return true;
    }
    case PxCurrency:
    case PxNumber: {
        double value = 0;
        if (f.size != 8 || PX_get_data_double(table.document, fieldBytes(record, f), 8, &value) <= 0)
            return false;
        out = value;
        return true;
    }
    default:
        return false;
    }
}

bool readLogical(const SourceTable &table, const uint8_t *record, int field, int &out) {
    const FieldInfo &f = info(table, field);
    if (f.type != PxLogical || fieldIsEmpty(table, record, field))
        return false;
    char value = 0;
    if (PX_get_data_byte(table.document, fieldBytes(record, f), f.size, &value) <= 0)
        return false;
    out = static_cast<unsigned char>(value);
    return true;
}

bool readDateParts(const SourceTable &table, const uint8_t *record, int field, DateParts &out) {
    long days = 0;
    if (!readLongValue(table, record, field, days))
        return false;
    out = dateFromDayCount(days);
    return true;
}

bool readTimestampMillis(const SourceTable &table, const uint8_t *record, int field, int64_t &millis) {
    const FieldInfo &f = info(table, field);
    if (f.size != 8 || fieldIsEmpty(table, record, field))
        return false;
    double value = 0;
    if (PX_get_data_double(table.document, fieldBytes(record, f), 8, &value) <= 0)
        return false;
    // Stored milliseconds are whole numbers; rounding keeps 13:04:05 from becoming 13:04:04.999.
    if (!std::isfinite(value) || value < 0 || value > 4e17)
        return false;
    millis = std::llround(value);
    return true;
}

bool readTimestampParts(const SourceTable &table, const uint8_t *record, int field, long &days, long &seconds) {
    int64_t millis = 0;
    if (!readTimestampMillis(table, record, field, millis))
        return false;
    days = static_cast<long>(millis / kMillisPerDay);
    seconds = static_cast<long>((millis % kMillisPerDay) / 1000);
    return true;
}

bool readMemo(SourceTable &table, const uint8_t *record, int field, std::string &out, bool asText) {
    out.clear();
    const FieldInfo &f = info(table, field);
    std::string error;
    MemoStatus status = quorv::readMemo(record + f.offset, f.size, table.blob.get(), out, &error);
    switch (status) {
    case MemoStatus::Value:
        if (asText) {
            size_t nul = out.find('\0');
            if (nul != std::string::npos)
                out.resize(nul);
        }
        return true;
    case MemoStatus::NeedsBlobFile:
        if (!table.missingBlobReported) {
            table.missingBlobReported = true;
            if (table.blobPath.empty())
                table.noteProblem(table.path + ": memo texts are kept in a blob file (.mb) that is not beside the "
                                               "table; they are left empty");
        }
        out.clear();
        return false;
    case MemoStatus::Error:
        table.noteProblem(table.path + ": " + error);
        out.clear();
        return false;
    case MemoStatus::Empty:
    default:
        out.clear();
        return false;
    }
}

void formatDateIso(std::string &dest, const SourceTable &table, const uint8_t *record, int field) {
    dest.clear();
    if (info(table, field).type == PxTimestamp) {
        int64_t millis = 0;
        if (!readTimestampMillis(table, record, field, millis))
            return;
        DateParts d = dateFromDayCount(static_cast<long>(millis / kMillisPerDay));
        appendFormatted(dest, "%04d-%02d-%02d", d.year, d.month, d.day);
        appendClock(dest, (millis % kMillisPerDay) / 1000);
        return;
    }
    DateParts d;
    if (readDateParts(table, record, field, d))
        appendFormatted(dest, "%04d-%02d-%02d", d.year, d.month, d.day);
}

bool formatDateCompact(char *dest, const SourceTable &table, const uint8_t *record, int field) {
    DateParts d;
    if (!readDateParts(table, record, field, d))
        return false;
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%04d%02d%02d", d.year, d.month, d.day);
    std::memcpy(dest, buffer, 8);
    return true;
}

void formatFieldValue(std::string &dest, SourceTable &table, const ExportSettings &settings, const uint8_t *record,
                      int field) {
    dest.clear();
    const FieldInfo &f = info(table, field);
    switch (f.type) {
    case PxBlob:
    case PxOle:
    case PxGraphic:
        dest = "memo";
        return;
    case PxMemoBlob:
    case PxFmtMemoBlob:
        readMemo(table, record, field, dest);
        return;
    default:
        break;
    }
    if (fieldIsEmpty(table, record, field))
        return;
    switch (f.type) {
    case PxChar: {
        const char *bytes = reinterpret_cast<const char *>(record + f.offset);
        dest.assign(bytes, strnlen(bytes, static_cast<size_t>(f.size)));
        if (table.oemText)
            platform::convertSingleByte(dest, table.oemCodePage, table.ansiCodePage);
        return;
    }
    case PxDate: {
        DateParts d;
        if (readDateParts(table, record, field, d))
            appendDate(dest, d, settings.dateOrder, settings.dateSeparator);
        return;
    }
    case PxShort:
    case PxLong:
    case PxAutoInc: {
        double value = 0;
        if (readNumber(table, record, field, value))
            appendInt(dest, static_cast<long>(value));
        return;
    }
    case PxCurrency:
    case PxNumber: {
        double value = 0;
        if (readNumber(table, record, field, value))
            appendFixed(dest, value, settings.decimals); // numberFormat is "%.<decimals>f"
        return;
    }
    case PxLogical: {
        int value = 0;
        if (readLogical(table, record, field, value))
            dest = value ? "1" : "0";
        return;
    }
    case PxTime: {
        long ms = 0;
        if (readLongValue(table, record, field, ms) && ms >= 0)
        {
            appendInt(dest, ms / 3600000, 2), dest.push_back(':'), appendInt(dest, ms / 60000 % 60, 2);
            dest.push_back(':'), appendInt(dest, ms / 1000 % 60, 2), dest.push_back('.'), appendInt(dest, ms % 1000, 3);
        }
        return;
    }
    case PxTimestamp: {
        int64_t millis = 0;
        if (readTimestampMillis(table, record, field, millis))
            appendTimestamp(dest, millis, settings.dateOrder, settings.dateSeparator);
        return;
    }
    case PxBcd:
        if (f.size == 17)
            decodeBcd(record + f.offset, f.decimals, dest);
        return;
    default:
        return; // Bytes and unknown types
    }
}

} // namespace quorv
