#include "export/csv_writer.h"

#include "export/text_values.h"
#include "source/format.h"
#include "source/paradox_table.h"

namespace quorv {

namespace {

enum class ValueGroup { TextLike, Memo, Other };

ValueGroup groupOf(uint8_t type) {
    switch (type) {
    case PxChar: case PxDate: case PxTime: case PxTimestamp:
        return ValueGroup::TextLike;
    case PxMemoBlob: case PxBlob: case PxFmtMemoBlob:
        return ValueGroup::Memo;
    default:
        return ValueGroup::Other;
    }
}

bool isDateOrTime(uint8_t type) { return type == PxDate || type == PxTime || type == PxTimestamp; }

// The quote character that encloses values: the chosen one, or the double quote when none is chosen.
char effectiveQuote(const ExportSettings &s) { return s.quoteChar ? s.quoteChar : '"'; }

void appendValue(ExportRun &run, int field, std::string &out) {
    const ExportSettings &s = run.settings;
    SourceTable &table = run.table;
    const uint8_t type = table.fields[static_cast<size_t>(field)].type;
    const char separator = s.separator.empty() ? ',' : s.separator[0];
    const char quote = effectiveQuote(s);
    std::string &value = run.scratch;
    formatFieldValue(value, table, s, table.recordBuffer.data(), field);

    const char special[] = {separator, quote, '"', '\r', '\n', '\0'};
    if (groupOf(type) == ValueGroup::Memo) {
        // Memo text goes out whole, line breaks included; it is enclosed when a reader would
        // otherwise split or misread it.
        if (!value.empty() && (s.quoteAll || containsAny(value, std::string_view(special, 5))))
            appendEnclosed(out, value, quote);
        else
            out += value;
        return;
    }

    std::string_view text = trimTrailingBlanks(value);
    if (text.empty()) {
        if (isDateOrTime(type))
            out += "null"; // an empty date, time or timestamp
        else if (groupOf(type) == ValueGroup::TextLike && (s.quoteChar || s.quoteAll || separator == ' '))
            appendEnclosed(out, text, quote);
        return; // an empty number stays empty
    }
    const bool enclose = separator == ' ' || containsAny(text, std::string_view(special, 5)) || s.quoteAll ||
                         (s.quoteChar && groupOf(type) == ValueGroup::TextLike);
    if (enclose)
        appendEnclosed(out, text, quote); // leading blanks stay inside the quotes
    else
        out += trimBlanks(text);
}

} // namespace

void buildCsvHeader(ExportRun &run, std::string &out) {
    const ExportSettings &s = run.settings;
    out.clear();
    const bool enclose = s.quoteAll || (!s.separator.empty() && s.separator[0] == ' ');
    for (size_t i = 0; i < run.columns.size(); ++i) {
        if (i > 0)
            out += s.separator;
        std::string name = fieldName(run.table, run.columns[i]);
        if (enclose || containsAny(name, std::string_view("\"\r\n", 3)) || name.find(effectiveQuote(s)) != std::string::npos ||
            (!s.separator.empty() && name.find(s.separator[0]) != std::string::npos))
            appendEnclosed(out, name, effectiveQuote(s));
        else
            out += name;
    }
}

void buildCsvRecord(ExportRun &run, std::string &out) {
    out.clear();
    for (size_t i = 0; i < run.columns.size(); ++i) {
        if (i > 0)
            out += run.settings.separator;
        appendValue(run, run.columns[i], out);
    }
}

bool CsvWriter::head(ExportRun &run) {
    if (!run.settings.writeHeader)
        return true;
    buildCsvHeader(run, run.lineBuffer);
    run.lineBuffer += "\r\n";
    run.output.writeRecordLine(run.lineBuffer, run.settings.utf8, run.table.ansiCodePage);
    return true;
}

bool CsvWriter::record(ExportRun &run) {
    buildCsvRecord(run, run.lineBuffer);
    run.lineBuffer += "\r\n";
    run.output.writeRecordLine(run.lineBuffer, run.settings.utf8, run.table.ansiCodePage);
    return true;
}

} // namespace quorv
