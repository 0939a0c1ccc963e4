#include "app/command_compose.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "export/settings.h"
#include "platform/system.h"
#include "source/paradox_table.h"

namespace quorv {

namespace {

constexpr int kDefaultGoEvery = 100;
constexpr int kDefaultBorder = 1;
constexpr unsigned kDefaultTextColor = 0x000000;
constexpr unsigned kDefaultBackColor = 0xFFFFFF;

// A folder batch's source that names its tables already: a pattern, or a path ending in ".db".
bool namesTables(const std::string &source) {
    size_t n = source.size();
    return source.find_first_of("*?") != std::string::npos ||
           (n >= 3 && strcasecmp(source.c_str() + n - 3, ".db") == 0);
}

bool isTextOrCsv(OutputType type) {
    return type == OutputType::Text || type == OutputType::Csv;
}

// The extension a folder batch names after /to: the type's extension without its dot.
std::string batchExtension(OutputType type) {
    return outputFormat(type).extension + 1;
}

// "#rrggbb" digits of an RGB value that holds red in its lowest byte.
std::string colorDigits(unsigned rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
    return text;
}

// A path the command can be run with from any folder (a scheduler's is not the wizard's).
std::string absolutePath(const std::string &path) {
    return path.empty() || path.front() == '/' ? path : platform::currentFolder() + path;
}

// Whether the command line, which takes the output's type from its extension, finds the type's
// extension there.
bool extensionNamesType(const std::string &path, OutputType type) {
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    int found = outputTypeForExtension(std::string_view(path).substr(dot + 1, 4));
    return found != 0 && std::string_view(outputFormat(static_cast<OutputType>(found)).extension) ==
                             outputFormat(type).extension;
}

class Composer {
  public:
    Composer(const CommandLineRequest &request, const std::string &filterFilePath)
        : request_(request), settings_(*request.settings), table_(request.table),
          filterFilePath_(filterFilePath) {}

    ComposedCommand compose(const std::string &programPath);

  private:
    void add(const std::string &word) { out_.text += " " + word; }
    void addSwitch(const char *name, const std::string &value) { add(name + shellQuote(value)); }
    void note(const std::string &text) { out_.notes.push_back(text); }

    void names();
    void columns();
    void pageSwitches();
    void addedSwitches();
    void sortSwitches();
    void htmlSwitches();
    void filter();
    std::vector<int> includedFields() const;
    bool rssPositionLeftOut() const;
    bool isRss() const {
        return settings_.outputType == OutputType::Rss ||
               (settings_.outputType == OutputType::Xml && settings_.rssFormat);
    }

