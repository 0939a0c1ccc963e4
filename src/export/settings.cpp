#include "export/settings.h"

#include <algorithm>
#include <strings.h>

namespace quorv {

namespace {

const OutputFormat kFormats[kOutputTypeCount] = {
    {OutputType::DbaseIII, ".dbf", "dBase III files (*.dbf)"},
    {OutputType::DbaseIV, ".dbf", "dBase IV files (*.dbf)"},
    {OutputType::VisualFoxPro, ".dbf", "Visual Foxpro (*.dbf)"},
    {OutputType::Text, ".txt", "Text files (*.txt)"},
    {OutputType::Html, ".htm", "HTML Documents (*.htm)"},
    {OutputType::Prg, ".prg", "Clipper, Foxpro files (*.prg)"},
    {OutputType::Xml, ".xml", "XML files (*.xml)"},
    {OutputType::Xls, ".xls", "Excel files (*.xls)"},
    {OutputType::Xlsx, ".xlsx", "Excel 2007-2022 files (*.xlsx)"},
    {OutputType::Csv, ".csv", "CSV files (*.csv)"},
    {OutputType::Sql, ".sql", "SQL files (*.sql)"},
    {OutputType::Rtf, ".rtf", "RTF files (*.rtf)"},
    {OutputType::Rss, ".xml", "RSS files (*.xml)"},
};

} // namespace

const OutputFormat *outputFormats() { return kFormats; }

const OutputFormat &outputFormat(OutputType type) {
    int i = static_cast<int>(type);
    if (i < 1 || i > kOutputTypeCount)
        i = 1;
    return kFormats[i - 1];
}

int outputTypeForExtension(std::string_view ext) {
    for (const OutputFormat &f : kFormats) {
        std::string_view known = f.extension + 1;
        if (known.size() == ext.size() && strncasecmp(known.data(), ext.data(), ext.size()) == 0)
            return static_cast<int>(f.type);
    }
    return 0;
}

void setDecimals(ExportSettings &settings, int decimals) {
    settings.decimals = std::clamp(decimals, 0, kMaxDecimals);
    settings.numberFormat = "%." + std::to_string(settings.decimals) + "f";
}

} // namespace quorv
