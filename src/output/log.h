// The command-line log, and the one place where problems of a run are reported.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace quorv {

class LogFile {
public:
    LogFile() = default;
    ~LogFile() { close(); }
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;

    bool open(const std::string &path, std::string *error);
    void write(std::string_view text);
    void close();
    bool isOpen() const { return file_ != nullptr; }
    const std::string &path() const { return path_; }

private:
    std::FILE *file_ = nullptr;
    std::string path_;
};

// A failure or problem of a run: one line in the log when one is open, and always on standard error.
void reportProblem(LogFile *log, const std::string &message);

} // namespace quorv
