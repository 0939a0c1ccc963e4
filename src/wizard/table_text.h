// Texts of a table (field names, conditions) between its code page and the widgets' Unicode.
#pragma once

#include <string>

#include <QString>

#include "platform/codepage.h"
#include "source/paradox_table.h"

namespace quorv::wizard {

inline QString tableText(const SourceTable &table, const std::string &bytes) {
    return QString::fromStdString(platform::toUtf8(bytes, table.ansiCodePage));
}

inline std::string tableBytes(const SourceTable &table, const QString &text) {
    return platform::fromUtf8(text.toStdString(), table.ansiCodePage);
}

// The field's name as the user reads it (converted from OEM text when that option is on).
inline QString shownFieldName(const SourceTable &table, int field) {
    return tableText(table, fieldName(table, field));
}

} // namespace quorv::wizard
