#include "platform/locale.h"

#include <langinfo.h>

namespace quorv::platform {

LocaleDate localeDateFromFormat(std::string_view format) {
    LocaleDate result;
    int dayAt = -1, monthAt = -1, yearAt = -1, position = 0;
    bool separatorFound = false;
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            char conversion = format[++i];
            if (conversion == 'E' || conversion == 'O' || conversion == '-' || conversion == '_' ||
                conversion == '0') {
                if (i + 1 >= format.size())
                    break;
                conversion = format[++i];
            }
            switch (conversion) {
            case 'd': case 'e': dayAt = position++; break;
            case 'm': monthAt = position++; break;
            case 'y': case 'Y': case 'C': yearAt = position++; break;
            case 'D': // %m/%d/%y
                return {'0', '/'};
            case 'F': // %Y-%m-%d
                return {'2', '-'};
            default: break;
            }
        } else if (!separatorFound && position > 0 && c != ' ') {
            result.separator = c;
            separatorFound = true;
        }
    }
    if (yearAt == 0)
        result.order = '2';
    else if (monthAt >= 0 && dayAt >= 0 && monthAt < dayAt)
        result.order = '0';
    else if (dayAt >= 0)
        result.order = '1';
    return result;
}

LocaleDate userLocaleDate() {
    const char *format = nl_langinfo(D_FMT);
    return localeDateFromFormat(format ? format : "%d.%m.%Y");
}

} // namespace quorv::platform
