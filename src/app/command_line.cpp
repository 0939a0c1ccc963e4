#include "app/command_line.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <strings.h>

#include "export/driver.h"
#include "export/settings.h"
#include "export/writer.h"
#include "output/log.h"
#include "platform/codepage.h"
#include "platform/system.h"
#include "source/filter.h"
#include "source/order.h"
#include "source/paradox_table.h"

namespace quorv {

namespace {

enum class ExitStatus { Ok = 0, Failed = 1, Usage = 2 };

struct SwitchInfo {
    const char *name;
    bool exact;      // matched as written; the others ignore case
    const char *help;
};

// Every switch the command line knows, in the order --help lists them.
const SwitchInfo kSwitches[] = {
    {"/LOG:", false, "/LOG:path       write the log to path"},
    {"/LOG", false, "/LOG            write the log quorv.log beside the program"},
    {"/TO", false, "/TOext          wildcard runs: the output extension (csv, txt, dbf, ...)"},
    {"/SEP", false, "/SEPc           separator: the character c, or TAB, SPACE, PIPE (default ,)"},
    {"/SINGLEQUOTA", false, "/SINGLEQUOTA    enclose text values in apostrophes"},
    {"/DOUBLEQUOTA", false, "/DOUBLEQUOTA    enclose text values in double quotes"},
    {"/allquotes", false, "/allquotes      enclose every value"},
    {"/nohdr", false, "/nohdr          no line of column names"},
    {"/nocreatetable", false, "/nocreatetable  SQL: no DROP/CREATE TABLE block"},
    {"/append", false, "/append         add to an existing output"},
    {"/utf8", false, "/utf8           write text in UTF-8"},
    {"/oem", false, "/oem            the table's text is in the OEM (DOS) code page"},
    {"/OEMCP:", false, "/OEMCP:n        the OEM code page of this run (default from the table)"},
    {"/ANSICP:", false, "/ANSICP:n       the ANSI code page of this run (default from the table)"},
    {"/decs:", true, "/decs:n         decimals of Currency and Number values (0 to 15)"},
    {"/FILTER:", false, "/FILTER:file    conditions, one \"field:condition\" per line"},
    {"/COLUMNSLIST:", false, "/COLUMNSLIST:f  the columns to export, one name per line"},
    {"/COLUMNS:", false, "/COLUMNS:a,b    the columns to export"},
    {"/SORTBY:", false, "/SORTBY:field   sort by a field (the name runs to the next /)"},
    {"/DESC", false, "/DESC           sort descending"},
    {"/REVERSE", false, "/REVERSE        records last to first"},
    {"/ORACLE", false, "/ORACLE         SQL dialect Oracle"},
    {"/MYSQL", false, "/MYSQL          SQL dialect MySQL"},
    {"/SQL2000", false, "/SQL2000        SQL dialect SQL Server"},
    {"/MSSQL", true, "/MSSQL          SQL dialect SQL Server"},
    {"/POSTGRESQL", false, "/POSTGRESQL     SQL dialect PostgreSQL (Ansi without a dialect switch)"},
    {"/go", false, "/go             SQL: a Go line after every 100 records"},
    {"/DBASE3", false, "/DBASE3         DBF: dBase III (the default)"},
    {"/DBASE4", false, "/DBASE4         DBF: dBase IV"},
    {"/VFP", false, "/VFP            DBF: Visual FoxPro"},
    {"/RSS2", true, "/RSS2           XML: an RSS 2.0 channel"},
    {"/TITLE=", false, "/TITLE=text     HTML title"},
    {"/COLOR=", false, "/COLOR=hex      HTML text colour"},
    {"/BACKGROUND=", false, "/BACKGROUND=hex HTML background colour"},
    {"/BORDER=", false, "/BORDER=n       HTML table border"},
    {"/MAXPERPAGE=", false, "/MAXPERPAGE=n   HTML records per page"},
    {"/ASFORM", false, "/ASFORM         HTML records as forms"},
    {"/NUMBER", true, "/NUMBER         HTML record numbers"},
    {"/open", false, "/open           open the output when done"},
    {"/ANALYZE", true, nullptr},
    {"/SKIPD", false, nullptr},
    {"/SRCHDR", false, nullptr},
};

// The switch part of the command line. With several arguments a value ends at the end of its
// argument; when the whole command line arrived as one argument it ends at the first blank.
class SwitchText {
public:
    SwitchText(const std::vector<std::string> &args, bool argumentMode) : argumentMode_(argumentMode) {
        for (const std::string &arg : args) {
            if (!text_.empty())
                text_.push_back(' ');
            text_ += arg;
            ends_.push_back(text_.size());
        }
    }
    explicit SwitchText(std::string text) : text_(std::move(text)), argumentMode_(false) {}

