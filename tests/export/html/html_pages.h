// HTML pages as an independent browser engine reads them (html5lib, or headless Chromium), and the
// texts a table's records should show.
#pragma once

#include <string>
#include <vector>

namespace quorv::test {

struct HtmlCell {
    std::string tag;  // "td" or "th"
    std::string href; // of the link in the cell, empty when none
    std::string text; // UTF-8, as the reader decoded it
};

struct HtmlPage {
    std::string charset, title, bodyText, bodyBackground;
    std::vector<std::string> tags, attributes;
    std::vector<std::vector<std::vector<HtmlCell>>> tables; // table, row, cell
    std::vector<std::pair<std::string, std::string>> links; // outside the tables: href, text
};

// What is missing to read pages ("python3-html5lib", "chromium"), or empty.
std::string missingHtmlReader(bool chromium);
// Reads the page files, in order, with html5lib or (all in one run) with Chromium.
bool readHtmlPages(const std::vector<std::string> &files, bool chromium, std::vector<HtmlPage> &pages,
                   std::string *error);
// A Chromium screenshot of one page.
bool screenshotHtmlPage(const std::string &file, const std::string &png, std::string *error);

// A table's field names and each record's field texts, UTF-8, as a page should show them: `trim` takes
// away blanks at both ends, an empty text shows as a no-break space.
struct ShownTable {
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> records;
};
bool expectedHtmlTexts(const std::string &tablePath, bool trim, ShownTable &out, std::string *error);

} // namespace quorv::test
