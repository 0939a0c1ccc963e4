// XML documents (a structure section with the field names, then one element per record) and RSS 2.0
// channels (one item per record from the first three columns).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "export/writer.h"
#include "export/xml/xml_text.h"

namespace quorv {

class XmlWriter : public FormatWriter {
public:
    explicit XmlWriter(const ExportSettings &settings);
    bool writesByteOrderMark() const override { return true; }
    bool head(ExportRun &run) override;
    bool record(ExportRun &run) override;
    bool trailer(ExportRun &run) override;

private:
    struct Column {
        int field = 0;
        std::string tag;       // element name, in the document's encoding
        bool memo = false;     // memo text: line breaks become blanks, blanks at the ends stay
        bool leftOut = false;  // a value held characters the document cannot hold
    };

    void planColumns(ExportRun &run);
    void appendValue(ExportRun &run, Column &column, std::string &out);

    bool rss_;
    std::unique_ptr<XmlText> text_;
    std::vector<Column> columns_;
};

} // namespace quorv