    size_t find(const char *name, bool exact) const {
        size_t n = std::strlen(name);
        for (size_t i = 0; i + n <= text_.size(); ++i) {
            int d = exact ? std::strncmp(text_.c_str() + i, name, n) : strncasecmp(text_.c_str() + i, name, n);
            if (d == 0)
                return i;
        }
        return std::string::npos;
    }
    bool has(const char *name, bool exact = false) const { return find(name, exact) != std::string::npos; }

    // The value written right after the switch.
    bool value(const char *name, std::string &out, bool exact = false) const {
        size_t at = find(name, exact);
        if (at == std::string::npos)
            return false;
        size_t start = at + std::strlen(name);
        out = text_.substr(start, valueEnd(start) - start);
        return true;
    }
    // The text after the switch up to the next '/', trailing blanks removed.
    bool valueToSlash(const char *name, std::string &out) const {
        size_t at = find(name, false);
        if (at == std::string::npos)
            return false;
        size_t start = at + std::strlen(name);
        size_t end = text_.find('/', start);
        out = text_.substr(start, (end == std::string::npos ? text_.size() : end) - start);
        while (!out.empty() && out.back() == ' ')
            out.pop_back();
        return true;
    }
    // The characters right after the switch, at most n, within the argument.
    bool chars(const char *name, size_t n, std::string &out) const {
        size_t at = find(name, false);
        if (at == std::string::npos)
            return false;
        size_t start = at + std::strlen(name);
        size_t end = std::min(start + n, argumentMode_ ? argumentEnd(start) : text_.size());
        out = text_.substr(start, end - start);
        return true;
    }

private:
    size_t argumentEnd(size_t pos) const {
        for (size_t end : ends_)
            if (end >= pos)
                return end;
        return text_.size();
    }
    size_t valueEnd(size_t pos) const {
        if (argumentMode_)
            return argumentEnd(pos);
        size_t blank = text_.find_first_of(" \t\r\n", pos);
        return blank == std::string::npos ? text_.size() : blank;
    }

