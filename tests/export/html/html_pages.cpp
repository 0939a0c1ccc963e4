#include "export/html/html_pages.h"

#include <filesystem>
#include <sstream>

#include "export/settings.h"
#include "platform/codepage.h"
#include "source/format.h"
#include "source/paradox_table.h"
#include "support/test_support.h"

namespace quorv::test {

namespace {

std::vector<std::string> words(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

bool parsePages(const std::string &output, std::vector<HtmlPage> &pages) {
    pages.clear();
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        const size_t blank = line.find(' ');
        const std::string key = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        if (key == "PAGE") {
            pages.emplace_back();
            continue;
        }
        if (pages.empty())
            return false;
        HtmlPage &page = pages.back();
        const std::vector<std::string> parts = splitText(rest, '\t');
        if (key == "CHARSET")
            page.charset = rest;
        else if (key == "TITLE")
            page.title = unescapeBackslashes(rest);
        else if (key == "BODY" && parts.size() == 2) {
            page.bodyText = unescapeBackslashes(parts[0]);
            page.bodyBackground = unescapeBackslashes(parts[1]);
        } else if (key == "TAGS")
            page.tags = words(rest);
        else if (key == "ATTRS")
            page.attributes = words(rest);
        else if (key == "T")
            page.tables.emplace_back();
        else if (key == "R" && !page.tables.empty())
            page.tables.back().emplace_back();
        else if (key == "C" && parts.size() == 3 && !page.tables.empty() && !page.tables.back().empty())
            page.tables.back().back().push_back(
                {parts[0], unescapeBackslashes(parts[1]), unescapeBackslashes(parts[2])});
        else if (key == "L" && parts.size() == 2)
            page.links.emplace_back(unescapeBackslashes(parts[0]), unescapeBackslashes(parts[1]));
        else
            return false;
    }
    return true;
}

std::string pagesScript() { return QUORV_HTML_PAGES_SCRIPT; }

} // namespace

std::string missingHtmlReader(bool chromium) {
    if (!pythonHasModule("html5lib"))
        return "python3-html5lib";
    if (chromium && runProgram({"/bin/sh", "-c", "command -v chromium"}).status != 0)
        return "chromium";
    return std::string();
}

bool readHtmlPages(const std::vector<std::string> &files, bool chromium, std::vector<HtmlPage> &pages,
                   std::string *error) {
    TempDir scratch;
    std::vector<std::string> args = {debianPython(), pagesScript(), chromium ? "chromium" : "parse"};
    if (chromium)
        args.push_back(scratch.path());
    args.insert(args.end(), files.begin(), files.end());
    RunResult run = runProgram(args, "", -1, {"HOME=" + scratch.path()});
    if (run.status != 0) {
        *error = "html_pages.py failed: " + run.err;
        return false;
    }
    if (!parsePages(run.out, pages) || pages.size() != files.size()) {
        *error = "html_pages.py printed what it should not: " + run.out.substr(0, 500);
        return false;
    }
    return true;
}

bool screenshotHtmlPage(const std::string &file, const std::string &png, std::string *error) {
    TempDir scratch;
    RunResult run = runProgram({debianPython(), pagesScript(), "screenshot", scratch.path(), file, png}, "", -1,
                               {"HOME=" + scratch.path()});
    *error = run.err;
    return run.status == 0;
}

bool expectedHtmlTexts(const std::string &tablePath, bool trim, ShownTable &out, std::string *error) {
    ExportSettings settings; // the C locale of the tests: month/day/year
    settings.dateOrder = '0';
    settings.dateSeparator = '/';
    SourceTable table;
    table.path = tablePath;
    if (!openSourceTable(table, settings, error))
        return false;
    auto shown = [&](std::string text) {
        if (trim) {
            text.erase(0, text.find_first_not_of(' ') == std::string::npos ? text.size() : text.find_first_not_of(' '));
            text.erase(text.find_last_not_of(' ') + 1);
        }
        return text.empty() ? std::string("\xC2\xA0") : platform::toUtf8(text, table.ansiCodePage);
    };
    out = ShownTable();
    for (int f = 0; f < table.fieldCount; ++f)
        out.names.push_back(platform::toUtf8(fieldName(table, f), table.ansiCodePage));
    std::string value;
    for (int r = 0; r < table.recordCount; ++r) {
        if (!readRecord(table, r))
            continue;
        std::vector<std::string> record;
        for (int f = 0; f < table.fieldCount; ++f) {
            formatFieldValue(value, table, settings, table.recordBuffer.data(), f);
            record.push_back(shown(value));
        }
        out.records.push_back(std::move(record));
    }
    closeSourceTable(table);
    return true;
}

} // namespace quorv::test
