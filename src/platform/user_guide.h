// Where the HTML user guide lies: beside the program in a build, under share/doc when installed.
#pragma once

#include <string>

namespace quorv::platform {

// <program folder>/guide/index.html, else <program folder>/../share/doc/quorvane/guide/index.html;
// empty when neither exists.
std::string userGuidePath();
// The same search from a given program folder (with or without a trailing '/').
std::string userGuidePathFrom(const std::string &programFolder);

} // namespace quorv::platform
