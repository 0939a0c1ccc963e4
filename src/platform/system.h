// The program's place in the file system and the desktop, in place of the Windows shell services.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorv::platform {

// The folder that holds the running program, with a trailing '/'.
std::string programFolder();
// The absolute path of the running program ("quorv" in the program's folder when it cannot be read).
std::string programPath();
// Starts the desktop's opener (xdg-open) for a file, detached; never waits for it.
bool openWithDesktop(const std::string &path);
// The system's message text for an errno value.
std::string systemMessage(int errorNumber);
// Whether a file can be created in the folder.
bool folderWritable(const std::string &folder);
// Files in a folder whose names match a pattern of '*' and '?', ignoring case as the Windows file search
// does (so *.db finds CUSTOMER.DB),
// sorted by name. Folders are left out.
std::vector<std::string> findFiles(const std::string &folder, const std::string &pattern);
// The current folder with a trailing '/'.
std::string currentFolder();
bool fileExists(const std::string &path);
// Writes every byte, retrying short writes: at the file position when offset is -1, else at offset.
// False with errorNumber set when a write fails (ENOSPC when the system writes nothing).
bool writeAll(int fd, const char *data, size_t size, int64_t offset, int &errorNumber);

} // namespace quorv::platform
