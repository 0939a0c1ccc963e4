// The one record of export options, and the table of output types.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace quorv {

enum class OutputType : int {
    DbaseIII = 1,
    DbaseIV = 2,
    VisualFoxPro = 3,
    Text = 4,
    Html = 5,
    Prg = 6,
    Xml = 7,
    Xls = 8,
    Xlsx = 9,
    Csv = 10,
    Sql = 11,
    Rtf = 12,
    Rss = 13,
};

enum class SqlDialect : int { Ansi = 0, Oracle = 1, MySql = 2, SqlServer = 3, PostgreSql = 4 };

// One row of the output-type table: the command line, the wizard's lists and --help read it.
struct OutputFormat {
    OutputType type;
    const char *extension;   // with its dot
    const char *description; // file-type list text
};

inline constexpr int kOutputTypeCount = 13;
const OutputFormat &outputFormat(OutputType type);
const OutputFormat *outputFormats(); // kOutputTypeCount rows, in type order
// The first type whose extension (without dot) equals ext, ignoring case; 0 when none.
int outputTypeForExtension(std::string_view ext);

class LogFile;

// The largest number of decimals a user can ask for: "%.Nf" stays a valid format for every N up to this.
inline constexpr int kMaxDecimals = 15;

struct ExportSettings {
    OutputType outputType = OutputType::DbaseIII;
    std::string outputPath;
    bool commandLineMode = false;
    unsigned char dbfVersion = 0x03;
    bool appendMode = false;
    bool writeHeader = true;
    std::string separator = ",";
    char quoteChar = 0;
    bool quoteAll = false;
    bool utf8 = false;
    unsigned oemFlags = 0;
    int decimals = 2;
    std::string numberFormat = "%.2f";
    char dateOrder = '1';
    char dateSeparator = '.';
    bool reverseOrder = false;
    bool sortEnabled = false;
    int sortField = -1;
    bool sortAscending = true;
    SqlDialect sqlDialect = SqlDialect::Ansi;
    bool sqlWriteGo = false;
    int sqlGoEvery = 100;
    bool rssFormat = false;
    std::string htmlTitle;
    unsigned htmlTextColor = 0x000000;
    unsigned htmlBackColor = 0xFFFFFF;
    std::string htmlTextColorText;
    std::string htmlBackColorText;
    int htmlBorder = 1;
    bool htmlSplitPages = false;
    int htmlRowsPerPage = 50;
    bool htmlAsForm = false;
    bool htmlRecordNumbers = false;
    bool viewAfterExport = true;
    bool folderBatch = false;
    LogFile *logFile = nullptr;

    // Code pages of the run. 0 means "from the table's header" (see platform/codepage.h);
    // the /ANSICP: and /OEMCP: switches set them for a whole run.
    int ansiCodePage = 0;
    int oemCodePage = 0;

    bool oemText() const { return (oemFlags & 1u) != 0; }
};

// Whether the run writes an RSS channel: type 13, or type 7 with rssFormat on. Only the first three
// output positions take part in such a run.
inline bool writesRss(const ExportSettings &settings) {
    return settings.outputType == OutputType::Rss || (settings.rssFormat && settings.outputType == OutputType::Xml);
}

// Sets decimals and rebuilds numberFormat; the value is clamped to 0..kMaxDecimals.
void setDecimals(ExportSettings &settings, int decimals);

} // namespace quorv
