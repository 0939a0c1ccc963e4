// The writer of each output type.
#include "export/csv/csv_writer.h"
#include "export/excel/excel_writer.h"
#include "export/html/html_writer.h"
#include "export/prg/prg_writer.h"
#include "export/rtf/rtf_table_writer.h"
#include "export/sql/sql_writer.h"
#include "export/writer.h"
#include "export/dbf/dbf_writer.h"
#include "export/xml/xml_writer.h"

namespace quorv {

namespace {

template <class W> std::unique_ptr<FormatWriter> make(const ExportSettings &settings) {
    return std::make_unique<W>(settings);
}

struct WriterRow {
    OutputType type;
    WriterFactory factory;
};

const WriterRow kWriters[] = {
    {OutputType::DbaseIII, make<DbfWriter>},
    {OutputType::DbaseIV, make<DbfWriter>},
    {OutputType::VisualFoxPro, make<DbfWriter>},
    {OutputType::Text, make<CsvWriter>},
    {OutputType::Html, make<HtmlWriter>},
    {OutputType::Csv, make<CsvWriter>},
    {OutputType::Sql, make<SqlWriter>},
    {OutputType::Xls, make<ExcelWriter>},
    {OutputType::Xlsx, make<ExcelWriter>},
    {OutputType::Xml, make<XmlWriter>},
    {OutputType::Rss, make<XmlWriter>},
    {OutputType::Prg, make<PrgWriter>},
    {OutputType::Rtf, make<RtfTableWriter>},
};

} // namespace

std::unique_ptr<FormatWriter> makeWriter(OutputType type, const ExportSettings &settings) {
    for (const WriterRow &row : kWriters)
        if (row.type == type)
            return row.factory(settings);
    return nullptr;
}

bool hasWriter(OutputType type) {
    for (const WriterRow &row : kWriters)
        if (row.type == type)
            return true;
    return false;
}

} // namespace quorv