    const CommandLineRequest &request_;
    const ExportSettings &settings_;
    const SourceTable *table_;
    std::string filterFilePath_;
    ComposedCommand out_;
    bool columnOrder_ = false;
};

// The fields the output shows, in output order. An RSS channel takes its columns from the first
// three positions only.
std::vector<int> Composer::includedFields() const {
    std::vector<int> fields;
    int positions = table_->fieldCount;
    if (isRss())
        positions = std::min(positions, 3);
    for (int p = 0; p < positions; ++p)
        if (!table_->fieldExcluded[static_cast<size_t>(p)])
            fields.push_back(table_->fieldOrder[static_cast<size_t>(p)]);
    return fields;
}

// Whether a column among the first three positions, which an RSS channel reads, is left out.
bool Composer::rssPositionLeftOut() const {
    const int positions = std::min(table_->fieldCount, 3);
    for (int p = 0; p < positions; ++p)
        if (table_->fieldExcluded[static_cast<size_t>(p)])
            return true;
    return false;
}

void Composer::names() {
    if (request_.folderBatch) {
        std::string source = absolutePath(request_.sourcePath);
        if (!namesTables(source)) {
            if (source.empty() || source.back() != '/')
                source += '/';
            source += "*.db";
        }
        add(shellQuote(source));
        add(shellQuote(absolutePath(request_.outputPath)));
        add("/to" + batchExtension(settings_.outputType));
        return;
    }
    add(shellQuote(absolutePath(request_.sourcePath)));
    add(shellQuote(absolutePath(request_.outputPath)));
    if (!extensionNamesType(request_.outputPath, settings_.outputType))
        note("The command line takes the output's type from its extension, and \"" + request_.outputPath +
             "\" does not end in \"" + outputFormat(settings_.outputType).extension + "\".");
    columns();
}

// The column switch: the names of the shown fields in output order, when the output is not simply
// every field in table order. The command line keeps table order unless /COLUMNORDER follows.
void Composer::columns() {
    if (!table_ || table_->fieldCount == 0)
        return;
    std::vector<int> fields = includedFields();
    bool everyField = static_cast<int>(fields.size()) == table_->fieldCount;
    bool tableOrder = true;
    for (size_t i = 1; i < fields.size(); ++i)
        tableOrder = tableOrder && fields[i] > fields[i - 1];
    if (everyField && tableOrder)
        return;
    if (isRss() && rssPositionLeftOut())
        note("An RSS feed takes its title, link and description from the first three columns; the column "
             "list cannot leave one of them out, so on the command line the next column moves up.");
    std::string list;
    for (int f : fields) {
        const std::string &name = table_->fields[static_cast<size_t>(f)].name;
        if (!list.empty())
            list += ',';
        bool protect = name.find(',') != std::string::npos || (!name.empty() && name.back() == ' ');
        if (name.empty() || name.front() == '"' || name.back() == '"' ||
            (protect && name.find('"') != std::string::npos))
            note("The column \"" + name + "\" cannot be named in the column list.");
        list += protect ? "\"" + name + "\"" : name;
    }
    addSwitch("/columns:", list);
    columnOrder_ = !tableOrder;
}

// The switches of the text, CSV and SQL options, in the order the options page lists them.
void Composer::pageSwitches() {
    const OutputType type = settings_.outputType;
    if (type == OutputType::Sql) {
        switch (settings_.sqlDialect) {
        case SqlDialect::SqlServer:
            add("/SQL2000");
            break;
        case SqlDialect::MySql:
            add("/MYSQL");
            break;
        case SqlDialect::Oracle:
            add("/ORACLE");
            break;
        case SqlDialect::PostgreSql:
            add("/POSTGRESQL");
            break;
        default:
            break;
        }
        if (!settings_.writeHeader)
            add("/nocreatetable");
        if (settings_.sqlWriteGo) {
            if (settings_.sqlGoEvery > 0 && settings_.sqlGoEvery != kDefaultGoEvery)
                add("/go" + std::to_string(settings_.sqlGoEvery));
            else
                add("/go");
            if (settings_.sqlGoEvery <= 0)
                note("A \"Go\" line after every 0 records cannot be given on the command line; it writes one "
                     "after every 100.");
        }
        return;
    }
    if (!isTextOrCsv(type))
        return;
    const std::string &sep = settings_.separator;
    if (!sep.empty() && sep[0] == '|')
        add("/SEPPIPE");
    else if (sep == "space" || sep == " ")
        add("/SEPSPACE");
    else if (sep == "tab" || sep == "\t")
        add("/SEPTAB");
    else
        addSwitch("/SEP", sep);
    if (sep.size() > 1 && sep != "space" && sep != "tab")
        note("The command line takes one separator character; \"" + sep + "\" becomes \"" + sep.substr(0, 1) +
             "\".");
    if (settings_.utf8)
        add("/utf8");
    if (settings_.quoteAll)
        add("/allquotes");
}

void Composer::sortSwitches() {
    if (!settings_.sortEnabled || !table_ || table_->fieldCount == 0)
        return;
    int field = settings_.sortField;
    if (field < 0 || field >= table_->fieldCount) {
        std::vector<int> fields = includedFields();
        if (fields.empty())
            return;
        field = fields.front(); // the export sorts by the first column when no field was chosen
    }
    std::string name = fieldName(*table_, field);
    if (name.find('/') != std::string::npos || name.empty() || name.back() == ' ')
        note("The sort field \"" + name + "\" cannot be named on the command line.");
    addSwitch("/SORTBY:", name);
    if (!settings_.sortAscending)
        add("/DESC");
}

void Composer::htmlSwitches() {
    if (settings_.outputType != OutputType::Html)
        return;
    if (!settings_.htmlTitle.empty())
        addSwitch("/TITLE=", settings_.htmlTitle);
    if (!settings_.htmlTextColorText.empty()) {
        addSwitch("/COLOR=", settings_.htmlTextColorText);
        if (!settings_.htmlBackColorText.empty())
            addSwitch("/BACKGROUND=", settings_.htmlBackColorText);
    } else if (settings_.htmlTextColor != kDefaultTextColor || settings_.htmlBackColor != kDefaultBackColor) {
        add("/COLOR=" + colorDigits(settings_.htmlTextColor));
        add("/BACKGROUND=" + colorDigits(settings_.htmlBackColor));
    }
    if (settings_.htmlBorder != kDefaultBorder)
        add("/BORDER=" + std::to_string(settings_.htmlBorder));
    if (settings_.htmlSplitPages) {
        add("/MAXPERPAGE=" + std::to_string(settings_.htmlRowsPerPage));
        if (settings_.htmlRowsPerPage <= 0)
            note("Splitting the pages after 0 records cannot be given on the command line.");
    }
    if (settings_.htmlAsForm)
        add("/ASFORM");
    if (settings_.htmlRecordNumbers)
        add("/NUMBER");
}

void Composer::filter() {
    if (!table_ || request_.folderBatch)
        return;
    for (size_t i = 0; i < table_->conditions.size() && static_cast<int>(i) < table_->fieldCount; ++i) {
        const std::string &text = table_->conditions[i].text;
        if (text.empty())
            continue;
        std::string name = fieldName(*table_, static_cast<int>(i));
        if (name.find(':') != std::string::npos || text.find_first_of("\r\n") != std::string::npos)
            note("The condition of the field \"" + name +
                 "\" cannot be saved: a colon in the name or a line "
                 "break in the condition.");
        out_.filterFileText += name + ":" + text + "\n";
    }
    if (!out_.filterFileText.empty())
        addSwitch("/FILTER:", filterFilePath_);
}

// Every other option the command line can express, when it differs from the command line's default.
void Composer::addedSwitches() {
    const OutputType type = settings_.outputType;
    if (columnOrder_)
        add("/COLUMNORDER");
    if (type == OutputType::DbaseIV)
        add("/DBASE4");
    else if (type == OutputType::VisualFoxPro)
        add("/VFP");
    if (request_.folderBatch) {
        if (settings_.sortEnabled)
            note("Sorting is not repeated for a folder: each table is exported in its own order.");
    } else {
        sortSwitches();
    }
    if (settings_.reverseOrder)
        add("/REVERSE");
    if (settings_.decimals != 2)
        add("/decs:" + std::to_string(settings_.decimals));
    char defaultQuote = type == OutputType::Sql ? '\'' : 0;
    if (settings_.quoteChar != defaultQuote) {
        if (settings_.quoteChar == '\'')
            add("/SINGLEQUOTA");
        else if (settings_.quoteChar == '"')
            add("/DOUBLEQUOTA");
        else
            note("Text values without quotes cannot be asked for in an SQL script.");
    }
    if (!settings_.writeHeader && type != OutputType::Sql)
        add("/nohdr");
    if (settings_.appendMode)
        add("/append");
    if (isRss())
        add("/RSS2");
    htmlSwitches();
    if (!isTextOrCsv(type)) {
        if (settings_.utf8)
            add("/utf8");
        if (settings_.quoteAll)
            add("/allquotes");
    }
    if (settings_.ansiCodePage != 0)
        add("/ANSICP:" + std::to_string(settings_.ansiCodePage));
    if (settings_.oemCodePage != 0)
        add("/OEMCP:" + std::to_string(settings_.oemCodePage));
    filter();
}

// "LC_ALL=name " before the program, for a locale other than C; LC_ALL, because it wins over
// whatever the environment of the run sets.
std::string localePrefix(const std::string &requested) {
    const char *current = std::setlocale(LC_TIME, nullptr);
    std::string name = !requested.empty() ? requested : current ? current : "";
    if (name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0)
        return {};
    return "LC_ALL=" + shellQuote(name) + " ";
}

ComposedCommand Composer::compose(const std::string &programPath) {
    out_.text = localePrefix(request_.dateLocale) + shellQuote(programPath);
    names();
    if (settings_.oemText())
        add("/OEM");
    pageSwitches();
    addedSwitches();
    return out_;
}

std::string errnoText() {
    return platform::systemMessage(errno);
}

bool writeWholeFile(const std::string &path, const std::string &content, mode_t mode, std::string *error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) {
        *error = path + ": " + errnoText();
        return false;
    }
    int errorNumber = 0;
    bool ok = platform::writeAll(fd, content.data(), content.size(), -1, errorNumber);
    // The mode of an existing file is not changed by open: set it, so a replaced script runs too.
    mode_t mask = ::umask(0);
    ::umask(mask);
    if (ok && ::fchmod(fd, mode & ~mask) != 0)
        errorNumber = errno, ok = false;
    if (::close(fd) != 0 && ok)
        errorNumber = errno, ok = false;
    if (!ok)
        *error = path + ": " + platform::systemMessage(errorNumber);
    return ok;
}

} // namespace

