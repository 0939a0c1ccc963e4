// Helpers shared by the tests: temporary folders, the real-table corpus, running programs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorv::test {

// A fresh folder under /tmp, removed with its content when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string readFile(const std::string &path);
// The pieces of a line between separators (an empty line gives one empty piece).
std::vector<std::string> splitText(const std::string &line, char separator);
// Undoes the \n, \r, \t and \<char> escapes the Python reader scripts print.
std::string unescapeBackslashes(const std::string &text);
void writeFile(const std::string &path, const std::string &content);
bool fileExists(const std::string &path);
std::vector<uint8_t> readBytes(const std::string &path);
void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes);

// The folder of real Paradox tables, or empty when it is not there.
std::string corpusFolder();
std::string corpusPath(const std::string &relative);
// Every .db file below the corpus folder (any letter case), relative to it, sorted.
std::vector<std::string> corpusTables();

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};
// Runs a program with arguments (no shell), capturing its output; stdin is /dev/null.
// The program runs with LC_ALL=C.UTF-8 and TZ=UTC; extraEnvironment holds "NAME=value" entries set
// for the program only (they override those two).
RunResult runProgram(const std::vector<std::string> &argv, const std::string &workingFolder = "",
                     long fileSizeLimit = -1, const std::vector<std::string> &extraEnvironment = {});
// The quorv binary of this build.
std::string quorvBinary();
// Debian's python3 (the first python3 on PATH may not import Debian's modules), or empty.
std::string debianPython();
bool pythonHasModule(const std::string &module);

} // namespace quorv::test
