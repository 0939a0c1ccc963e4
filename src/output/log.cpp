#include "output/log.h"

#include <cerrno>

#include "output/progress_line.h"
#include "platform/system.h"

namespace quorv {

bool LogFile::open(const std::string &path, std::string *error) {
    close();
    file_ = std::fopen(path.c_str(), "w+b");
    if (!file_) {
        if (error)
            *error = platform::systemMessage(errno);
        return false;
    }
    path_ = path;
    return true;
}

void LogFile::write(std::string_view text) {
    if (!file_)
        return;
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
}

void LogFile::close() {
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

void reportProblem(LogFile *log, const std::string &message) {
    if (log && log->isOpen())
        log->write(message + "\r\n");
    clearProgressLine();
    std::fprintf(stderr, "quorv: %s\n", message.c_str());
}

} // namespace quorv
