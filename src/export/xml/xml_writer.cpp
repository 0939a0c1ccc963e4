#include "export/xml/xml_writer.h"

#include <algorithm>

#include "export/text_values.h"
#include "source/format.h"
#include "source/paradox_table.h"

namespace quorv {

namespace {

constexpr const char *kRssTags[] = {"title", "link", "description"};

constexpr const char kRssStart[] = "<rss version=\"2.0\">\r\n<channel>\r\n<title> TITLE </title>\r\n"
                                   "<link> LINK TO PAGE </link>\r\n"
                                   "<description> DESCRIPTION OF SITE </description>\r\n";

} // namespace

XmlWriter::XmlWriter(const ExportSettings &settings) : rss_(writesRss(settings)) {}

void XmlWriter::planColumns(ExportRun &run) {
    SourceTable &table = run.table;
    columns_.clear();
    auto add = [&](int field, std::string tag) {
        const uint8_t type = table.fields[static_cast<size_t>(field)].type;
        columns_.push_back({field, std::move(tag), type == PxMemoBlob || type == PxFmtMemoBlob, false});
    };
    if (rss_) {
        // Title, link and description come from output positions 0, 1 and 2; a position that is
        // left out gives no element, and the next column does not move up.
        const int positions = std::min(table.fieldCount, 3);
        for (int p = 0; p < positions; ++p)
            if (!table.fieldExcluded[static_cast<size_t>(p)])
                add(table.fieldOrder[static_cast<size_t>(p)], kRssTags[p]);
        return;
    }
    int position = 0;
    for (int field : run.columns)
        add(field, text_->elementName(fieldName(table, field), ++position));
}

bool XmlWriter::head(ExportRun &run) {
    const ExportSettings &s = run.settings;
    if (s.appendMode && run.output.startSize() > 0) {
        run.fail(s.outputPath + ": records cannot be added to an existing " + (rss_ ? "RSS" : "XML") +
                 " document; the file is left as it was");
        return false;
    }
    text_ = std::make_unique<XmlText>(run.table.ansiCodePage, s.utf8);
    planColumns(run);

    std::string &out = run.lineBuffer;
    out = "<?xml version=\"1.0\" encoding=\"" + text_->encodingName() + "\"?>\r\n";
    if (rss_) {
        out += kRssStart;
    } else {
        out += "<Root Database=\"";
        text_->appendPathAttribute(out, run.table.path);
        out += "\">\r\n  <Structure>\r\n";
        for (const Column &column : columns_) {
            out += "    <Field>\r\n   <Field_Name>";
            text_->appendContent(out, fieldName(run.table, column.field));
            out += "</Field_Name>\r\n    </Field>\r\n";
        }
        out += "  </Structure>\r\n  <Records>\r\n";
    }
    run.output.writeText(out);
    out.clear();
    return true;
}

void XmlWriter::appendValue(ExportRun &run, Column &column, std::string &out) {
    std::string &value = run.scratch;
    formatFieldValue(value, run.table, run.settings, run.table.recordBuffer.data(), column.field);
    std::string_view text = value;
    if (column.memo)
        std::replace_if(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    else
        text = trimBlanks(text);
    if (!text_->appendContent(out, text))
        column.leftOut = true;
}

bool XmlWriter::record(ExportRun &run) {
    std::string &out = run.lineBuffer;
    out.clear();
    out += rss_ ? "<item>\r\n" : "   <Record>\r\n";
    const char *indent = rss_ ? "<" : "     <";
    for (Column &column : columns_) {
        out += indent;
        out += column.tag;
        out += '>';
        appendValue(run, column, out);
        out += "</";
        out += column.tag;
        out += ">\r\n";
    }
    out += rss_ ? "\r\n</item>\r\n" : "\r\n   </Record>\r\n";
    run.output.writeText(out);
    return true;
}

bool XmlWriter::trailer(ExportRun &run) {
    run.output.writeText(rss_ ? " </channel>\r\n </rss>" : " </Records>\r\n </Root>");
    for (const Column &column : columns_)
        if (column.leftOut)
            run.warn(run.settings.outputPath + ": values of field \"" + fieldName(run.table, column.field) +
                     "\" hold control characters that XML cannot hold; they were left out");
    return true;
}

} // namespace quorv
