// HTML pages written by the real quorv binary from fixture tables and read back by html5lib and
// headless Chromium: hostile names and values come back as text, pages split and link as they should,
// the fixed literals are exact, and failures leave no page behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "export/driver.h"
#include "export/html/html_pages.h"
#include "export/html/html_text.h"
#include "export/settings.h"
#include "fixture/fixtures.h"
#include "fixture/paradox_builder.h"
#include "platform/codepage.h"
#include "source/paradox_table.h"
#include "support/test_support.h"

using namespace quorv;
using fixture::Cell;
using test::HtmlPage;

namespace fs = std::filesystem;

namespace {

const std::set<std::string> kElements = {"html", "head", "meta", "title", "body", "table", "tbody",
                                         "tr", "th", "td", "b", "a", "br"};
const std::set<std::string> kAttributes = {"charset", "text", "bgcolor", "border", "colspan", "href"};

class HtmlExport : public ::testing::Test {
protected:
    test::RunResult quorv(std::vector<std::string> args, long fileSizeLimit = -1) {
        args.insert(args.begin(), test::quorvBinary());
        return test::runProgram(args, dir.path(), fileSizeLimit, {"TZ=UTC"});
    }
    void table(const std::string &name, std::vector<fixture::FieldSpec> fields,
               const std::vector<std::vector<Cell>> &rows) {
        fixture::TableSpec layout;
        layout.fields = std::move(fields);
        std::string error;
        ASSERT_TRUE(fixture::writeTable(dir.file(name), layout, rows, &error)) << error;
    }
    // A table of n records: Id 1..n and a name.
    void numbered(const std::string &name, int n) {
        std::vector<std::vector<Cell>> rows;
        for (int i = 1; i <= n; ++i)
            rows.push_back({Cell::integer(i), Cell::text("name " + std::to_string(i)), Cell::real(i / 4.0)});
        table(name, {{"Id", fixture::kLong}, {"Name", fixture::kAlpha, 20}, {"Amount", fixture::kNumber}}, rows);
    }
    std::vector<HtmlPage> read(const std::vector<std::string> &names, bool chromium = false) {
        std::vector<std::string> files;
        for (const std::string &name : names)
            files.push_back(dir.file(name));
        std::vector<HtmlPage> pages;
        std::string error;
        EXPECT_TRUE(test::readHtmlPages(files, chromium, pages, &error)) << error;
        return pages;
    }
    std::vector<std::string> htmFiles() {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(dir.path()))
            if (entry.path().extension().string().rfind(".htm", 0) == 0)
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    test::TempDir dir;
};

void expectOnlyOwnMarkup(const HtmlPage &page) {
    for (const std::string &tag : page.tags)
        EXPECT_TRUE(kElements.count(tag)) << "element <" << tag << "> comes from a value";
    for (const std::string &attribute : page.attributes)
        EXPECT_TRUE(kAttributes.count(attribute)) << "attribute " << attribute << " comes from a value";
}

// The text of a cell that shows `value`: a link's text has a blank on each side.
std::string cellText(const std::string &value, const std::string &href) {
    return href.empty() ? value : " " + value + " ";
}

// ---- hostile names and values --------------------------------------------------------------------

struct HostileRow {
    std::string text;
    std::string link;
    std::string href; // the link's target (cp1252 bytes), or empty: the value stays text
};

std::string allHighBytes() {
    std::string s;
    for (int b = 0x80; b <= 0xFF; ++b)
        s.push_back(static_cast<char>(b));
    return s;
}

const std::vector<HostileRow> kHostile = {
    {"& < > \" ' \\ { } ; <script>alert(1)</script>", "bob@example.com", "mailto:bob@example.com"},
    {"line1\r\nline2\rline3\nend", "javascript:alert(1)//www.x.com", ""},
    {allHighBytes(), "  JaVaScRiPt:alert(2)//http://x", ""},
    {"\x01\x07\t\x0B\x0C\x1F\x7F controls", "vbscript:msgbox(1)//www.x", ""},
    {"  padded  ", "data:text/html,<script>alert(3)</script>//ftp.x", ""},
    {"   ", "http://example.com/?a=1&b=<2>\"x", "http://example.com/?a=1&b=<2>\"x"},
    {"", "C:\\data\\file.txt", "C:\\data\\file.txt"},
    {"&amp; &#60; &lt; &nbsp", "WWW.EXAMPLE.COM", ""},
    {"\x81\x8D\x8F\x90\x9D undefined", "x\"onmouseover=\"alert(1)\"@evil.com", "mailto:x\"onmouseover=\"alert(1)\"@evil.com"},
    {"<!-- c --> <![CDATA[x]]> </TD></TR></TABLE>", "https://example.com/a%20b#c", "https://example.com/a%20b#c"},
};

const char kHostileTitle[] = "<i>T</i> & \"quoted\" 'x' \xE9\x81";

std::string hostileMemo() {
    std::string memo;
    while (memo.size() < 32768)
        memo += "<&>\"'\r\n\x81\xE9{};\\ ";
    return memo.substr(0, 32768);
}

TEST_F(HtmlExport, HostileNamesAndValuesComeBackAsTextInEveryReader) {
    if (std::string missing = test::missingHtmlReader(true); !missing.empty())
        GTEST_SKIP() << "the independent reader is missing: " << missing;
    std::vector<std::vector<Cell>> rows;
    for (size_t i = 0; i < kHostile.size(); ++i)
        rows.push_back({Cell::integer(static_cast<int64_t>(i) + 1), kHostile[i].text.empty() ? Cell() : Cell::text(kHostile[i].text),
                        Cell::text(kHostile[i].link), i == 0 ? Cell::text(hostileMemo()) : Cell::text("m&<" + std::to_string(i))});
    table("hostile.db",
          {{"Id", fixture::kLong},
           {"<b>T</b>&\"q\"'\\{};", fixture::kAlpha, 200},
           {"Link <a href=x>", fixture::kAlpha, 120},
           {"Memo\x81\x8D\xE9<script>", fixture::kMemoBlob, 50}},
          rows);
    const std::string title = std::string("/TITLE=") + kHostileTitle;
    ASSERT_EQ(quorv({"hostile.db", "grid.htm", title, "/NUMBER", "/MAXPERPAGE=4"}).status, 0);
    ASSERT_EQ(quorv({"hostile.db", "form.htm", title, "/ASFORM", "/MAXPERPAGE=4"}).status, 0);
    const std::vector<std::string> files = {"grid.htm", "grid1.htm", "grid2.htm", "form.htm", "form1.htm", "form2.htm"};

    test::ShownTable trimmed, whole;
    std::string error;
    ASSERT_TRUE(test::expectedHtmlTexts(dir.file("hostile.db"), true, trimmed, &error)) << error;
    ASSERT_TRUE(test::expectedHtmlTexts(dir.file("hostile.db"), false, whole, &error)) << error;
    ASSERT_EQ(trimmed.records.size(), kHostile.size());
    const std::string titleUtf8 = platform::toUtf8(kHostileTitle, 1252);

    for (bool chromium : {false, true}) {
        SCOPED_TRACE(chromium ? "Chromium" : "html5lib");
        const std::vector<HtmlPage> pages = read(files, chromium);
        ASSERT_EQ(pages.size(), files.size());
        size_t gridRecord = 0, formRecord = 0;
        for (size_t p = 0; p < pages.size(); ++p) {
            const HtmlPage &page = pages[p];
            SCOPED_TRACE(files[p]);
            EXPECT_EQ(page.charset, "windows-1252");
            EXPECT_EQ(page.title, titleUtf8);
            expectOnlyOwnMarkup(page);
            const bool form = p >= 3;
            const test::ShownTable &want = form ? whole : trimmed;
            if (!form) {
                ASSERT_EQ(page.tables.size(), 1u);
                const auto &grid = page.tables[0];
                ASSERT_GE(grid.size(), 2u);
                EXPECT_EQ(grid[0].at(0).text, " " + titleUtf8 + " ");
                ASSERT_EQ(grid[1].size(), want.names.size() + 1);
                EXPECT_EQ(grid[1][0].text, "N");
                for (size_t f = 0; f < want.names.size(); ++f)
                    EXPECT_EQ(grid[1][f + 1].text, want.names[f]);
                for (size_t r = 2; r < grid.size(); ++r, ++gridRecord) {
                    ASSERT_LT(gridRecord, want.records.size());
                    const auto &row = grid[r];
                    ASSERT_EQ(row.size(), want.names.size() + 1);
                    EXPECT_EQ(row[0].text, std::to_string(gridRecord + 1));
                    const std::string href = platform::toUtf8(kHostile[gridRecord].href, 1252);
                    EXPECT_EQ(row[3].href, href) << "record " << gridRecord + 1;
                    for (size_t f = 0; f < want.names.size(); ++f)
                        EXPECT_EQ(row[f + 1].text, cellText(want.records[gridRecord][f], f == 2 ? href : ""))
                            << "record " << gridRecord + 1 << ", field " << f;
                }
            } else {
                for (const auto &record : page.tables) {
                    ASSERT_LT(formRecord, want.records.size());
                    ASSERT_EQ(record.size(), want.names.size());
                    const std::string href = platform::toUtf8(kHostile[formRecord].href, 1252);
                    for (size_t f = 0; f < want.names.size(); ++f) {
                        ASSERT_EQ(record[f].size(), 2u);
                        EXPECT_EQ(record[f][0].text, want.names[f]);
                        EXPECT_EQ(record[f][1].href, f == 2 ? href : "") << "record " << formRecord + 1;
                        EXPECT_EQ(record[f][1].text, cellText(want.records[formRecord][f], f == 2 ? href : ""))
                            << "record " << formRecord + 1 << ", field " << f;
                    }
                    ++formRecord;
                }
            }
        }
        EXPECT_EQ(gridRecord, kHostile.size());
        EXPECT_EQ(formRecord, kHostile.size());
    }
    // Three blanks: no-break space in the table, the blanks themselves in the form.
    EXPECT_EQ(trimmed.records[5][1], "\xC2\xA0");
    EXPECT_EQ(whole.records[5][1], "   ");
}

// ---- pages ---------------------------------------------------------------------------------------

struct PageWant {
    std::string file;
    std::vector<int> ids; // the records the page shows
    std::string ending;   // the page's last bytes
};

std::vector<int> ids(int first, int last, int skip = 0) {
    std::vector<int> out;
    for (int i = first; i <= last; ++i)
        if (i != skip)
            out.push_back(i);
    return out;
}

struct PagingCase {
    const char *name;
    int records;
    std::string output;
    std::vector<std::string> switches;
    std::string filter; // content of f.txt, used with /FILTER:f.txt
    std::vector<PageWant> pages;
};

const std::vector<PagingCase> kPaging = {
    {"120 records at 50 a page", 120, "list.htm", {"/MAXPERPAGE=50"}, "",
     {{"list.htm", ids(1, 50), "</TABLE><br><a href= \"list1.htm\" >Next</a></body></html>"},
      {"list1.htm", ids(51, 100),
       "</TABLE><br><a href= \"list.htm\" >Previous</a>|<a href= \"list2.htm\" >Next</a></body></html>"},
      {"list2.htm", ids(101, 120), "</TABLE><br><a href= \"list1.htm\" >Previous</a></body></html>"}}},
    {"exactly 50 records at 50 a page", 50, "list.htm", {"/MAXPERPAGE=50"}, "",
     {{"list.htm", ids(1, 50), "</TD></TABLE></body></html>"}}},
    {"a filter rejects the record at the break", 120, "list.htm", {"/MAXPERPAGE=50", "/NUMBER"}, "Id:!51\n",
     {{"list.htm", ids(1, 100, 51), "</TABLE><br><a href= \"list1.htm\" >Next</a></body></html>"},
      {"list1.htm", ids(101, 120), "</TABLE><br><a href= \"list.htm\" >Previous</a></body></html>"}}},
    {"forms, .html, upper case switch", 7, "Form.html", {"/asform", "/maxperpage=3"}, "",
     {{"Form.html", ids(1, 3), "</TABLE><BR><br><a href= \"Form1.html\" >Next</a></body></html>"},
      {"Form1.html", ids(4, 6),
       "</TABLE><BR><br><a href= \"Form.html\" >Previous</a>|<a href= \"Form2.html\" >Next</a></body></html>"},
      {"Form2.html", ids(7, 7), "</TABLE><BR><br><a href= \"Form1.html\" >Previous</a></body></html>"}}},
    {"no page number: one page", 5, "list.htm", {"/MAXPERPAGE=0"}, "", {{"list.htm", ids(1, 5), "</TD></TABLE></body></html>"}}},
};

TEST_F(HtmlExport, PagesSplitAndLinkAsTheRecordPositionsSay) {
    if (std::string missing = test::missingHtmlReader(false); !missing.empty())
        GTEST_SKIP() << "the independent reader is missing: " << missing;
    for (const PagingCase &c : kPaging) {
        SCOPED_TRACE(c.name);
        for (const std::string &name : htmFiles())
            fs::remove(dir.file(name));
        numbered("list.db", c.records);
        std::vector<std::string> args = {"list.db", c.output};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        if (!c.filter.empty()) {
            test::writeFile(dir.file("f.txt"), c.filter);
            args.push_back("/FILTER:f.txt");
        }
        test::RunResult run = quorv(args);
        ASSERT_EQ(run.status, 0) << run.err;
        std::vector<std::string> names;
        for (const PageWant &want : c.pages)
            names.push_back(want.file);
        std::vector<std::string> sorted = names;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(htmFiles(), sorted) << "no other page file is made";
        const bool form = std::find(c.switches.begin(), c.switches.end(), "/asform") != c.switches.end();
        const bool numbers = std::find(c.switches.begin(), c.switches.end(), "/NUMBER") != c.switches.end();
        const std::vector<HtmlPage> pages = read(names);
        ASSERT_EQ(pages.size(), c.pages.size());
        for (size_t p = 0; p < pages.size(); ++p) {
            const PageWant &want = c.pages[p];
            SCOPED_TRACE(want.file);
            const std::string bytes = test::readFile(dir.file(want.file));
            EXPECT_EQ(bytes.rfind("<html>\n<head><meta charset=\"windows-1252\"><title></title></head><body ", 0), 0u);
            ASSERT_GE(bytes.size(), want.ending.size());
            EXPECT_EQ(bytes.substr(bytes.size() - want.ending.size()), want.ending);
            std::vector<int> shown;
            if (form) {
                for (const auto &record : pages[p].tables)
                    shown.push_back(std::stoi(record.at(0).at(1).text));
            } else {
                ASSERT_EQ(pages[p].tables.size(), 1u);
                const auto &grid = pages[p].tables[0];
                for (size_t r = 2; r < grid.size(); ++r) {
                    shown.push_back(std::stoi(grid[r].at(numbers ? 1 : 0).text));
                    if (numbers) { // the number counts every record the export visits
                        EXPECT_EQ(grid[r][0].text, grid[r][1].text);
                    }
                }
            }
            EXPECT_EQ(shown, want.ids);
        }
    }
}

// ---- fixed literals ------------------------------------------------------------------------------

struct LiteralCase {
    std::vector<std::string> switches;
    std::vector<std::string> expected; // pieces of the first page, in this order
};

const std::vector<LiteralCase> kLiterals = {
    {{}, {"<body text=\"#000000\" bgcolor=\"#ffffff\">\n<TABLE BORDER><TR> <TH COLSPAN=3 > <B></B> </TH></TR>\n"
          "<TR><TH>Id</TH><TH>Name</TH><TH>Amount</TH></TR>\n<TR><TD>1</TD><TD>name 1</TD><TD>0.25</TD><TR>"}},
    {{"/BORDER=0"}, {"<TABLE BORDER=0><TR>"}},
    {{"/BORDER=3", "/TITLE=Big"}, {"<TABLE BORDER=3><TR> <TH COLSPAN=3 > <B>Big</B> </TH></TR>\n"}},
    {{"/NUMBER"}, {"<TH COLSPAN=4 >", "<TR><TH>N</TH><TH>Id</TH>", "<TR><TD>1</TD><TD>1</TD><TD>name 1</TD>"}},
    {{"/COLOR=ff0000", "/BACKGROUND=ffffff"}, {"<body text=\"#ff0000\" bgcolor=\"#ffffff\">\n"}},
    {{"/COLOR=\"x\"onload=alert(1)"}, {"<body text=\"#&quot;x&quot;onload=alert(1)\" bgcolor=\"#ffffff\">\n"}},
    {{"/BACKGROUND=000080"}, {"<body text=\"#000000\" bgcolor=\"#000080\">\n"}},
    {{"/COLOR=#00ff00", "/BACKGROUND=#000080"}, {"<body text=\"#00ff00\" bgcolor=\"#000080\">\n"}},
    {{"/TITLE=Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC" "5 \xE6\x97\xA5 <?>"}, // typed in UTF-8
     {"<title>Gr\xF6\xDF" "e \x80" "5 &#26085; &lt;?&gt;</title>", "<B>Gr\xF6\xDF" "e \x80" "5 &#26085; &lt;?&gt;</B>"}},
    {{"/TITLE=Caf\xE9"}, {"<title>Caf\xE9</title>"}},
    {{"/ASFORM", "/NUMBER", "/BORDER=0"},
     {"<body text=\"#000000\" bgcolor=\"#ffffff\">\n<TABLE BORDER><TR><TD><B>Id</B></TD><TD>1</TD></TR>"
      "<TR><TD><B>Name</B></TD><TD>name 1</TD></TR><TR><TD><B>Amount</B></TD><TD>0.25</TD></TR></TABLE><BR>"
      "<TABLE BORDER>"}},
};

TEST_F(HtmlExport, CaptionBordersColoursAndNumbersAreTheFixedLiterals) {
    numbered("t.db", 3);
    for (const LiteralCase &c : kLiterals) {
        std::vector<std::string> args = {"t.db", "t.htm"};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        SCOPED_TRACE(testing::PrintToString(c.switches));
        ASSERT_EQ(quorv(args).status, 0);
        const std::string bytes = test::readFile(dir.file("t.htm"));
        size_t at = 0;
        for (const std::string &piece : c.expected) {
            at = bytes.find(piece, at);
            EXPECT_NE(at, std::string::npos) << "missing: " << piece << "\nin: " << bytes;
        }
    }
}

// Colours chosen as RGB values (the wizard's colour buttons) on every page, and page names of a first
// page without an extension.
TEST_F(HtmlExport, RgbColoursOnEveryPageAndNamesWithoutExtension) {
    numbered("t.db", 5);
    ExportSettings settings;
    settings.outputType = OutputType::Html;
    settings.outputPath = dir.file("pages");
    settings.viewAfterExport = false;
    settings.htmlTextColor = 0x0000FF; // red
    settings.htmlBackColor = 0xFFFFFF;
    settings.htmlSplitPages = true;
    settings.htmlRowsPerPage = 2;
    SourceTable table;
    table.path = dir.file("t.db");
    std::string error;
    ASSERT_TRUE(openSourceTable(table, settings, &error)) << error;
    ExportResult result = runExport(table, settings);
    closeSourceTable(table);
    ASSERT_TRUE(result.ok);
    for (const char *page : {"pages", "pages1", "pages2"}) {
        const std::string bytes = test::readFile(dir.file(page));
        EXPECT_NE(bytes.find("<body text=\"#ff0000\" bgcolor=\"#ffffff\">\n"), std::string::npos) << page;
    }
    EXPECT_NE(test::readFile(dir.file("pages1")).find("<a href= \"pages2\" >Next</a>"), std::string::npos);
}

// ---- every switch in a wildcard batch, with a screenshot ----------------------------------------------

TEST_F(HtmlExport, WildcardBatchWithEverySwitchAndAScreenshot) {
    fs::create_directories(dir.file("src"));
    fs::create_directories(dir.file("out"));
    numbered("src/first.db", 12);
    numbered("src/second.db", 3);
    test::RunResult run = quorv({"src/*.db", "out", "/TOhtm", "/TITLE=Colourful pages", "/COLOR=ffff00",
                                 "/BACKGROUND=203080", "/BORDER=4", "/MAXPERPAGE=5", "/NUMBER"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char *page : {"out/first.htm", "out/first1.htm", "out/first2.htm", "out/second.htm"}) {
        const std::string bytes = test::readFile(dir.file(page));
        EXPECT_NE(bytes.find("<title>Colourful pages</title></head><body text=\"#ffff00\" bgcolor=\"#203080\">\n"
                             "<TABLE BORDER=4><TR> <TH COLSPAN=4 > <B>Colourful pages</B>"),
                  std::string::npos)
            << page;
    }
    EXPECT_FALSE(fs::exists(dir.file("out/second1.htm")));
    if (std::string missing = test::missingHtmlReader(true); !missing.empty())
        GTEST_SKIP() << "no screenshot, the reader is missing: " << missing;
    std::string error;
    const std::string png = QUORV_HTML_SCREENSHOT;
    ASSERT_TRUE(test::screenshotHtmlPage(dir.file("out/first1.htm"), png, &error)) << error;
    EXPECT_GT(fs::file_size(png), 1000u);
    std::printf("  screenshot of a paged table: %s\n", png.c_str());
}

// ---- failures ------------------------------------------------------------------------------------

struct FailureCase {
    const char *name;
    std::string output;
    long fileSizeLimit;
    std::string blocker;  // a folder made before the run, in the way of a page file
    std::string message;  // expected in the log and on standard error
};

TEST_F(HtmlExport, FailuresAreReportedAndLeaveNoPageBehind) {
    numbered("t.db", 300);
    const std::vector<FailureCase> cases = {
        {"missing folder", "missing/t.htm", -1, "", "missing/t.htm: No such file or directory"},
        {"full disk", "t.htm", 3000, "", "t.htm: File too large"},
        {"page file cannot be made", "t.htm", -1, "t2.htm", "t2.htm: Is a directory"},
    };
    for (const FailureCase &c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.blocker.empty())
            fs::create_directories(dir.file(c.blocker));
        test::RunResult run = quorv({"t.db", c.output, "/MAXPERPAGE=100", "/LOG:run.log"}, c.fileSizeLimit);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_NE(test::readFile(dir.file("run.log")).find(c.message + "\r\n"), std::string::npos);
        std::vector<std::string> left = htmFiles();
        if (!c.blocker.empty()) {
            EXPECT_TRUE(fs::is_directory(dir.file(c.blocker)));
            left.erase(std::remove(left.begin(), left.end(), c.blocker), left.end());
            fs::remove(dir.file(c.blocker));
        }
        EXPECT_TRUE(left.empty()) << "left behind: " << testing::PrintToString(left);
    }
}

// ---- value rules ---------------------------------------------------------------------------------

TEST(HtmlText, PageNamesLinksAndCharsets) {
    const std::pair<std::string, std::string> names[] = {
        {"list.htm", "list2.htm"}, {"LIST.HTM", "LIST2.HTM"}, {"out.html", "out2.html"},
        {"a.htm.bak", "a2.htm.bak"}, {"data.txt", "data2.txt"}, {"pages", "pages2"}, {".hidden", ".hidden2"}};
    for (const auto &[first, second] : names)
        EXPECT_EQ(htmlPageName(first, 2), second);
    EXPECT_EQ(htmlPageName("list.htm", 0), "list.htm");
    EXPECT_EQ(pageHref("my list #1 100%\xE9.htm"), "my%20list%20%231%20100%25%E9.htm");
    EXPECT_EQ(pageHref("c:d.htm"), "./c:d.htm");

    const std::pair<std::string, std::string> links[] = {
        {"bob@x.org", "mailto:bob@x.org"}, {"www.x.org", "www.x.org"}, {"see http://x", "see http://x"},
        {"https://x", "https://x"}, {"C:\\data", "C:\\data"}, {"ftp.x.org", "ftp.x.org"},
        {"WWW.X.ORG", ""}, {"plain", ""}, {"javascript:a()//www.", ""}, {" \t java\nscript:a()//www.", ""},
        {"VBScript:a//www.", ""}, {"data:x//www.", ""}, {"javascript:a@b", "mailto:javascript:a@b"},
        {"x javascript:a//www.", "x javascript:a//www."}};
    for (const auto &[value, target] : links)
        EXPECT_EQ(linkTarget(value), target) << value;

    EXPECT_EQ(htmlCharsetName(1252), "windows-1252");
    EXPECT_EQ(htmlCharsetName(1251), "windows-1251");
    EXPECT_EQ(htmlCharsetName(platform::kUtf8CodePage), "utf-8");

    std::string out;
    HtmlEscaper(1252).append(out, "a&b<c>d\"e'f\r\n\x81\x80\xE9");
    EXPECT_EQ(out, "a&amp;b&lt;c&gt;d&quot;e'f&#13;\n&#129;\x80\xE9");
}

} // namespace
