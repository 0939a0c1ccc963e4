// The reserved words of each SQL dialect, lower case and in byte order.
#pragma once

#include <span>

namespace quorv::sqlwords {

std::span<const char *const> ansi();
std::span<const char *const> oracle();
std::span<const char *const> mySql();
std::span<const char *const> sqlServer();
std::span<const char *const> postgreSql();

} // namespace quorv::sqlwords
