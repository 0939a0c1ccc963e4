// The user's date order and separator, in place of the Windows locale items.
#pragma once

#include <string_view>

namespace quorv::platform {

struct LocaleDate {
    char order = '1';     // '0' month-day-year, '1' day-month-year, '2' year-month-day
    char separator = '.';
};

// Reads LC_TIME's date format; call after setlocale(LC_ALL, "").
LocaleDate userLocaleDate();
// The same from a strftime date format such as "%d.%m.%Y".
LocaleDate localeDateFromFormat(std::string_view format);

} // namespace quorv::platform
