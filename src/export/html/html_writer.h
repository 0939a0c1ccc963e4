// HTML documents: one table with a row per record, or one small two-column table (a form) per record,
// optionally split into page files linked by "Next" and "Previous" links. Every page file is a whole
// document with its character set and title; names and values are shown as text, never as markup.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "export/html/html_text.h"
#include "export/writer.h"

namespace quorv {

class HtmlWriter : public FormatWriter {
public:
    explicit HtmlWriter(const ExportSettings &) {}
    bool head(ExportRun &run) override;
    bool record(ExportRun &run) override;
    bool trailer(ExportRun &run) override;
    void abandon(ExportRun &run) override;

private:
    bool tableLayout(const ExportRun &run) const { return !run.settings.htmlAsForm; }
    bool pageBreakDue(const ExportRun &run) const;
    bool breakPage(ExportRun &run);
    std::string pageHrefOf(int k) const { return pageHref(htmlPageName(firstName_, k)); }
    void appendValue(ExportRun &run, size_t column, bool trim, std::string &out);

    std::optional<HtmlEscaper> escaper_;
    std::string pageStart_;                // document start, head, body line, table caption and header row
    std::vector<std::string> escapedNames_; // the selected columns' names, escaped
    std::vector<bool> digitsOnly_;          // per selected column: its texts need no escaping or link
    std::string folder_;                   // of the first page, with its trailing '/'
    std::string firstName_;                // the first page's file name
    int pageCount_ = 0;                    // page files opened after the first
    int64_t firstStartSize_ = 0;           // bytes the first page held before an append
    std::vector<std::string> closedPages_; // pages this run wrote and closed, first page first
};

} // namespace quorv
