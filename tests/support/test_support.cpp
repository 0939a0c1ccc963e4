#include "support/test_support.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quorv::test {

TempDir::TempDir() {
    char pattern[] = "/tmp/quorvtest.XXXXXX";
    const char *made = mkdtemp(pattern);
    path_ = made ? made : "/tmp";
}

TempDir::~TempDir() {
    std::error_code ec;
    if (path_ != "/tmp")
        fs::remove_all(path_, ec);
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string &path, const std::string &content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

bool fileExists(const std::string &path) { return fs::exists(path); }

std::vector<uint8_t> readBytes(const std::string &path) {
    const std::string text = readFile(path);
    return {text.begin(), text.end()};
}

void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes) {
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}

std::vector<std::string> splitText(const std::string &line, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = line.find(separator, start);
        parts.push_back(line.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

std::string unescapeBackslashes(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char c = text[++i];
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string corpusFolder() {
    std::string folder = QUORV_CORPUS_DIR;
    return fs::is_directory(folder) ? folder : std::string();
}

std::string corpusPath(const std::string &relative) { return corpusFolder() + "/" + relative; }

std::vector<std::string> corpusTables() {
    std::vector<std::string> tables;
    std::string folder = corpusFolder();
    if (folder.empty())
        return tables;
    for (const auto &entry : fs::recursive_directory_iterator(folder)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (entry.is_regular_file() && ext == ".db")
            tables.push_back(fs::relative(entry.path(), folder).string());
    }
    std::sort(tables.begin(), tables.end());
    return tables;
}

RunResult runProgram(const std::vector<std::string> &argv, const std::string &workingFolder, long fileSizeLimit,
                     const std::vector<std::string> &extraEnvironment) {
    RunResult result;
    char outName[] = "/tmp/quorvrun.out.XXXXXX";
    char errName[] = "/tmp/quorvrun.err.XXXXXX";
    int outFd = mkstemp(outName), errFd = mkstemp(errName);
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        dup2(outFd, 1);
        dup2(errFd, 2);
        if (!workingFolder.empty() && chdir(workingFolder.c_str()) != 0)
            _exit(126);
        if (fileSizeLimit >= 0) {
            struct rlimit limit {static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_IGN);
        }
        // The same locale and time zone for every program a test starts, whatever the suite runs
        // under; a test that needs others names them in extraEnvironment.
        setenv("LC_ALL", "C.UTF-8", 1);
        setenv("TZ", "UTC", 1);
        for (const std::string &entry : extraEnvironment)
            putenv(const_cast<char *>(entry.c_str()));
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readFile(outName);
    result.err = readFile(errName);
    close(outFd);
    close(errFd);
    unlink(outName);
    unlink(errName);
    return result;
}

std::string quorvBinary() { return QUORV_BINARY; }

std::string debianPython() { return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : std::string(); }

bool pythonHasModule(const std::string &module) {
    std::string python = debianPython();
    if (python.empty())
        return false;
    return runProgram({python, "-c", "import " + module}).status == 0;
}

} // namespace quorv::test
