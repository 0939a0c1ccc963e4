#include "export/csv/csv_writer.h"

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

void appendValue(ExportRun &run, const CsvRules &rules, int field, std::string &out) {
    SourceTable &table = run.table;
    const uint8_t type = table.fields[static_cast<size_t>(field)].type;
    std::string &value = run.scratch;
    formatFieldValue(value, table, run.settings, table.recordBuffer.data(), field);
    const ValueGroup group = groupOf(type);

    if (group == ValueGroup::Memo) {
        // Memo text goes out whole, line breaks included; it is enclosed when a reader would
        // otherwise split or misread it.
        if (!value.empty() && (rules.quoteAll || rules.needsEnclosing(value)))
            appendEnclosed(out, value, rules.quote);
        else
            out += value;
        return;
    }

    std::string_view text = trimTrailingBlanks(value);
    if (text.empty()) {
        if (isDateOrTime(type))
            out += "null"; // an empty date, time or timestamp
        else if (group == ValueGroup::TextLike && (rules.quoteText || rules.quoteAll || rules.separator == ' '))
            appendEnclosed(out, text, rules.quote);
        return; // an empty number stays empty
    }
    const bool enclose = rules.separator == ' ' || rules.quoteAll || (rules.quoteText && group == ValueGroup::TextLike) ||
                         rules.needsEnclosing(text);
    if (enclose)
        appendEnclosed(out, text, rules.quote); // leading blanks stay inside the quotes
    else
        out += trimBlanks(text);
}

} // namespace

CsvRules::CsvRules(const ExportSettings &settings)
    : separator(settings.separator.empty() ? ',' : settings.separator[0]),
      // The chosen quote character encloses every value that needs it (the double quote when none
      // is chosen), so that the file reads back with one quote character.
      quote(settings.quoteChar ? settings.quoteChar : '"'), quoteAll(settings.quoteAll),
      quoteText(settings.quoteChar != 0) {
    for (unsigned char c : {static_cast<unsigned char>(separator), static_cast<unsigned char>(quote),
                            static_cast<unsigned char>('"'), static_cast<unsigned char>('\r'),
                            static_cast<unsigned char>('\n')})
        special[c] = true;
}

bool CsvRules::needsEnclosing(std::string_view text) const {
    for (char c : text)
        if (special[static_cast<unsigned char>(c)])
            return true;
    return false;
}

void buildCsvHeader(ExportRun &run, const CsvRules &rules, std::string &out) {
    const ExportSettings &s = run.settings;
    out.clear();
    const bool encloseAll = rules.quoteAll || rules.separator == ' ';
    for (size_t i = 0; i < run.columns.size(); ++i) {
        if (i > 0)
            out += s.separator;
        std::string name = fieldName(run.table, run.columns[i]);
        if (encloseAll || rules.needsEnclosing(name))
            appendEnclosed(out, name, rules.quote);
        else
            out += name;
    }
}

void buildCsvRecord(ExportRun &run, const CsvRules &rules, std::string &out) {
    out.clear();
    for (size_t i = 0; i < run.columns.size(); ++i) {
        if (i > 0)
            out += run.settings.separator;
        appendValue(run, rules, run.columns[i], out);
    }
}

bool CsvWriter::head(ExportRun &run) {
    rules_ = CsvRules(run.settings); // the driver has turned "tab" and "space" into characters
    if (!run.settings.writeHeader)
        return true;
    buildCsvHeader(run, rules_, run.lineBuffer);
    run.lineBuffer += "\r\n";
    run.output.writeRecordLine(run.lineBuffer, run.settings.utf8, run.table.ansiCodePage);
    return true;
}

bool CsvWriter::record(ExportRun &run) {
    buildCsvRecord(run, rules_, run.lineBuffer);
    run.lineBuffer += "\r\n";
    run.output.writeRecordLine(run.lineBuffer, run.settings.utf8, run.table.ansiCodePage);
    return true;
}

} // namespace quorv
