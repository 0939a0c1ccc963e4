#include "export/sql/sql_writer.h"

#include <algorithm>
#include <cstring>

#include "export/sql/sql_words.h"
#include "export/text_values.h"
#include "platform/codepage.h"
#include "source/format.h"
#include "source/paradox_table.h"

namespace quorv {

namespace {

using platform::kUtf8CodePage;

// ---------------------------------------------------------------------------------------------
// The dialects.

const SqlTypeName kAnsiTypes[] = {{"real", "double precision"}, {"decimal(34,4)", "decimal(34,%d)"}};
const SqlTypeName kPostgreSqlTypes[] = {{"real", "double precision"}, {"decimal(34,4)", "decimal(34,%d)"}};
// time(3) keeps the milliseconds a plain time column drops; longtext holds memos of more than 64 KB.
const SqlTypeName kMySqlTypes[] = {{"timestamp", "datetime"},
                                   {"text", "longtext"},
                                   {"time", "time(3)"},
                                   {"decimal(34,4)", "decimal(34,%d)"}};
// float is float(53); real would keep only 7 digits.
const SqlTypeName kSqlServerTypes[] = {{"timestamp", "datetime2"},
                                       {"boolean", "bit"},
                                       {"text", "nvarchar(max)"},
                                       {"real", "float"},
                                       {"decimal(34,4)", "decimal(34,%d)"}};
// Character lengths count characters, not bytes of the database's (multibyte) character set.
const SqlTypeName kOracleTypes[] = {{"char(%d)", "char(%d char)"},
                                    {"boolean", "number(1)"},
                                    {"text", "clob"},
                                    {"time", "varchar2(12)"},
                                    {"decimal(34,4)", "number(34,%d)"}};

const SqlCharsetName kPostgreSqlCharsets[] = {
    {1250, "WIN1250"},     {1251, "WIN1251"},     {1252, "WIN1252"},     {1253, "WIN1253"},
    {1254, "WIN1254"},     {1255, "WIN1255"},     {1256, "WIN1256"},     {1257, "WIN1257"},
    {1258, "WIN1258"},     {866, "WIN866"},       {874, "WIN874"},       {20866, "KOI8R"},
    {21866, "KOI8U"},      {28591, "LATIN1"},     {28592, "LATIN2"},     {28593, "LATIN3"},
    {28594, "LATIN4"},     {28595, "ISO_8859_5"}, {28596, "ISO_8859_6"}, {28597, "ISO_8859_7"},
    {28598, "ISO_8859_8"}, {28599, "LATIN5"},     {28605, "LATIN9"},     {kUtf8CodePage, "UTF8"},
};
// MySQL's latin1 is Windows 1252, with the five bytes 1252 leaves undefined as U+0081 ... U+009D. Code pages
// MySQL has no exact charset for (1253, 1254, 1255, 1258, 437, ...) are not listed: their scripts are written
// in UTF-8.
const SqlCharsetName kMySqlCharsets[] = {
    {1250, "cp1250"},  {1251, "cp1251"},  {1252, "latin1", true},
    {1256, "cp1256"},  {1257, "cp1257"},  {850, "cp850"},
    {852, "cp852"},    {866, "cp866"},    {20866, "koi8r"},
    {21866, "koi8u"},  {28592, "latin2"}, {28597, "greek"},
    {28598, "hebrew"}, {28599, "latin5"}, {kUtf8CodePage, "utf8mb4"},
};

const SqlDialectRules &dialectRow(SqlDialect dialect) {
    static const SqlDialectRules rows[] = {
        {
            .dialect = SqlDialect::Ansi,
            .name = "Ansi",
            .reservedWords = sqlwords::ansi(),
            .typeNames = kAnsiTypes,
            .functionChars = "\r", // sqlite3 drops a carriage return before a line end
            .charFunction = "char(%d)",
            .trueWord = "TRUE",
            .falseWord = "FALSE",
        },
        {
            .dialect = SqlDialect::Oracle,
            .name = "Oracle",
            .reservedWords = sqlwords::oracle(),
            .dropStatement = " DROP TABLE %1;\r\n",
            .typeNames = kOracleTypes,
            .maxDecimals = 127,
            .functionChars = "\r\n&", // SQL*Plus ends a statement at a blank line and reads "&" as a variable
            .charFunction = "CHR(%d)",
            .dateWord = "DATE ",
            .timestampWord = "TIMESTAMP ",
            .longTextPiece = 1000, // a literal holds 4000 bytes at most, a character up to 4 of them
            .longTextFunction = "TO_CLOB",
        },
        {
            .dialect = SqlDialect::MySql,
            .name = "MySQL",
            .openQuote = '`',
            .closeQuote = '`',
            .reservedWords = sqlwords::mySql(),
            .encodingStatement = "SET NAMES %1;\r\n",
            .charsets = kMySqlCharsets,
            .typeNames = kMySqlTypes,
            .maxDecimals = 30,
            .backslashEscapes = true,
            .doubleQuotedText = true,
            .undefinedBytes = SqlUndefinedBytes::Utf8Hex,
            .batchSeparator = true, // the mysql client reads "go" as a command
        },
        {
            .dialect = SqlDialect::SqlServer,
            .name = "SQL Server",
            .openQuote = '[',
            .closeQuote = ']',
            .reservedWords = sqlwords::sqlServer(),
            .quoteAllNamesInCreate = true,
            .dropStatement =
                "  if exists ( select * from sys.tables where name = N'%2')\r\n DROP TABLE %1;\r\n",
            .typeNames = kSqlServerTypes,
            .functionChars = "\r\n", // sqlcmd ends a batch at a line holding "go"
            .charFunction = "NCHAR(%d)",
            .concatOperator = " + ",
            .textPrefix = "N",
            .batchSeparator = true,
        },
        {
            .dialect = SqlDialect::PostgreSql,
            .name = "PostgreSQL",
            .reservedWords = sqlwords::postgreSql(),
            .encodingStatement = "SET client_encoding = '%1';\r\n",
            .charsets = kPostgreSqlCharsets,
            .typeNames = kPostgreSqlTypes,
            .maxDecimals = 1000,
            .trueWord = "TRUE", // a boolean column refuses 1 and 0
            .falseWord = "FALSE",
            .undefinedBytes = SqlUndefinedBytes::UnicodeEscape,
        },
    };
    for (const SqlDialectRules &row : rows)
        if (row.dialect == dialect)
            return row;
    return rows[0];
}

// ---------------------------------------------------------------------------------------------
// Small text helpers.

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

bool isValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        auto b = static_cast<unsigned char>(text[i]);
        size_t extra = b < 0x80             ? 0
                       : (b & 0xE0) == 0xC0 ? 1
                       : (b & 0xF0) == 0xE0 ? 2
                       : (b & 0xF8) == 0xF0 ? 3
                                            : 4;
        if (extra == 4 || text.size() - i <= extra)
            return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void replaceAll(std::string &text, std::string_view what, std::string_view with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

void appendHex(std::string &out, unsigned value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out.push_back(kDigits[(value >> shift) & 0xF]);
}

// A number as the databases read it: an optional minus, digits, and optionally a point and digits.
bool isNumberLiteral(std::string_view text) {
    size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
    size_t digits = 0, point = 0;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9')
            ++digits;
        else if (text[i] == '.' && point++ == 0 && digits > 0)
            continue;
        else
            return false;
    }
    return digits > 0 && text.back() != '.';
}

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" with a year from 1 to 9999, the range every dialect takes.
bool isStorableDate(std::string_view text) {
    if (text.size() < 10 || text[4] != '-')
        return false;
    for (int i = 0; i < 4; ++i)
        if (text[static_cast<size_t>(i)] < '0' || text[static_cast<size_t>(i)] > '9')
            return false;
    return text.substr(0, 4) != "0000";
}

// "HH:MM:SS.mmm" of a time of day.
bool isTimeOfDay(std::string_view text) {
    return text.size() == 12 && text[2] == ':' && (text[0] < '2' || (text[0] == '2' && text[1] < '4'));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Names and types.

const SqlDialectRules &sqlDialectRules(SqlDialect dialect) {
    return dialectRow(dialect);
}

bool isSqlReservedWord(const SqlDialectRules &rules, std::string_view name) {
    std::string lower(name);
    for (char &c : lower)
        c = asciiLower(c);
    return std::binary_search(rules.reservedWords.begin(), rules.reservedWords.end(), lower,
                              [](std::string_view a, std::string_view b) { return a < b; });
}

bool isPlainSqlName(const SqlDialectRules &rules, std::string_view name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
        return false;
    for (char c : name) {
        bool letterOrDigit =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!letterOrDigit)
            return false;
    }
    return !isSqlReservedWord(rules, name);
}

std::string sqlColumnType(const SqlDialectRules &rules, const FieldInfo &field) {
    const FieldTypeRow *row = fieldTypeRow(field.type);
    std::string type = row ? row->sqlType : "text";
    for (const SqlTypeName &replacement : rules.typeNames)
        if (type == replacement.common) {
            type = replacement.name;
            break;
        }
    int argument = field.type == PxBcd ? std::min(field.decimals, rules.maxDecimals) : field.size;
    replaceAll(type, "%d", std::to_string(argument));
    return type;
}

std::string sqlTableName(const std::string &path) {
    size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find('.');
    if (dot != std::string::npos)
        name.resize(dot);
    return name.empty() ? "paradox_table" : name;
}

// ---------------------------------------------------------------------------------------------
// The writer.

SqlWriter::SqlWriter(const ExportSettings &settings) : rules_(sqlDialectRules(settings.sqlDialect)) {}

void SqlWriter::appendText(std::string &out, std::string_view ansiText) const {
    if (utf8_)
        platform::appendUtf8(out, ansiText, codePage_);
    else
        out += ansiText;
}

void SqlWriter::appendName(std::string &out, std::string_view name, bool quote, bool nameIsUtf8) {
    std::string converted;
    if (nameIsUtf8 && !utf8_) {
        converted = platform::fromUtf8(name, codePage_);
        name = converted;
        nameIsUtf8 = false;
    }
    if (!quote && isPlainSqlName(rules_, name)) {
        out += name;
        return;
    }
    const bool undefined = !nameIsUtf8 && hasUndefined(name);
    if (undefined && rules_.undefinedBytes == SqlUndefinedBytes::UnicodeEscape) {
        out += "U&\"";
        for (char c : name) {
            auto b = static_cast<unsigned char>(c);
            if (undefined_[b])
                out += '\\', appendHex(out, b, 4);
            else if (c == '"' || c == '\\')
                out += c, out += c;
            else
                out += c;
        }
        out += '"';
        return;
    }
    std::string body;
    for (char c : name) {
        if (undefined && rules_.undefinedBytes == SqlUndefinedBytes::Utf8Hex &&
            undefined_[static_cast<unsigned char>(c)]) {
            body += '?';
            namesReplaced_ = true;
            continue;
        }
        body += c;
        if (c == rules_.closeQuote)
            body += c;
    }
    out += rules_.openQuote;
    if (nameIsUtf8)
        out += body;
    else
        appendText(out, body);
    out += rules_.closeQuote;
}

// Whether the text holds a byte the code page leaves undefined and the dialect must escape.
bool SqlWriter::hasUndefined(std::string_view text) const {
    if (!escapeUndefined_)
        return false;
    return std::any_of(text.begin(), text.end(),
                       [&](char c) { return undefined_[static_cast<unsigned char>(c)]; });
}

// The text between the quotes of a literal: the quote doubled, or with backslash escapes the
// backslash, both quotes, carriage return, line feed and Ctrl-Z escaped.
void SqlWriter::appendLiteralBody(std::string &out, std::string_view text, char quote) {
    piece_.clear();
    for (char c : text) {
        if (rules_.backslashEscapes) {
            switch (c) {
            case '\\':
            case '\'':
            case '"':
                piece_ += '\\';
                break;
            case '\r':
                piece_ += "\\r";
                continue;
            case '\n':
                piece_ += "\\n";
                continue;
            case '\x1A':
                piece_ += "\\Z";
                continue;
            default:
                break;
            }
        } else if (c == quote) {
            piece_ += c;
        }
        piece_ += c;
    }
    appendText(out, piece_);
}

// Joins pieces[first, last) as a balanced tree of concatenations, so that a memo of many lines does not
// nest deeper than a database's parser allows (SQLite stops at 1000 levels).
void SqlWriter::appendPieces(std::string &out, size_t first, size_t last) const {
    if (last - first == 1) {
        out += pieces_[first];
        return;
    }
    const size_t middle = first + (last - first) / 2;
    const bool nested = first > 0 || last < pieces_.size();
    if (nested)
        out += '(';
    appendPieces(out, first, middle);
    out += rules_.concatOperator;
    appendPieces(out, middle, last);
    if (nested)
        out += ')';
}

void SqlWriter::appendTextLiteral(std::string &out, std::string_view text, const char *prefix) {
    if (rules_.longTextPiece > 0 && text.size() > rules_.longTextPiece) {
        for (size_t at = 0; at < text.size(); at += rules_.longTextPiece) {
            if (at > 0) {
                out += "\r\n";
                out += rules_.concatOperator;
            }
            out += rules_.longTextFunction;
            out += '(';
            appendTextLiteral(out, text.substr(at, rules_.longTextPiece), prefix);
            out += ')';
        }
        return;
    }
    if (!hasUndefined(text)) {
        const char *special = rules_.functionChars;
        if (!special || text.find_first_of(special) == std::string_view::npos) {
            out += prefix;
            out += quote_;
            appendLiteralBody(out, text, quote_);
            out += quote_;
            return;
        }
        pieces_.clear();
        for (size_t at = 0; at < text.size();) {
            std::string &piece = pieces_.emplace_back();
            size_t next = std::min(text.find_first_of(special, at), text.size());
            if (next == at) {
                piece = rules_.charFunction;
                replaceAll(piece, "%d", std::to_string(static_cast<unsigned char>(text[at])));
                ++at;
            } else {
                piece = prefix;
                piece += quote_;
                appendLiteralBody(piece, text.substr(at, next - at), quote_);
                piece += quote_;
                at = next;
            }
        }
        appendPieces(out, 0, pieces_.size());
    } else if (rules_.undefinedBytes == SqlUndefinedBytes::UnicodeEscape) {
        out += "U&'";
        for (char c : text) {
            auto b = static_cast<unsigned char>(c);
            if (undefined_[b])
                out += '\\', appendHex(out, b, 4);
            else if (c == '\'' || c == '\\')
                out += c, out += c;
            else
                out += c;
        }
        out += '\'';
    } else {
        out += "_utf8mb4 X'";
        for (char c : platform::toUtf8(text, codePage_))
            appendHex(out, static_cast<unsigned char>(c), 2);
        out += '\'';
    }
}

void SqlWriter::planColumns(ExportRun &run) {
    columns_.clear();
    for (size_t i = 0; i < run.columns.size(); ++i) {
        const int field = run.columns[i];
        Column column{field, ValueKind::Null, {}};
        switch (run.table.fields[static_cast<size_t>(field)].type) {
        case PxChar:
            column.kind = ValueKind::Text;
            break;
        case PxMemoBlob:
        case PxFmtMemoBlob:
            column.kind = ValueKind::Memo;
            break;
        case PxBlob:
        case PxOle:
        case PxGraphic:
            column.kind = ValueKind::Word;
            break;
        case PxDate:
            column.kind = ValueKind::Date;
            break;
        case PxTimestamp:
            column.kind = ValueKind::Timestamp;
            break;
        case PxTime:
            column.kind = ValueKind::Time;
            break;
        case PxShort:
        case PxLong:
        case PxAutoInc:
        case PxCurrency:
        case PxNumber:
        case PxBcd:
            column.kind = ValueKind::Number;
            break;
        case PxLogical:
            column.kind = ValueKind::Logical;
            break;
        default:
            column.kind = ValueKind::Null;
            break; // Bytes: no text form
        }

        // "%" and "#" are no name characters in most databases: they become blanks, and blanks at the
        // end go. A name that is then empty or already taken gets a number.
        std::string name = fieldName(run.table, field);
        std::replace(name.begin(), name.end(), '%', ' ');
        std::replace(name.begin(), name.end(), '#', ' ');
        name = std::string(trimTrailingBlanks(name));
        if (name.empty())
            name = "column" + std::to_string(i + 1);
        auto taken = [&](const std::string &candidate) {
            return std::any_of(columns_.begin(), columns_.end(),
                               [&](const Column &c) { return equalsIgnoringCase(c.name, candidate); });
        };
        std::string unique = name;
        for (int n = 2; taken(unique); ++n)
            unique = name + "_" + std::to_string(n);
        column.name = unique;
        columns_.push_back(std::move(column));
    }
}

void SqlWriter::writeCreateBlock(ExportRun &run) {
    std::string &line = run.lineBuffer;
    std::string block = rules_.dropStatement;
    std::string quotedName, nameText;
    appendName(quotedName, tableName_, rules_.quoteAllNamesInCreate, tableNameIsUtf8_);
    if (tableNameIsUtf8_ && utf8_) {
        nameText = tableName_;
    } else {
        std::string ansi = tableNameIsUtf8_ ? platform::fromUtf8(tableName_, codePage_) : tableName_;
        appendText(nameText, ansi);
    }
    replaceAll(nameText, "'", "''");
    replaceAll(block, "%2", nameText);
    replaceAll(block, "%1", quotedName);
    block += " CREATE TABLE " + quotedName + " (\r\n";
    run.output.writeText(block);

    for (size_t i = 0; i < columns_.size(); ++i) {
        const Column &column = columns_[i];
        const FieldInfo &field = run.table.fields[static_cast<size_t>(column.field)];
        line.clear();
        appendName(line, column.name, rules_.quoteAllNamesInCreate);
        line += "  ";
        const size_t nameLength = fieldName(run.table, column.field).size();
        line.append(nameLength < 31 ? 31 - nameLength : 0, ' ');
        line += sqlColumnType(rules_, field);
        line += i + 1 < columns_.size() ? ", \r\n" : ");\r\n";
        run.output.writeText(line);
    }
}

bool SqlWriter::head(ExportRun &run) {
    const ExportSettings &s = run.settings;
    if (run.columns.empty()) {
        run.fail(s.outputPath + ": no columns are selected, and an SQL table needs at least one");
        return false;
    }
    quote_ = rules_.doubleQuotedText && s.quoteChar == '"' ? '"' : '\'';
    numbersQuoted_ = s.quoteAll;
    codePage_ = run.table.ansiCodePage;
    utf8_ = s.utf8 || codePage_ == kUtf8CodePage;
    goEvery_ = s.sqlGoEvery;
    goLines_ = s.sqlWriteGo && goEvery_ > 0 && rules_.batchSeparator;
    if (s.sqlWriteGo && goEvery_ > 0 && !rules_.batchSeparator)
        run.warn(s.outputPath + ": " + rules_.name +
                 " does not know \"Go\" lines; the script is written without them");

    const SqlCharsetName *charset = nullptr;
    if (rules_.encodingStatement) {
        auto find = [&](int codePage) -> const SqlCharsetName * {
            for (const SqlCharsetName &c : rules_.charsets)
                if (c.codePage == codePage)
                    return &c;
            return nullptr;
        };
        charset = find(utf8_ ? kUtf8CodePage : codePage_);
        if (!charset) { // the database has no name for the code page: the script is written in UTF-8
            utf8_ = true;
            charset = find(kUtf8CodePage);
        }
    }
    escapeUndefined_ =
        !utf8_ && rules_.undefinedBytes != SqlUndefinedBytes::AsIs && !(charset && charset->everyByte);
    for (int b = 0; b < 256; ++b)
        undefined_[static_cast<size_t>(b)] =
            !platform::byteHasCharacter(codePage_, static_cast<unsigned char>(b));

    tableName_ = sqlTableName(run.table.path);
    tableNameIsUtf8_ = !isAscii(tableName_) && isValidUtf8(tableName_);
    planColumns(run);
    for (const Column &column : columns_) {
        const FieldInfo &field = run.table.fields[static_cast<size_t>(column.field)];
        if (field.type == PxBcd && field.decimals > rules_.maxDecimals)
            run.warn(s.outputPath + ": " + rules_.name + " keeps at most " +
                     std::to_string(rules_.maxDecimals) + " decimals; the values of " +
                     fieldName(run.table, column.field) + " (" + std::to_string(field.decimals) +
                     " decimals) are rounded by the database");
    }

    if (charset) {
        std::string statement = rules_.encodingStatement;
        replaceAll(statement, "%1", charset->name);
        run.output.writeText(statement);
    }
    if (s.writeHeader)
        writeCreateBlock(run);
    tableInsert_ = "insert into ";
    appendName(tableInsert_, tableName_, false, tableNameIsUtf8_);
    tableInsert_ += " values(";
    if (namesReplaced_)
        run.warn(s.outputPath + ": names hold bytes that code page " + std::to_string(codePage_) +
                 " does not define; they are written as ? (use /utf8 to keep them)");
    return true;
}

void SqlWriter::appendValue(ExportRun &run, const Column &column, std::string &out) {
    SourceTable &table = run.table;
    const uint8_t *record = table.recordBuffer.data();
    std::string &value = value_;
    switch (column.kind) {
    case ValueKind::Date:
    case ValueKind::Timestamp:
        formatDateIso(value, table, record, column.field);
        if (value.empty())
            break;
        if (!isStorableDate(value)) {
            ++outOfRange_;
            value.clear();
            break;
        }
        out += column.kind == ValueKind::Date ? rules_.dateWord : rules_.timestampWord;
        out += quote_;
        out += value;
        out += quote_;
        return;
    case ValueKind::Text:
        formatFieldValue(value, table, run.settings, record, column.field);
        appendTextLiteral(out, trimTrailingBlanks(value), rules_.textPrefix);
        return;
    case ValueKind::Memo:
    case ValueKind::Word:
        formatFieldValue(value, table, run.settings, record, column.field);
        if (value.empty())
            break;
        appendTextLiteral(out, value, rules_.textPrefix);
        return;
    case ValueKind::Time:
        formatFieldValue(value, table, run.settings, record, column.field);
        if (value.empty())
            break;
        if (!isTimeOfDay(value)) {
            ++outOfRange_;
            break;
        }
        out += quote_;
        out += value;
        out += quote_;
        return;
    case ValueKind::Number:
        formatFieldValue(value, table, run.settings, record, column.field);
        if (value.empty())
            break;
        if (!isNumberLiteral(value)) { // infinity or not a number
            ++outOfRange_;
            break;
        }
        if (numbersQuoted_)
            out += quote_, out += value, out += quote_;
        else
            out += value;
        return;
    case ValueKind::Logical: {
        int logical = 0;
        if (!readLogical(table, record, column.field, logical))
            break;
        out += logical ? rules_.trueWord : rules_.falseWord;
        return;
    }
    case ValueKind::Null:
        break;
    }
    out += "null";
}

bool SqlWriter::record(ExportRun &run) {
    std::string &line = run.lineBuffer;
    line = tableInsert_;
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (i > 0)
            line += ',';
        appendValue(run, columns_[i], line);
    }
    line += ");\r\n";
    if (goLines_ && (run.written + 1) % goEvery_ == 0)
        line += "Go\r\n";
    run.output.writeText(line);
    return true;
}

bool SqlWriter::trailer(ExportRun &run) {
    if (outOfRange_ > 0)
        run.warn(run.settings.outputPath + ": " + std::to_string(outOfRange_) +
                 " date, time or number values outside the range a database takes were written as null");
    return true;
}

} // namespace quorv
