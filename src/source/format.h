// Turning stored field values into text, dates and numbers.
//
// A Paradox field can be empty, which is not zero: every operation here gives empty text, or
// reports no value, for an empty field. Emptiness is decided from the field's bytes (all zero),
// not from pxlib's getters, which report empty 4-byte fields as present in pxlib 0.6.8.
#pragma once

#include <cstdint>
#include <string>

namespace quorv {

struct SourceTable;
struct ExportSettings;

struct DateParts {
    int year = 0, month = 0, day = 0;
};

// The field's value as text (empty when the field is empty). Memo texts end at their first zero byte.
void formatFieldValue(std::string &dest, SourceTable &table, const ExportSettings &settings, const uint8_t *record,
                      int field);
// "YYYY-MM-DD" (Date) or "YYYY-MM-DD HH:MM:SS" (Timestamp); empty text for an empty field.
void formatDateIso(std::string &dest, const SourceTable &table, const uint8_t *record, int field);
// The eight digits YYYYMMDD into dest (no terminator); dest untouched for an empty field.
bool formatDateCompact(char *dest, const SourceTable &table, const uint8_t *record, int field);

bool readDateParts(const SourceTable &table, const uint8_t *record, int field, DateParts &out);
bool readNumber(const SourceTable &table, const uint8_t *record, int field, double &out);
bool readLogical(const SourceTable &table, const uint8_t *record, int field, int &out);
// Whole days (a date's day count) and seconds of the day of a Timestamp.
bool readTimestampParts(const SourceTable &table, const uint8_t *record, int field, long &days, long &seconds);
// Milliseconds of a Timestamp since day 0.
bool readTimestampMillis(const SourceTable &table, const uint8_t *record, int field, int64_t &millis);
// A Date, Long, AutoInc or Time field's stored 32-bit value.
bool readLongValue(const SourceTable &table, const uint8_t *record, int field, long &out);
// The memo's bytes (memo, formatted memo and blob fields), cut at the first zero byte when asText.
bool readMemo(SourceTable &table, const uint8_t *record, int field, std::string &out, bool asText = true);

bool fieldIsEmpty(const SourceTable &table, const uint8_t *record, int field);
// Calendar date of a Paradox day count (day 1 = 1 January of year 1).
DateParts dateFromDayCount(long days);

} // namespace quorv