std::string shellQuote(const std::string &word) {
    auto literal = [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("_-./:=,+%@").find(static_cast<char>(c)) != std::string_view::npos;
    };
    bool plain = !word.empty();
    for (unsigned char c : word)
        plain = plain && literal(c);
    if (plain)
        return word;
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

ComposedCommand composeCommand(const CommandLineRequest &request, const std::string &programPath,
                               const std::string &filterFilePath) {
    ExportSettings defaults;
    CommandLineRequest complete = request;
    if (!complete.settings)
        complete.settings = &defaults;
    return Composer(complete, filterFilePath).compose(programPath);
}

std::string composeCommandLine(const CommandLineRequest &request, const std::string &programPath,
                               const std::string &filterFilePath) {
    return composeCommand(request, programPath, filterFilePath).text;
}

std::string scriptPathFor(const std::string &chosenPath) {
    size_t n = chosenPath.size();
    if (n >= 3 && strcasecmp(chosenPath.c_str() + n - 3, ".sh") == 0)
        return chosenPath;
    return chosenPath + ".sh";
}

std::string filterPathForScript(const std::string &scriptPath) {
    std::string path = scriptPath;
    size_t n = path.size();
    if (n >= 3 && strcasecmp(path.c_str() + n - 3, ".sh") == 0)
        path.resize(n - 3);
    return path + ".filter";
}

std::string scriptText(const std::string &command) {
    return "#!/bin/sh\n" + command + "\n";
}

bool saveCommandScript(const CommandLineRequest &request, const std::string &programPath,
                       const std::string &scriptPath, std::string *error) {
    std::string filterPath = filterPathForScript(absolutePath(scriptPath));
    ComposedCommand command = composeCommand(request, programPath, filterPath);
    if (!command.filterFileText.empty() && !writeWholeFile(filterPath, command.filterFileText, 0644, error))
        return false;
    return writeWholeFile(scriptPath, scriptText(command.text), 0755, error);
}

} // namespace quorv