    std::string text_;
    std::vector<size_t> ends_;
    bool argumentMode_;
};

bool endsWithDb(const std::string &s) { return s.size() >= 3 && strcasecmp(s.c_str() + s.size() - 3, ".db") == 0; }

bool hasWildcard(const std::string &s) { return s.find_first_of("*?") != std::string::npos; }

std::string slashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string folderPart(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string namePart(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads a decimal number from the start of a value; false when it has no digit.
bool readNumberValue(const std::string &value, long &out) {
    size_t i = 0;
    while (i < value.size() && value[i] == ' ')
        ++i;
    if (i >= value.size() || !std::isdigit(static_cast<unsigned char>(value[i])))
        return false;
    out = 0;
    for (; i < value.size() && std::isdigit(static_cast<unsigned char>(value[i])); ++i)
        out = std::min(out * 10 + (value[i] - '0'), 1000000000L);
    return true;
}

struct Names {
    std::vector<std::string> sources; // one path, a wildcard pattern, or the tables the shell expanded
    std::string output;
    bool wildcard = false;
    bool expanded = false;
};

// The Part of the command line that names source and output when it arrives as one text: the
// first double quote becomes a blank, the source ends at the first blank (or at a remaining
// double quote), the output likewise. Returns the offset where the switches begin.
bool namesFromText(const std::string &line, Names &names, size_t &switchesAt) {
    std::string text = line;
    size_t quote = text.find('"');
    if (quote != std::string::npos)
        text[quote] = ' ';
    size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos)
        return false;
    size_t blank = text.find(' ', start);
    if (blank == std::string::npos)
        return false;
    size_t end = blank;
    size_t remainingQuote = text.find('"', start);
    if (remainingQuote != std::string::npos)
        end = remainingQuote;
    names.sources.push_back(text.substr(start, end - start));
    std::string rest = text.substr(end + 1);
    size_t restOffset = end + 1;
    size_t q = rest.find('"');
    bool quoted = q != std::string::npos;
    if (quoted)
        rest[q] = ' ';
    size_t outStart = rest.find_first_not_of(' ');
    if (outStart == std::string::npos)
        return false;
    size_t outEnd = quoted ? rest.find('"', outStart) : rest.find(' ', outStart);
    if (outEnd == std::string::npos)
        outEnd = rest.size();
    names.output = rest.substr(outStart, outEnd - outStart);
    switchesAt = restOffset + std::min(outEnd + 1, rest.size());
    return !names.output.empty();
}

class CommandLineRun {
public:
    CommandLineRun(const CommandLine &commandLine, ExportSettings &settings)
        : commandLine_(commandLine), settings_(settings) {}

    int run();

private:
    ExitStatus usage(const std::string &message) {
        std::fprintf(stderr, "quorv: %s\n", message.c_str());
        std::fprintf(stderr, "Try 'quorv --help' for more information.\n");
        return ExitStatus::Usage;
    }
    void problem(const std::string &message) {
        reportProblem(log_.isOpen() ? &log_ : nullptr, message);
        failed_ = true;
    }
    bool parseNames();
    void openLog();
    ExitStatus readSwitches();
    bool checkUnknownSwitches();
    void convertTable(const std::string &source, const std::string &output);

    const CommandLine &commandLine_;
    ExportSettings &settings_;
    Names names_;
    std::unique_ptr<SwitchText> switches_;
    LogFile log_;
    std::string extension_;
    OutputType type_ = OutputType::Csv;
    std::vector<FilterFileEntry> filterEntries_;
    std::vector<std::string> columnEntries_;
    std::string sortName_;
    bool failed_ = false;
};

bool CommandLineRun::parseNames() {
    const std::vector<std::string> &args = commandLine_.args;
    if (args.size() == 1) {
        // The whole command line as one text.
        size_t switchesAt = 0;
        bool ok = namesFromText(args[0], names_, switchesAt);
        switches_ = std::make_unique<SwitchText>(ok ? args[0].substr(switchesAt) : std::string());
        if (!ok) {
            names_.sources.clear();
            return false;
        }
    } else {
        size_t tables = 0;
        while (tables < args.size() && endsWithDb(args[tables]))
            ++tables;
        size_t namesCount;
        if (tables >= 2 && tables < args.size()) {
            // The shell expanded a wildcard: the tables, then the output folder.
            names_.sources.assign(args.begin(), args.begin() + static_cast<long>(tables));
            names_.output = args[tables];
            names_.expanded = true;
            namesCount = tables + 1;
        } else {
            names_.sources.push_back(args[0]);
            names_.output = args[1];
            namesCount = 2;
        }
        std::vector<std::string> rest(args.begin() + static_cast<long>(namesCount), args.end());
        switches_ = std::make_unique<SwitchText>(rest, true);
    }
    for (std::string &source : names_.sources)
        source = slashes(source);
    names_.output = slashes(names_.output);
    names_.wildcard = names_.sources.size() == 1 && hasWildcard(names_.sources[0]);
    return true;
}

void CommandLineRun::openLog() {
    if (!switches_->has("/LOG"))
        return;
    std::string path;
    if (!switches_->value("/LOG:", path)) {
        std::string folder = platform::programFolder();
        if (!platform::folderWritable(folder)) {
            std::string instead = platform::currentFolder();
            std::fprintf(stderr, "quorv: %s is not writable; the log is %squorv.log\n", folder.c_str(),
                         instead.c_str());
            folder = instead;
        }
        path = folder + "quorv.log";
    }
    std::string error;
    if (!log_.open(path, &error)) {
        std::fprintf(stderr, "quorv: %s: %s\n", path.c_str(), error.c_str());
        failed_ = true;
    }
}

bool CommandLineRun::checkUnknownSwitches() {
    for (size_t i = 0; i < commandLine_.args.size(); ++i) {
        const std::string &arg = commandLine_.args[i];
        if (commandLine_.args.size() == 1 || arg.empty() || arg[0] != '/')
            continue;
        if (i < 2 || (names_.expanded && i <= names_.sources.size()))
            continue; // a name, not a switch
        SwitchText one({arg}, true);
        bool known = std::any_of(std::begin(kSwitches), std::end(kSwitches),
                                 [&](const SwitchInfo &s) { return one.has(s.name, s.exact); });
        if (!known) {
            usage("unknown switch " + arg);
            return false;
        }
    }
    return true;
}

ExitStatus CommandLineRun::readSwitches() {
    SwitchText &sw = *switches_;
    std::string value;
    long number = 0;

    if (sw.has("/oem"))
        settings_.oemFlags ^= 1u;
    if (sw.has("/go"))
        settings_.sqlWriteGo = true;
    if (sw.has("/utf8"))
        settings_.utf8 = true;
    if (sw.has("/open"))
        settings_.viewAfterExport = true;
    if (sw.has("/allquotes"))
        settings_.quoteAll = true;
    for (const char *name : {"/OEMCP:", "/ANSICP:"}) {
        if (!sw.value(name, value))
            continue;
        if (!readNumberValue(value, number) || !platform::codePageAvailable(static_cast<int>(number)))
            return usage(std::string(name) + value + ": not a code page this system can convert");
        (std::strcmp(name, "/OEMCP:") == 0 ? settings_.oemCodePage : settings_.ansiCodePage) =
            static_cast<int>(number);
    }

    if (sw.value("/FILTER:", value)) {
        if (!platform::fileExists(value))
            return usage("filter file " + value + " does not exist");
        filterEntries_ = readFilterFile(value);
    }
    if (sw.value("/COLUMNSLIST:", value)) {
        if (!platform::fileExists(value))
            return usage("column list file " + value + " does not exist");
        readColumnListFile(value, columnEntries_);
    }
    if (sw.value("/COLUMNS:", value))
        addColumnList(value, columnEntries_);
    if (sw.value("/decs:", value, true)) {
        if (!readNumberValue(value, number) || number > kMaxDecimals)
            return usage("/decs:" + value + ": decimals must be a number from 0 to " + std::to_string(kMaxDecimals));
        setDecimals(settings_, static_cast<int>(number));
    }
    if (sw.has("/REVERSE"))
        settings_.reverseOrder = true;
    if (sw.has("/RSS2", true))
        settings_.rssFormat = true;
    settings_.writeHeader = true;
    if (sw.has("/nocreatetable") || sw.has("/nohdr"))
        settings_.writeHeader = false;
    if (sw.has("/append")) {
        settings_.appendMode = true;
        settings_.writeHeader = false;
    }
    const std::pair<const char *, SqlDialect> dialects[] = {{"/ORACLE", SqlDialect::Oracle},
                                                            {"/MYSQL", SqlDialect::MySql},
                                                            {"/SQL2000", SqlDialect::SqlServer},
                                                            {"/MSSQL", SqlDialect::SqlServer},
                                                            {"/POSTGRESQL", SqlDialect::PostgreSql}};
    for (const auto &[name, dialect] : dialects)
        if (sw.has(name, std::strcmp(name, "/MSSQL") == 0))
            settings_.sqlDialect = dialect;
    settings_.dbfVersion = 0x03;
    const std::pair<const char *, unsigned char> versions[] = {{"/DBASE3", 0x03}, {"/DBASE4", 0x43}, {"/VFP", 0x30}};
    for (const auto &[name, version] : versions)
        if (sw.has(name))
            settings_.dbfVersion = version;
    if (sw.valueToSlash("/SORTBY:", sortName_)) {
        if (sortName_.empty())
            return usage("/SORTBY: names no field");
        settings_.sortEnabled = true;
    }
    if (sw.has("/DESC"))
        settings_.sortAscending = false;
    if (sw.has("/ASFORM"))
        settings_.htmlAsForm = true;
    if (sw.has("/NUMBER", true))
        settings_.htmlRecordNumbers = true;
    if (sw.has("/SINGLEQUOTA"))
        settings_.quoteChar = '\'';
    if (sw.has("/DOUBLEQUOTA"))
        settings_.quoteChar = '"';
    if (sw.value("/MAXPERPAGE=", value)) {
        if (!readNumberValue(value, number))
            return usage("/MAXPERPAGE=" + value + ": not a number");
        settings_.htmlRowsPerPage = static_cast<int>(number);
        settings_.htmlSplitPages = number != 0;
    }
    if (sw.value("/TITLE=", value))
        settings_.htmlTitle = value;
    if (sw.value("/COLOR=", value))
        settings_.htmlTextColorText = value.substr(0, 19);
    if (sw.value("/BACKGROUND=", value))
        settings_.htmlBackColorText = value.substr(0, 19);
    if (sw.value("/BORDER=", value)) {
        if (!readNumberValue(value, number))
            return usage("/BORDER=" + value + ": not a number");
        settings_.htmlBorder = static_cast<int>(number);
    }
    if (sw.chars("/SEP", 5, value)) {
        std::string word = value;
        for (char &c : word)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (word.rfind("TAB", 0) == 0)
            settings_.separator = "\t";
        else if (word.rfind("SPACE", 0) == 0)
            settings_.separator = " ";
        else if (word.rfind("PIPE", 0) == 0)
            settings_.separator = "|";
        else if (!value.empty())
            settings_.separator = value.substr(0, 1);
        else
            return usage("/SEP must be followed by the separator (a character, TAB, SPACE or PIPE)");
    }
    return ExitStatus::Ok;
}

void CommandLineRun::convertTable(const std::string &source, const std::string &output) {
    settings_.outputType = type_;
    settings_.outputPath = output;
    if (log_.isOpen())
        log_.write("source file: " + source + "\r\n out file:" + output + "\r\n");

    SourceTable table;
    table.path = source;
    std::string error;
    if (!platform::fileExists(source)) {
        problem(source + ": no such file");
        return;
    }
    if (!openSourceTable(table, settings_, &error)) {
        problem(source + ": " + error);
        return;
    }
    if (!filterEntries_.empty())
        applyFilterFile(table, filterEntries_);
    if (!columnEntries_.empty())
        applyColumnList(table, columnEntries_);
    if (settings_.sortEnabled) {
        if (!findSortField(table, sortName_, settings_.sortField)) {
            reportProblem(log_.isOpen() ? &log_ : nullptr,
                          source + ": no field is named \"" + sortName_ + "\"; the records are not sorted");
            settings_.sortEnabled = false;
        }
    }
    ExportResult result = runExport(table, settings_);
    if (!result.ok)
        failed_ = true;
    closeSourceTable(table);
}

int CommandLineRun::run() {
    settings_.commandLineMode = true;
    settings_.viewAfterExport = false;
    settings_.logFile = nullptr;

    bool namesOk = parseNames();
    if (!switches_)
        switches_ = std::make_unique<SwitchText>(std::string());
    openLog();
    settings_.logFile = log_.isOpen() ? &log_ : nullptr;

    if (strcasestr(commandLine_.text.c_str(), ".db") == nullptr) {
        if (log_.isOpen())
            log_.write("No paradox file in command line");
        return static_cast<int>(usage("no Paradox table (.db) in the command line"));
    }
    if (!namesOk)
        return static_cast<int>(usage("give the source table and the output: quorv TABLE.db OUTPUT.ext [switches]"));
    if (!checkUnknownSwitches())
        return static_cast<int>(ExitStatus::Usage);

    // The output type: from "/TO" for a wildcard run, else from the output's extension.
    if (names_.wildcard || names_.expanded) {
        if (!switches_->chars("/TO", 4, extension_) || extension_.empty())
            return static_cast<int>(usage("converting several tables needs /TO with the output extension, e.g. /TOcsv"));
        while (!extension_.empty() && extension_.back() == ' ')
            extension_.pop_back();
        for (char &c : extension_)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!names_.output.empty() && names_.output.back() != '/')
            names_.output.push_back('/');
    } else {
        std::string name = namePart(names_.output);
        size_t dot = name.rfind('.');
        if (dot == std::string::npos)
            return static_cast<int>(usage("the output " + names_.output + " has no extension naming its type"));
        extension_ = name.substr(dot + 1, 4);
    }
    int type = outputTypeForExtension(extension_);
    if (type == 0 || !hasWriter(static_cast<OutputType>(type))) {
        std::string known;
        for (int i = 0; i < kOutputTypeCount; ++i) {
            const OutputFormat &f = outputFormats()[i];
            if (hasWriter(f.type) && known.find(f.extension + 1) == std::string::npos)
                known += std::string(known.empty() ? "" : ", ") + (f.extension + 1);
        }
        return static_cast<int>(usage("unknown output type \"" + extension_ + "\"; it must be one of " + known));
    }
    type_ = static_cast<OutputType>(type);
    if (type_ == OutputType::Sql)
        settings_.quoteChar = '\'';
    if (ExitStatus status = readSwitches(); status != ExitStatus::Ok)
        return static_cast<int>(status);

    if (names_.wildcard) {
        std::string pattern = names_.sources[0];
        std::string folder = folderPart(pattern);
        if (folder.empty())
            folder = platform::currentFolder();
        std::vector<std::string> found = platform::findFiles(folder, namePart(pattern));
        found.erase(std::remove_if(found.begin(), found.end(),
                                   [](const std::string &n) { return strcasecmp(n.c_str(), "Thumbs.db") == 0; }),
                    found.end());
        if (found.empty()) {
            problem(pattern + ": files not found");
            return static_cast<int>(ExitStatus::Failed);
        }
        names_.sources.clear();
        for (const std::string &name : found)
            names_.sources.push_back(folder + name);
    }

    for (const std::string &source : names_.sources) {
        std::string output = names_.output;
        if (names_.wildcard || names_.expanded) {
            std::string name = namePart(source);
            if (strcasecmp(name.c_str(), "Thumbs.db") == 0)
                continue;
            const char *db = strcasestr(name.c_str(), ".db");
            name = name.substr(0, static_cast<size_t>(db - name.c_str())) + "." + extension_;
            output = names_.output + name;
        }
        convertTable(source, output);
    }
    log_.close();
    return static_cast<int>(failed_ ? ExitStatus::Failed : ExitStatus::Ok);
}

} // namespace

CommandLine makeCommandLine(int argc, char **argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        line.args.emplace_back(argv[i]);
        if (i > 1)
            line.text.push_back(' ');
        line.text += argv[i];
    }
    return line;
}

int runCommandLine(const CommandLine &commandLine, ExportSettings &settings) {
    CommandLineRun run(commandLine, settings);
    return run.run();
}

std::string usageText() {
    std::string text = "Usage: quorv TABLE.db OUTPUT.ext [switches]\n"
                       "       quorv 'FOLDER/*.db' OUTFOLDER /TOext [switches]\n"
                       "       quorv [--wizard [TABLE.db]]   (the desktop wizard)\n"
                       "Converts Paradox tables. The output's extension chooses the type:\n";
    for (int i = 0; i < kOutputTypeCount; ++i) {
        const OutputFormat &f = outputFormats()[i];
        if (hasWriter(f.type) && f.type != OutputType::Rss)
            text += std::string("  ") + f.extension + "  " + f.description + "\n";
    }
    text += "Switches:\n";
    for (const SwitchInfo &s : kSwitches)
        if (s.help)
            text += std::string("  ") + s.help + "\n";
    text += "  --help, --version\n";
    return text;
}

} // namespace quorv
