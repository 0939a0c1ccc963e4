#include "export/html/html_writer.h"

#include <charconv>
#include <cstdio>
#include <unistd.h>

#include "export/text_values.h"
#include "source/format.h"
#include "source/paradox_table.h"

namespace quorv {

namespace {

std::string rgbHex(unsigned rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", rgb & 0xFFu, (rgb >> 8) & 0xFFu, (rgb >> 16) & 0xFFu);
    return text;
}

std::string escaped(const HtmlEscaper &escaper, std::string_view text) {
    std::string out;
    escaper.append(out, text);
    return out;
}

// Numbers, logicals and times show only digits, signs, points and colons: no markup, no link.
bool showsOnlyDigits(uint8_t type) {
    switch (type) {
    case PxShort: case PxLong: case PxCurrency: case PxNumber: case PxLogical: case PxAutoInc: case PxBcd: case PxTime:
        return true;
    default:
        return false;
    }
}

void appendLink(std::string &out, const char *text, const std::string &href) {
    out += "<a href= \"";
    out += href;
    out += "\" >";
    out += text;
    out += "</a>";
}

// A colour as the user typed it, without a number sign of its own ("#ff0000" would become "##ff0000").
std::string typedColour(const std::string &typed, const HtmlEscaper &escaper) {
    return escaped(escaper, std::string_view(typed).substr(!typed.empty() && typed[0] == '#' ? 1 : 0));
}

// The body line of a page: the colours as the user typed them, else as RGB values (red in the lowest byte).
std::string htmlBodyLine(const ExportSettings &s, const HtmlEscaper &escaper) {
    std::string text, back;
    if (!s.htmlTextColorText.empty() || !s.htmlBackColorText.empty()) {
        // A colour the user did not type keeps its RGB setting: an empty "#" would read as black.
        text = s.htmlTextColorText.empty() ? rgbHex(s.htmlTextColor) : typedColour(s.htmlTextColorText, escaper);
        back = s.htmlBackColorText.empty() ? rgbHex(s.htmlBackColor) : typedColour(s.htmlBackColorText, escaper);
    } else {
        text = rgbHex(s.htmlTextColor);
        back = rgbHex(s.htmlBackColor);
    }
    return "<body text=\"#" + text + "\" bgcolor=\"#" + back + "\">\n";
}

} // namespace

bool HtmlWriter::head(ExportRun &run) {
    const ExportSettings &s = run.settings;
    escaper_.emplace(run.table.ansiCodePage);
    const HtmlEscaper &escaper = *escaper_;
    pageCount_ = 0;
    closedPages_.clear();
    firstStartSize_ = run.output.startSize();
    const std::string &path = s.outputPath;
    const size_t slash = path.rfind('/');
    folder_ = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    firstName_ = slash == std::string::npos ? path : path.substr(slash + 1);

    escapedNames_.clear();
    digitsOnly_.clear();
    for (int field : run.columns) {
        escapedNames_.push_back(escaped(escaper, fieldName(run.table, field)));
        digitsOnly_.push_back(showsOnlyDigits(run.table.fields[static_cast<size_t>(field)].type));
    }

    const std::string title = typedHtmlText(s.htmlTitle, run.table.ansiCodePage, escaper);
    pageStart_ = "<html>\n<head><meta charset=\"" + htmlCharsetName(run.table.ansiCodePage) + "\"><title>" + title +
                 "</title></head>" + htmlBodyLine(s, escaper);
    if (tableLayout(run)) {
        const int columns = run.selectedCount + (s.htmlRecordNumbers ? 1 : 0);
        pageStart_ += "<TABLE BORDER" + (s.htmlBorder == 1 ? std::string() : "=" + std::to_string(s.htmlBorder)) +
                      "><TR> <TH COLSPAN=" + std::to_string(columns) + " > <B>" + title + "</B> </TH></TR>\n";
        pageStart_ += "<TR>";
        if (s.htmlRecordNumbers)
            pageStart_ += "<TH>N</TH>";
        for (const std::string &name : escapedNames_)
            pageStart_ += "<TH>" + name + "</TH>";
        pageStart_ += "</TR>\n";
    }
    run.output.writeText(pageStart_);
    return true;
}

void HtmlWriter::appendValue(ExportRun &run, size_t column, bool trim, std::string &out) {
    formatFieldValue(run.scratch, run.table, run.settings, run.table.recordBuffer.data(), run.columns[column]);
    const std::string_view value = trim ? trimBlanks(run.scratch) : std::string_view(run.scratch);
    out += "<TD>";
    if (value.empty()) {
        out += "&nbsp;";
    } else if (digitsOnly_[column]) {
        out += value;
    } else if (const std::string target = linkTarget(value); !target.empty()) {
        out += "<a href= \"";
        escaper_->append(out, target);
        out += "\" > ";
        escaper_->append(out, value);
        out += " </a>";
    } else {
        escaper_->append(out, value);
    }
    out += "</TD>";
}

bool HtmlWriter::pageBreakDue(const ExportRun &run) const {
    const ExportSettings &s = run.settings;
    return s.htmlSplitPages && s.htmlRowsPerPage > 0 && run.position != 0 && run.position % s.htmlRowsPerPage == 0;
}

// Ends the current page with its links and the document end, and starts the next page file.
bool HtmlWriter::breakPage(ExportRun &run) {
    const int k = ++pageCount_;
    std::string &out = run.lineBuffer;
    out = tableLayout(run) ? "</TABLE>" : "";
    out += "<br>";
    if (k > 1) {
        appendLink(out, "Previous", pageHrefOf(k - 2));
        out += "|";
    }
    appendLink(out, "Next", pageHrefOf(k));
    out += "</body></html>";
    run.output.writeText(out);

    std::string error;
    const std::string closing = run.output.path();
    if (!run.output.close(&error))
        return false; // the driver reports the output's failure
    closedPages_.push_back(closing);
    const std::string next = folder_ + htmlPageName(firstName_, k);
    if (!run.output.open(next, false, &error)) {
        run.fail(next + ": " + error);
        return false;
    }
    run.output.writeText(pageStart_);
    return true;
}

bool HtmlWriter::record(ExportRun &run) {
    if (pageBreakDue(run) && !breakPage(run))
        return false;
    std::string &out = run.lineBuffer;
    out.clear();
    if (tableLayout(run)) {
        out += "<TR>";
        if (run.settings.htmlRecordNumbers) {
            char number[16];
            const auto end = std::to_chars(number, number + sizeof number, run.position + 1).ptr;
            out += "<TD>";
            out.append(number, end);
            out += "</TD>";
        }
        for (size_t i = 0; i < run.columns.size(); ++i)
            appendValue(run, i, true, out);
    } else {
        out += "<TABLE BORDER>";
        for (size_t i = 0; i < run.columns.size(); ++i) {
            out += "<TR><TD><B>";
            out += escapedNames_[i];
            out += "</B></TD>";
            appendValue(run, i, false, out);
            out += "</TR>";
        }
        out += "</TABLE><BR>";
    }
    run.output.writeText(out);
    return true;
}

bool HtmlWriter::trailer(ExportRun &run) {
    std::string &out = run.lineBuffer;
    out = tableLayout(run) ? "</TABLE>" : "";
    if (run.settings.htmlSplitPages && pageCount_ >= 1) {
        out += "<br>";
        appendLink(out, "Previous", pageHrefOf(pageCount_ - 1));
    }
    out += "</body></html>";
    run.output.writeText(out);
    return true;
}

void HtmlWriter::abandon(ExportRun &run) {
    for (size_t i = 0; i < closedPages_.size(); ++i) {
        if (i == 0 && run.settings.appendMode) {
            if (::truncate(closedPages_[i].c_str(), firstStartSize_) != 0)
                run.warn(closedPages_[i] + ": could not be cut back to its old length");
        } else {
            ::unlink(closedPages_[i].c_str());
        }
    }
    closedPages_.clear();
}

} // namespace quorv
