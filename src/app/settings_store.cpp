// The settings file: one "NAME=value" line per value, read whole and written whole.
//
// Every change is a read-modify-write under an exclusive lock on a lock file beside the settings
// file: the current file is read, only the values of this change are replaced, and the result is
// written to a temporary file in the same folder that is then renamed over the old one. Readers
// therefore always see a whole file, and several runs ending at once never lose each other's
// values. Lines the program does not know (comments, values of other versions) are kept as they
// are; lines that are not "NAME=value" at all are dropped on the next write.
#include "app/settings_store.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "export/settings.h"
#include "platform/system.h"

namespace quorv {

namespace {

constexpr const char *kSourceFolderName = "SRCPATH";
constexpr const char *kOutputFolderName = "EXPORTPATH";
constexpr const char *kLastSourceName = "LASTSRC";
constexpr const char *kLastOutputName = "LASTEXPORT";
constexpr const char *kLastTypeName = "LASTEXPORTTYPE";
constexpr const char *kLanguageName = "LANG";
constexpr const char *kRecentsName = "RECENTS";
constexpr int kLanguages = 2; // 0 English, 1 Deutsch
constexpr size_t kMaxFileSize = 1 << 20;
constexpr int kLockWaitMilliseconds = 10000;
constexpr const char *kNewFileHead = "# Quorvane settings and recent conversions\n";

std::string historyName(const char *prefix, int index) { return prefix + std::to_string(index); }

// --- Values in the file ------------------------------------------------------------------------
// A value is written as it is, except that a backslash, the bytes below 32 and 127, and blanks at
// either end (which reading trims) are written as escapes: \\ \n \r \t \xHH.

std::string escapeValue(const std::string &value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(value[i]);
        bool edgeBlank = c == ' ' && (i == 0 || i + 1 == value.size());
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c < 0x20 || c == 0x7F || edgeBlank) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else
            out.push_back(static_cast<char>(c));
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The byte a one-letter escape stands for, or 0 when the letter starts none.
char escapedByte(char letter) {
    switch (letter) {
    case '\\': return '\\';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return 0;
    }
}

// A backslash that starts no escape is kept as it is.
std::string unescapeValue(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (c == '\\' && escapedByte(next)) {
            out.push_back(escapedByte(next));
            ++i;
        } else if (c == '\\' && next == 'x' && i + 3 < text.size() && hexDigit(text[i + 2]) >= 0 &&
                   hexDigit(text[i + 3]) >= 0) {
            out.push_back(static_cast<char>(hexDigit(text[i + 2]) * 16 + hexDigit(text[i + 3])));
            i += 3;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string trimBlanks(const std::string &text) {
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos)
        return {};
    size_t end = text.find_last_not_of(" \t");
    return text.substr(start, end - start + 1);
}

// --- The file as lines ---------------------------------------------------------------------------

struct Line {
    std::string text; // as written in the file
    std::string name; // empty for comments and blank lines
    std::string value;
};

class SettingsDocument {
public:
    static SettingsDocument parse(const std::string &content) {
        SettingsDocument doc;
        size_t start = 0;
        while (start < content.size()) {
            size_t end = content.find('\n', start);
            if (end == std::string::npos)
                end = content.size();
            std::string text = content.substr(start, end - start);
            start = end + 1;
            if (!text.empty() && text.back() == '\r')
                text.pop_back();
            doc.addLine(text);
        }
        return doc;
    }

    const std::string *find(const char *name) const {
        const std::string *found = nullptr; // the last of several lines of one name wins
        for (const Line &line : lines_)
            if (!line.name.empty() && strcasecmp(line.name.c_str(), name) == 0)
                found = &line.value;
        return found;
    }
    void set(const std::string &name, const std::string &value) {
        Line line{name + "=" + escapeValue(value), name, value};
        auto first = std::find_if(lines_.begin(), lines_.end(), [&](const Line &l) { return sameName(l, name); });
        if (first == lines_.end()) {
            lines_.push_back(std::move(line));
            return;
        }
        *first = std::move(line);
        lines_.erase(std::remove_if(first + 1, lines_.end(), [&](const Line &l) { return sameName(l, name); }),
                     lines_.end());
    }
    void remove(const std::string &name) {
        lines_.erase(std::remove_if(lines_.begin(), lines_.end(), [&](const Line &l) { return sameName(l, name); }),
                     lines_.end());
    }
    std::string text() const {
        std::string out;
        for (const Line &line : lines_)
            out += line.text + "\n";
        return out;
    }

private:
    static bool sameName(const Line &line, const std::string &name) {
        return !line.name.empty() && strcasecmp(line.name.c_str(), name.c_str()) == 0;
    }
    static bool hasControlBytes(const std::string &text) {
        return std::any_of(text.begin(), text.end(), [](char c) {
            unsigned char u = static_cast<unsigned char>(c);
            return (u < 0x20 && u != '\t') || u == 0x7F;
        });
    }
    void addLine(const std::string &text) {
        if (hasControlBytes(text))
            return; // damaged
        std::string trimmed = trimBlanks(text);
        if (trimmed.empty() || trimmed[0] == '#' || trimmed[0] == ';' || trimmed[0] == '[') {
            lines_.push_back({text, {}, {}});
            return;
        }
        size_t equals = trimmed.find('=');
        if (equals == std::string::npos)
            return; // damaged
        std::string name = trimBlanks(trimmed.substr(0, equals));
        if (name.empty() || name.find_first_of(" \t") != std::string::npos)
            return;
        lines_.push_back({text, name, unescapeValue(trimBlanks(trimmed.substr(equals + 1)))});
    }

    std::vector<Line> lines_;
};

// --- Reading values ------------------------------------------------------------------------------

std::string stringValue(const SettingsDocument &doc, const char *name) {
    const std::string *value = doc.find(name);
    return value ? *value : std::string();
}

// A whole decimal number within [low, high]; anything else gives the default.
long numberValue(const SettingsDocument &doc, const char *name, long low, long high, long fallback) {
    const std::string *value = doc.find(name);
    if (!value || value->empty())
        return fallback;
    errno = 0;
    char *end = nullptr;
    long number = std::strtol(value->c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number < low || number > high)
        return fallback;
    return number;
}

// The count of history pairs: a count outside 0..10 is brought into it.
int recentsValue(const SettingsDocument &doc) {
    long count = numberValue(doc, kRecentsName, LONG_MIN, LONG_MAX, 0);
    return static_cast<int>(std::clamp<long>(count, 0, kHistorySize));
}

AppSettings settingsFrom(const SettingsDocument &doc) {
    AppSettings settings;
    settings.sourceFolder = stringValue(doc, kSourceFolderName);
    settings.outputFolder = stringValue(doc, kOutputFolderName);
    settings.lastSourcePath = stringValue(doc, kLastSourceName);
    settings.lastOutputPath = stringValue(doc, kLastOutputName);
    settings.lastExportType = static_cast<int>(numberValue(doc, kLastTypeName, 0, kOutputTypeCount, 0));
    settings.language = static_cast<int>(numberValue(doc, kLanguageName, 0, kLanguages - 1, 0));
    int count = recentsValue(doc);
    for (int i = 0; i < count; ++i) {
        settings.sourceHistory.push_back(stringValue(doc, historyName("SRC", i).c_str()));
        settings.outputHistory.push_back(stringValue(doc, historyName("DST", i).c_str()));
    }
    return settings;
}

bool sameSingleValues(const AppSettings &a, const AppSettings &b) {
    return a.sourceFolder == b.sourceFolder && a.outputFolder == b.outputFolder &&
           a.lastSourcePath == b.lastSourcePath && a.lastOutputPath == b.lastOutputPath &&
           a.lastExportType == b.lastExportType && a.language == b.language;
}

void putSingleValues(SettingsDocument &doc, const AppSettings &settings) {
    doc.set(kSourceFolderName, settings.sourceFolder);
    doc.set(kOutputFolderName, settings.outputFolder);
    doc.set(kLastSourceName, settings.lastSourcePath);
    doc.set(kLastOutputName, settings.lastOutputPath);
    doc.set(kLastTypeName, std::to_string(settings.lastExportType));
    doc.set(kLanguageName, std::to_string(settings.language));
}

// Writes the pairs of the history and their count; pairs beyond the count are removed.
void putHistory(SettingsDocument &doc, const AppSettings &settings) {
    size_t count = std::min<size_t>(std::max(settings.sourceHistory.size(), settings.outputHistory.size()),
                                    kHistorySize);
    auto entry = [](const std::vector<std::string> &list, size_t i) { return i < list.size() ? list[i] : ""; };
    for (size_t i = 0; i < static_cast<size_t>(kHistorySize); ++i) {
        std::string source = historyName("SRC", static_cast<int>(i));
        std::string output = historyName("DST", static_cast<int>(i));
        if (i < count) {
            doc.set(source, entry(settings.sourceHistory, i));
            doc.set(output, entry(settings.outputHistory, i));
        } else {
            doc.remove(source);
            doc.remove(output);
        }
    }
    doc.set(kRecentsName, std::to_string(count));
}

// --- The file on disk ----------------------------------------------------------------------------

std::string folderOf(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool makeFolders(const std::string &folder) {
    std::string partial;
    size_t start = 0;
    while (start <= folder.size()) {
        size_t slash = folder.find('/', start);
        if (slash == std::string::npos)
            slash = folder.size();
        partial = folder.substr(0, slash);
        if (!partial.empty() && mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        start = slash + 1;
    }
    struct stat st {};
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

enum class ReadStatus { Read, Missing, Failed };

// Reads the whole file; a file larger than any settings file can be counts as damaged (empty).
ReadStatus readSettingsFile(const std::string &path, std::string &content, int &errorNumber) {
    content.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        errorNumber = errno;
        return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        errorNumber = S_ISDIR(st.st_mode) ? EISDIR : errno;
        close(fd);
        return ReadStatus::Failed;
    }
    char buffer[16384];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) {
        if (content.size() + static_cast<size_t>(n) > kMaxFileSize) {
            content.clear();
            break;
        }
        content.append(buffer, static_cast<size_t>(n));
    }
    if (n < 0) {
        errorNumber = errno;
        close(fd);
        return ReadStatus::Failed;
    }
    close(fd);
    return ReadStatus::Read;
}

// The file the settings path names: a symbolic link is followed, so that the link stays.
std::string writeTarget(const std::string &path) {
    char resolved[PATH_MAX];
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

// Writes a temporary file beside the target and renames it over the target.
bool replaceFile(const std::string &path, const std::string &content, int &errorNumber) {
    std::string target = writeTarget(path);
    std::string pattern = target + ".XXXXXX";
    int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        errorNumber = errno;
        return false;
    }
    struct stat st {};
    if (stat(target.c_str(), &st) == 0)
        fchmod(fd, st.st_mode & 07777);
    bool ok = platform::writeAll(fd, content.data(), content.size(), -1, errorNumber);
    if (ok && fsync(fd) != 0) {
        errorNumber = errno;
        ok = false;
    }
    if (close(fd) != 0 && ok) {
        errorNumber = errno;
        ok = false;
    }
    if (ok && rename(pattern.c_str(), target.c_str()) != 0) {
        errorNumber = errno;
        ok = false;
    }
    if (!ok)
        unlink(pattern.c_str());
    return ok;
}

// The exclusive lock of one read-modify-write, released when the object goes away. Waits a while
// for another run to finish its write, never for ever.
class SettingsLock {
public:
    ~SettingsLock() {
        if (fd_ >= 0)
            close(fd_);
    }
    bool acquire(const std::string &settingsPath, std::string &reason) {
        std::string lockPath = settingsPath + ".lock";
        fd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            reason = lockPath + ": " + platform::systemMessage(errno);
            return false;
        }
        for (int waited = 0;; waited += 5) {
            if (flock(fd_, LOCK_EX | LOCK_NB) == 0)
                return true;
            if (errno != EWOULDBLOCK && errno != EINTR) {
                reason = lockPath + ": " + platform::systemMessage(errno);
                return false;
            }
            if (waited >= kLockWaitMilliseconds) {
                reason = "another run has held " + lockPath + " for " +
                         std::to_string(kLockWaitMilliseconds / 1000) + " seconds";
                return false;
            }
            usleep(5000);
        }
    }

private:
    int fd_ = -1;
};

// One note a run is enough: the next store would fail the same way.
void noteNotSaved(const std::string &reason) {
    static bool noted = false;
    if (noted)
        return;
    noted = true;
    std::fprintf(stderr, "quorv: the settings were not saved: %s\n", reason.c_str());
}

void noteNotSaved(const std::string &path, int errorNumber) {
    noteNotSaved(path + ": " + platform::systemMessage(errorNumber));
}

// Applies a change to the settings file. change edits the document and returns false when there is
// nothing to write. A change that would write nothing new touches nothing, not even the lock file;
// otherwise it is made again under the lock on the file as it is then.
template <typename Change> void updateSettingsFile(Change change) {
    std::string path = settingsFilePath();
    if (path.empty())
        return;
    std::string content;
    int errorNumber = 0;
    if (readSettingsFile(path, content, errorNumber) != ReadStatus::Failed) {
        SettingsDocument doc = SettingsDocument::parse(content.empty() ? kNewFileHead : content);
        if (!change(doc) || doc.text() == content)
            return;
    }
    SettingsLock lock;
    if (!makeFolders(folderOf(path))) {
        noteNotSaved(path, errno);
        return;
    }
    if (std::string reason; !lock.acquire(path, reason)) {
        noteNotSaved(reason);
        return;
    }
    // A file that exists but cannot be read is left alone rather than replaced by our values.
    if (readSettingsFile(path, content, errorNumber) == ReadStatus::Failed) {
        noteNotSaved(path, errorNumber);
        return;
    }
    SettingsDocument doc = SettingsDocument::parse(content.empty() ? kNewFileHead : content);
    if (!change(doc) || doc.text() == content)
        return;
    if (!replaceFile(path, doc.text(), errorNumber))
        noteNotSaved(path, errorNumber);
}

std::string homeFolder() {
    const char *home = std::getenv("HOME");
    if (home && *home)
        return home;
    if (const passwd *entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

} // namespace

std::string settingsFilePath() {
    std::string base;
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        base = config;
    else if (std::string home = homeFolder(); !home.empty())
        base = home + "/.config";
    else
        return {};
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/quorvane/quorv.conf";
}

AppSettings loadSettings() {
    std::string path = settingsFilePath();
    std::string content;
    int errorNumber = 0;
    if (path.empty() || readSettingsFile(path, content, errorNumber) != ReadStatus::Read)
        return {};
    return settingsFrom(SettingsDocument::parse(content));
}

void mergeLastConversion(AppSettings &settings) {
    std::vector<std::string> &sources = settings.sourceHistory;
    std::vector<std::string> &outputs = settings.outputHistory;
    outputs.resize(sources.size());
    if (!settings.lastSourcePath.empty() &&
        (sources.empty() || sources[0] != settings.lastSourcePath || outputs[0] != settings.lastOutputPath)) {
        sources.insert(sources.begin(), settings.lastSourcePath);
        outputs.insert(outputs.begin(), settings.lastOutputPath);
    }
    if (sources.size() > static_cast<size_t>(kHistorySize)) {
        sources.resize(kHistorySize);
        outputs.resize(kHistorySize);
    }
    updateSettingsFile([&](SettingsDocument &doc) {
        putHistory(doc, settings);
        return true;
    });
}

void clearHistory(AppSettings &settings) {
    settings.sourceHistory.clear();
    settings.outputHistory.clear();
    updateSettingsFile([&](SettingsDocument &doc) {
        putHistory(doc, settings);
        return true;
    });
}

void storeSettings(const AppSettings &settings) {
    updateSettingsFile([&](SettingsDocument &doc) {
        // Values that are already there are not written again: a run that changed nothing leaves
        // the file (or its absence) as it was.
        if (sameSingleValues(settingsFrom(doc), settings))
            return false;
        putSingleValues(doc, settings);
        return true;
    });
}

bool commandLineClearsHistory(const std::string &commandLine) {
    return strcasestr(commandLine.c_str(), "/clearhistory") != nullptr;
}

} // namespace quorv
