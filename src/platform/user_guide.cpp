#include "platform/user_guide.h"

#include "platform/system.h"

namespace quorv::platform {

std::string userGuidePathFrom(const std::string &programFolder) {
    std::string folder = programFolder;
    if (!folder.empty() && folder.back() != '/')
        folder.push_back('/');
    for (const char *relative : {"guide/index.html", "../share/doc/quorvane/guide/index.html"}) {
        std::string candidate = folder + relative;
        if (fileExists(candidate))
            return candidate;
    }
    return {};
}

std::string userGuidePath() {
    return userGuidePathFrom(programFolder());
}

} // namespace quorv::platform
