#include "platform/system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fnmatch.h>
#include <limits.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace quorv::platform {

std::string programFolder() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return currentFolder();
    std::string path(buffer, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? currentFolder() : path.substr(0, slash + 1);
}

std::string programPath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return programFolder() + "quorv";
    return std::string(buffer, static_cast<size_t>(n));
}

std::string currentFolder() {
    char buffer[PATH_MAX];
    if (!getcwd(buffer, sizeof buffer))
        return "./";
    std::string folder(buffer);
    if (folder.empty() || folder.back() != '/')
        folder.push_back('/');
    return folder;
}

bool openWithDesktop(const std::string &path) {
    // Double fork so the opener is not our child and is never waited for.
    pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        setsid();
        pid_t grandchild = fork();
        if (grandchild == 0) {
            const char *argv[] = {"xdg-open", path.c_str(), nullptr};
            execvp("xdg-open", const_cast<char *const *>(argv));
            _exit(127);
        }
        _exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string systemMessage(int errorNumber) {
    char buffer[256];
    return std::string(strerror_r(errorNumber, buffer, sizeof buffer));
}

bool folderWritable(const std::string &folder) {
    return access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

std::vector<std::string> findFiles(const std::string &folder, const std::string &pattern) {
    std::vector<std::string> names;
    DIR *dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return names;
    while (dirent *entry = readdir(dir)) {
        if (fnmatch(pattern.c_str(), entry->d_name, FNM_PERIOD | FNM_CASEFOLD) != 0)
            continue;
        struct stat st {};
        std::string full = folder + entry->d_name;
        if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            names.emplace_back(entry->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool writeAll(int fd, const char *data, size_t size, int64_t offset, int &errorNumber) {
    while (size > 0) {
        ssize_t n = offset < 0 ? ::write(fd, data, size) : ::pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            errorNumber = errno;
            return false;
        }
        if (n == 0) {
            errorNumber = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        if (offset >= 0)
            offset += n;
    }
    return true;
}

bool fileExists(const std::string &path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

} // namespace quorv::platform
