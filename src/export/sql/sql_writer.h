// SQL scripts: an optional block that drops and creates the table, then one INSERT statement per
// record, in the dialect of one of five databases. Everything a dialect changes is a field of its
// SqlDialectRules row; the writer never asks which database it is writing for.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "export/writer.h"

namespace quorv {

struct FieldInfo;

// A column type the dialect names differently from the common type table (fieldSqlType). "%d" in a
// name stands for the field's size, or for a BCD field its number of decimals.
struct SqlTypeName {
    const char *common;
    const char *name;
};

// A code page and the name a database gives it in the script's encoding statement.
struct SqlCharsetName {
    int codePage;
    const char *name;
    bool everyByte =
        false; // the database's charset gives the bytes the code page leaves undefined a character
};

// How a script that is not UTF-8 carries a text byte its code page leaves undefined (0x81 in 1252),
// which the database would otherwise refuse. The byte arrives as the character of the same number.
enum class SqlUndefinedBytes {
    AsIs,          // the database's client takes such bytes as they are
    UnicodeEscape, // U&'a\0081b' and U&"..." (PostgreSQL)
    Utf8Hex,       // _utf8mb4 X'61C28162' (MySQL); in names such a byte becomes '?'
};

struct SqlDialectRules {
    SqlDialect dialect = SqlDialect::Ansi;
    const char *name = ""; // for messages

    // Names. A name is written as it is when it is a plain identifier (letters, digits and '_', not
    // starting with a digit) and not a reserved word; otherwise it is enclosed in the quotes below,
    // a closing quote inside it doubled.
    char openQuote = '"';
    char closeQuote = '"';
    std::span<const char *const> reservedWords{}; // lower case, in byte order
    bool quoteAllNamesInCreate = false;           // the DROP and CREATE block encloses every name

    // Statements. "%1" is the table's name as the block writes it, "%2" the table's name inside a
    // string literal. The encoding statement's "%1" is the charset name.
    const char *dropStatement = " DROP TABLE IF EXISTS %1;\r\n";
    const char *encodingStatement = nullptr; // nullptr: the script names no encoding
    std::span<const SqlCharsetName> charsets{};

    // Column types.
    std::span<const SqlTypeName> typeNames{};
    int maxDecimals = 38; // the largest scale of a decimal column

    // Values.
    bool backslashEscapes = false; // \\ \' \" \r \n \Z inside literals; otherwise the quote is doubled
    bool doubleQuotedText =
        false; // a double quote may enclose values (/DOUBLEQUOTA); otherwise it delimits names
    // Characters the database's script tool would change inside a literal (the carriage return before a
    // line end, a blank line, "&"): each is written as a call of charFunction ("CHR(%d)") joined to the
    // rest of the text by concatOperator.
    const char *functionChars = nullptr;
    const char *charFunction = "";
    const char *concatOperator = " || ";
    const char *textPrefix = ""; // before the literal of a text value ("N" for national text)
    const char *trueWord = "1";
    const char *falseWord = "0";
    const char *dateWord = "";         // before a date literal ("DATE ")
    const char *timestampWord = "";    // before a timestamp literal ("TIMESTAMP ")
    size_t longTextPiece = 0;          // texts longer than this are joined from pieces of this length
    const char *longTextFunction = ""; // turns each piece into a long text ("TO_CLOB")
    SqlUndefinedBytes undefinedBytes = SqlUndefinedBytes::AsIs;

    bool batchSeparator = false; // "Go" lines are understood by the database's script tool
};

const SqlDialectRules &sqlDialectRules(SqlDialect dialect);
bool isSqlReservedWord(const SqlDialectRules &rules, std::string_view name);
bool isPlainSqlName(const SqlDialectRules &rules, std::string_view name);
// The dialect's type name of a field's column, "%d" filled in.
std::string sqlColumnType(const SqlDialectRules &rules, const FieldInfo &field);
// The table name of a source path: its file name up to the first '.'.
std::string sqlTableName(const std::string &path);

class SqlWriter : public FormatWriter {
  public:
    explicit SqlWriter(const ExportSettings &settings);
    bool writesByteOrderMark() const override { return true; }
    bool head(ExportRun &run) override;
    bool record(ExportRun &run) override;
    bool trailer(ExportRun &run) override;

  private:
    enum class ValueKind { Text, Memo, Word, Date, Timestamp, Time, Number, Logical, Null };
    struct Column {
        int field;
        ValueKind kind;
        std::string name; // after cleaning, unique in the table
    };

    bool hasUndefined(std::string_view text) const;
    void planColumns(ExportRun &run);
    void writeCreateBlock(ExportRun &run);
    void appendText(std::string &out, std::string_view ansiText) const;
    void appendName(std::string &out, std::string_view name, bool quote, bool nameIsUtf8 = false);
    void appendLiteralBody(std::string &out, std::string_view text, char quote);
    void appendTextLiteral(std::string &out, std::string_view text, const char *prefix);
    void appendPieces(std::string &out, size_t first, size_t last) const;
    void appendValue(ExportRun &run, const Column &column, std::string &out);

    const SqlDialectRules &rules_;
    char quote_ = '\'';
    bool utf8_ = false; // the script is UTF-8 (asked for, or the database has no name for the code page)
    bool escapeUndefined_ = false;      // bytes the code page leaves undefined need the dialect's escape
    std::array<bool, 256> undefined_{}; // the bytes the code page leaves undefined
    int codePage_ = 1252;
    bool numbersQuoted_ = false;
    bool goLines_ = false;
    int goEvery_ = 0;
    std::string tableName_; // as the file system gives it
    bool tableNameIsUtf8_ = false;
    std::string tableInsert_; // "insert into <name> values("
    std::vector<Column> columns_;
    std::string value_;
    std::string piece_;
    std::vector<std::string> pieces_;
    int64_t outOfRange_ = 0;
    bool namesReplaced_ = false;
};

} // namespace quorv
