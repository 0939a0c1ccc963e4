// HTML pages written by the quorv binary from fixture tables and the real ones, read back by html5lib
// and headless Chromium: hostile names and values come back as text, pages split and link as they
// should, the fixed literals are exact, and failures leave no page behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "export/html/html_text.h"
#include "platform/codepage.h"
#include "support/reader_check.h"

using namespace quorv;
using fixture::Cell;
using test::Cells;

namespace fs = std::filesystem;

namespace {

using PageTable = std::vector<std::vector<test::ReadCell>>;

std::vector<test::ReadDocument> readPages(const std::vector<std::string> &files, bool chromium = false) {
    std::vector<test::ReadDocument> pages;
    std::string error;
    EXPECT_TRUE(test::readDocuments(chromium ? "chromium" : "html", files, pages, &error)) << error;
    return pages;
}

// The texts of a table's cells, a link's text without the blank it has on each side; the links in links.
Cells shownCells(const PageTable &table, Cells *links = nullptr) {
    Cells texts;
    for (const auto &row : table) {
        texts.emplace_back();
        if (links)
            links->emplace_back();
        for (const test::ReadCell &cell : row) {
            const std::string &t = cell.text;
            const bool blanks = t.size() >= 2 && t.front() == ' ' && t.back() == ' ';
            texts.back().push_back(cell.link.empty() ? t : blanks ? t.substr(1, t.size() - 2) : "no blanks: " + t);
            if (links)
                links->back().push_back(cell.link);
        }
    }
    return texts;
}

// The names and records of a table as a page shows them: `trim` takes away blanks at both ends, an
// empty text shows as a no-break space.
bool shownTexts(const std::string &path, bool trim, Cells &cells, std::string *error) {
    ExportSettings settings; // the C locale of the tests: month/day/year
    settings.dateOrder = '0';
    settings.dateSeparator = '/';
    if (!test::sourceCells(path, settings, [&](std::string v, bool) { return trim ? test::trimBlanks(v) : v; },
                           cells, error))
        return false;
    for (size_t r = 1; r < cells.size(); ++r)
        for (std::string &text : cells[r])
            text = text.empty() ? "\xC2\xA0" : text;
    return true;
}

class HtmlExport : public ::testing::Test {
protected:
    test::RunResult quorv(const std::vector<std::string> &args, long fileSizeLimit = -1) {
        return test::runQuorv(dir.path(), args, fileSizeLimit);
    }
    // A table of n records: Id 1..n, a name and an amount.
    void numbered(const std::string &name, int n) {
        std::vector<std::vector<Cell>> rows;
        for (int i = 1; i <= n; ++i)
            rows.push_back({Cell::integer(i), Cell::text("name " + std::to_string(i)), Cell::real(i / 4.0)});
        test::makeTable(dir.file(name),
                        {{"Id", fixture::kLong}, {"Name", fixture::kAlpha, 20}, {"Amount", fixture::kNumber}}, rows);
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

// ---- hostile names and values --------------------------------------------------------------------

struct HostileRow {
    std::string text, link;
    std::string href; // the link's target (cp1252 bytes), or empty: the value stays text
};

const std::vector<HostileRow> kHostile = {
    {"& < > \" ' \\ { } ; <script>alert(1)</script>", "bob@example.com", "mailto:bob@example.com"},
    {"line1\r\nline2\rline3\nend", "javascript:alert(1)//www.x.com", ""},
    {test::everyHighByte(), "  JaVaScRiPt:alert(2)//http://x", ""},
    {"\x01\x07\t\x0B\x0C\x1F\x7F controls", "vbscript:msgbox(1)//www.x", ""},
    {"  padded  ", "data:text/html,<script>alert(3)</script>//ftp.x", ""},
    {"   ", "http://example.com/?a=1&b=<2>\"x", "http://example.com/?a=1&b=<2>\"x"},
    {"", "C:\\data\\file.txt", "C:\\data\\file.txt"},
    {"&amp; &#60; &lt; &nbsp", "WWW.EXAMPLE.COM", ""},
    {"\x81\x8D\x8F\x90\x9D undefined", "x\"onmouseover=\"alert(1)\"@evil.com",
     "mailto:x\"onmouseover=\"alert(1)\"@evil.com"},
    {"<!-- c --> <![CDATA[x]]> </TD></TR></TABLE>", "https://example.com/a%20b#c", "https://example.com/a%20b#c"},
};

TEST_F(HtmlExport, HostileNamesAndValuesComeBackAsTextInEveryReader) {
    QUORV_SKIP_UNLESS_EMPTY(test::missingTools({"python3-html5lib", "chromium"}));
    std::string memo;
    while (memo.size() < 32768)
        memo += "<&>\"'\r\n\x81\xE9{};\\ ";
    std::vector<std::vector<Cell>> rows;
    for (size_t i = 0; i < kHostile.size(); ++i)
        rows.push_back({Cell::integer(static_cast<int64_t>(i) + 1),
                        kHostile[i].text.empty() ? Cell() : Cell::text(kHostile[i].text), Cell::text(kHostile[i].link),
                        Cell::text(i == 0 ? memo.substr(0, 32768) : "m&<" + std::to_string(i))});
    test::makeTable(dir.file("hostile.db"),
                    {{"Id", fixture::kLong}, {"<b>T</b>&\"q\"'\\{};", fixture::kAlpha, 200},
                     {"Link <a href=x>", fixture::kAlpha, 120}, {"Memo\x81\x8D\xE9<script>", fixture::kMemoBlob, 50}},
                    rows);
    const char title[] = "<i>T</i> & \"quoted\" 'x' \xE9\x81";
    ASSERT_EQ(quorv({"hostile.db", "grid.htm", std::string("/TITLE=") + title, "/NUMBER", "/MAXPERPAGE=4"}).status, 0);
    ASSERT_EQ(quorv({"hostile.db", "form.htm", std::string("/TITLE=") + title, "/ASFORM", "/MAXPERPAGE=4"}).status, 0);
    std::vector<std::string> files;
    for (const char *name : {"grid.htm", "grid1.htm", "grid2.htm", "form.htm", "form1.htm", "form2.htm"})
        files.push_back(dir.file(name));

    Cells trimmed, whole, gridWant, gridLinks, formNames, formLinks;
    std::string error;
    ASSERT_TRUE(shownTexts(dir.file("hostile.db"), true, trimmed, &error)) << error;
    ASSERT_TRUE(shownTexts(dir.file("hostile.db"), false, whole, &error)) << error;
    ASSERT_EQ(trimmed.size(), kHostile.size() + 1);
    // Three blanks: no-break space in the table, the blanks themselves in the form.
    EXPECT_EQ(trimmed[6][1], "\xC2\xA0");
    EXPECT_EQ(whole[6][1], "   ");
    for (size_t r = 0; r < kHostile.size(); ++r) {
        const std::string href = platform::toUtf8(kHostile[r].href, 1252);
        gridWant.push_back(trimmed[r + 1]);
        gridWant.back().insert(gridWant.back().begin(), std::to_string(r + 1));
        gridLinks.push_back({"", "", "", href, ""});
        formNames.push_back(trimmed[0]);
        formLinks.push_back({"", "", href, ""});
    }
    const Cells formWant(whole.begin() + 1, whole.end());
    const std::string titleUtf8 = platform::toUtf8(title, 1252);
    const std::set<std::string> ownTags = {"html",  "head", "meta", "title", "body", "table", "tbody",
                                           "tr",    "th",   "td",   "b",     "a",    "br"};
    const std::set<std::string> ownAttributes = {"charset", "text", "bgcolor", "border", "colspan", "href"};

    for (bool chromium : {false, true}) {
        SCOPED_TRACE(chromium ? "Chromium" : "html5lib");
        const std::vector<test::ReadDocument> pages = readPages(files, chromium);
        ASSERT_EQ(pages.size(), files.size());
        Cells grid, links, formValues, formNamesGot, formLinksGot;
        for (size_t p = 0; p < pages.size(); ++p) {
            SCOPED_TRACE(files[p]);
            const test::ReadDocument &page = pages[p];
            EXPECT_EQ(page.values.at("charset"), "windows-1252");
            EXPECT_EQ(page.values.at("title"), titleUtf8);
            for (const std::string &tag : test::splitText(page.values.at("tags"), ' '))
                EXPECT_TRUE(ownTags.count(tag)) << "element <" << tag << "> comes from a value";
            for (const std::string &attribute : test::splitText(page.values.at("attributes"), ' '))
                EXPECT_TRUE(ownAttributes.count(attribute)) << "attribute " << attribute << " comes from a value";
            if (p < 3) {
                ASSERT_EQ(page.tables.size(), 1u);
                const Cells rows = shownCells(page.tables[0], &links);
                ASSERT_GE(rows.size(), 2u);
                EXPECT_EQ(rows[0], (std::vector<std::string>{" " + titleUtf8 + " "}));
                std::vector<std::string> header = trimmed[0];
                header.insert(header.begin(), "N");
                EXPECT_EQ(rows[1], header);
                grid.insert(grid.end(), rows.begin() + 2, rows.end());
                const auto captionAndNames = links.end() - static_cast<long>(rows.size());
                links.erase(captionAndNames, captionAndNames + 2);
                continue;
            }
            for (const PageTable &record : page.tables) { // one table per record: name, value
                Cells recordLinks;
                const Cells pairs = shownCells(record, &recordLinks);
                formNamesGot.emplace_back();
                formValues.emplace_back();
                formLinksGot.emplace_back();
                for (size_t f = 0; f < pairs.size(); ++f) {
                    ASSERT_EQ(pairs[f].size(), 2u);
                    formNamesGot.back().push_back(pairs[f][0]);
                    formValues.back().push_back(pairs[f][1]);
                    formLinksGot.back().push_back(recordLinks[f][1]);
                }
            }
        }
        EXPECT_EQ(test::differences(grid, gridWant), "");
        EXPECT_EQ(links, gridLinks);
        EXPECT_EQ(test::differences(formValues, formWant), "");
        EXPECT_EQ(formNamesGot, formNames);
        EXPECT_EQ(formLinksGot, formLinks);
    }
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
    {"forms, upper case switch", 7, "Form.htm", {"/asform", "/maxperpage=3"}, "",
     {{"Form.htm", ids(1, 3), "</TABLE><BR><br><a href= \"Form1.htm\" >Next</a></body></html>"},
      {"Form1.htm", ids(4, 6),
       "</TABLE><BR><br><a href= \"Form.htm\" >Previous</a>|<a href= \"Form2.htm\" >Next</a></body></html>"},
      {"Form2.htm", ids(7, 7), "</TABLE><BR><br><a href= \"Form1.htm\" >Previous</a></body></html>"}}},
    {"no page number: one page", 5, "list.htm", {"/MAXPERPAGE=0"}, "",
     {{"list.htm", ids(1, 5), "</TD></TABLE></body></html>"}}},
};

TEST_F(HtmlExport, PagesSplitAndLinkAsTheRecordPositionsSay) {
    QUORV_SKIP_UNLESS_EMPTY(test::missingTools({"python3-html5lib"}));
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
        std::vector<std::string> names, files;
        for (const PageWant &want : c.pages) {
            names.push_back(want.file);
            files.push_back(dir.file(want.file));
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(htmFiles(), names) << "no other page file is made";
        const bool form = c.switches[0] == "/asform", numbers = c.switches.back() == "/NUMBER";
        const std::vector<test::ReadDocument> pages = readPages(files);
        ASSERT_EQ(pages.size(), c.pages.size());
        for (size_t p = 0; p < pages.size(); ++p) {
            const PageWant &want = c.pages[p];
            SCOPED_TRACE(want.file);
            const std::string bytes = test::readFile(files[p]);
            EXPECT_EQ(bytes.rfind("<html>\n<head><meta charset=\"windows-1252\"><title></title></head><body ", 0), 0u);
            ASSERT_GE(bytes.size(), want.ending.size());
            EXPECT_EQ(bytes.substr(bytes.size() - want.ending.size()), want.ending);
            std::vector<int> shown;
            for (size_t t = 0; t < pages[p].tables.size(); ++t) {
                const Cells rows = shownCells(pages[p].tables[t]);
                for (size_t r = form ? 0 : 2; r < rows.size() && (r == 0 || !form); ++r) {
                    shown.push_back(std::stoi(rows[r].at(form || numbers ? 1 : 0)));
                    if (numbers) { // the number counts every record the export visits
                        EXPECT_EQ(rows[r][0], rows[r][1]);
                    }
                }
            }
            EXPECT_EQ(shown, want.ids);
        }
    }
}

// ---- fixed literals ------------------------------------------------------------------------------

// A title, a border width and both colours given together are checked on every page of the batch below.

TEST_F(HtmlExport, CaptionBordersColoursAndNumbersAreTheFixedLiterals) {
    const struct {
        std::vector<std::string> switches;
        std::vector<std::string> expected; // pieces of the first page, in this order
    } cases[] = {
        {{}, {"<body text=\"#000000\" bgcolor=\"#ffffff\">\n<TABLE BORDER><TR> <TH COLSPAN=3 > <B></B> </TH></TR>\n"
              "<TR><TH>Id</TH><TH>Name</TH><TH>Amount</TH></TR>\n<TR><TD>1</TD><TD>name 1</TD><TD>0.25</TD><TR>"}},
        {{"/BORDER=0"}, {"<TABLE BORDER=0><TR>"}},
        {{"/NUMBER"}, {"<TH COLSPAN=4 >", "<TR><TH>N</TH><TH>Id</TH>", "<TR><TD>1</TD><TD>1</TD><TD>name 1</TD>"}},
        {{"/COLOR=\"x\"onload=alert(1)"}, {"<body text=\"#&quot;x&quot;onload=alert(1)\" bgcolor=\"#ffffff\">\n"}},
        {{"/TITLE=Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC" "5 \xE6\x97\xA5 <?>"}, // typed in UTF-8
         {"<title>Gr\xF6\xDF" "e \x80" "5 &#26085; &lt;?&gt;</title>",
          "<B>Gr\xF6\xDF" "e \x80" "5 &#26085; &lt;?&gt;</B>"}},
        {{"/TITLE=Caf\xE9"}, {"<title>Caf\xE9</title>"}},
        {{"/ASFORM", "/NUMBER", "/BORDER=0"},
         {"<body text=\"#000000\" bgcolor=\"#ffffff\">\n<TABLE BORDER><TR><TD><B>Id</B></TD><TD>1</TD></TR>"
          "<TR><TD><B>Name</B></TD><TD>name 1</TD></TR><TR><TD><B>Amount</B></TD><TD>0.25</TD></TR></TABLE><BR>"
          "<TABLE BORDER>"}},
    };
    numbered("t.db", 3);
    for (const auto &c : cases) {
        std::vector<std::string> args = {"t.db", "t.htm"};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        SCOPED_TRACE(testing::PrintToString(c.switches));
        ASSERT_EQ(quorv(args).status, 0);
        const std::string bytes = test::readFile(dir.file("t.htm"));
        size_t at = 0;
        for (const std::string &piece : c.expected)
            EXPECT_NE(at = bytes.find(piece, at), std::string::npos) << "missing: " << piece << "\nin: " << bytes;
    }
}

TEST_F(HtmlExport, WildcardBatchWithEverySwitch) {
    fs::create_directories(dir.file("src"));
    fs::create_directories(dir.file("out"));
    numbered("src/first.db", 12);
    numbered("src/second.db", 3);
    test::RunResult run = quorv({"src/*.db", "out", "/TOhtm", "/TITLE=Colourful pages", "/COLOR=ffff00",
                                 "/BACKGROUND=203080", "/BORDER=4", "/MAXPERPAGE=5", "/NUMBER"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char *page : {"out/first.htm", "out/first1.htm", "out/first2.htm", "out/second.htm"})
        EXPECT_NE(test::readFile(dir.file(page))
                      .find("<title>Colourful pages</title></head><body text=\"#ffff00\" bgcolor=\"#203080\">\n"
                            "<TABLE BORDER=4><TR> <TH COLSPAN=4 > <B>Colourful pages</B>"),
                  std::string::npos)
            << page;
    EXPECT_FALSE(fs::exists(dir.file("out/second1.htm")));
}

// The failures of the page files this writer opens itself; a missing folder for the first file is the
// driver's, checked in tests/app/command_line_test.cpp.
TEST_F(HtmlExport, FailuresAreReportedAndLeaveNoPageBehind) {
    numbered("t.db", 300);
    const struct {
        const char *name;
        std::string output;
        long fileSizeLimit;
        std::string blocker; // a folder made before the run, in the way of a page file
        std::string message; // expected in the log and on standard error
    } cases[] = {
        {"full disk", "t.htm", 3000, "", "t.htm: File too large"},
        {"page file cannot be made", "t.htm", -1, "t2.htm", "t2.htm: Is a directory"},
    };
    for (const auto &c : cases) {
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

// Page names, page links and link targets the hostile table above does not hold; the escaping of values,
// the other link targets and a code page's charset are checked there by both readers.
TEST(HtmlText, PageNamesLinksAndCharsets) {
    const std::pair<std::string, std::string> names[] = {
        {"LIST.HTM", "LIST2.HTM"}, {"out.html", "out2.html"}, {"a.htm.bak", "a2.htm.bak"}, {"data.txt", "data2.txt"},
        {".hidden", ".hidden2"}};
    for (const auto &[first, second] : names)
        EXPECT_EQ(htmlPageName(first, 2), second);
    EXPECT_EQ(pageHref("my list #1 100%\xE9.htm"), "my%20list%20%231%20100%25%E9.htm");
    EXPECT_EQ(pageHref("c:d.htm"), "./c:d.htm");
    const std::pair<std::string, std::string> links[] = {
        {"www.x.org", "www.x.org"}, {"see http://x", "see http://x"}, {"ftp.x.org", "ftp.x.org"}, {"plain", ""},
        {" \t java\nscript:a()//www.", ""}, {"javascript:a@b", "mailto:javascript:a@b"},
        {"x javascript:a//www.", "x javascript:a//www."}};
    for (const auto &[value, target] : links)
        EXPECT_EQ(linkTarget(value), target) << value;
    EXPECT_EQ(htmlCharsetName(platform::kUtf8CodePage), "utf-8");
}

// Every real table converted by the quorv binary and read back by html5lib: each page holds the
// table's field names and every record's values, as the table stores them.
TEST(HtmlRealTables, EveryValueReadsBackAsStored) {
    QUORV_SKIP_UNLESS_EMPTY(test::missingCorpus());
    QUORV_SKIP_UNLESS_EMPTY(test::missingTools({"python3-html5lib"}));
    test::TempDir dir;
    std::vector<std::string> outputs;
    std::vector<Cells> wanted;
    for (const std::string &table : test::corpusTables()) {
        Cells want;
        std::string error;
        if (!shownTexts(test::corpusPath(table), true, want, &error)) {
            std::printf("  not converted (does not open): %s: %s\n", table.c_str(), error.c_str());
            continue;
        }
        outputs.push_back(dir.file(std::to_string(outputs.size()) + ".htm"));
        test::RunResult run = test::runQuorv(dir.path(), {test::corpusPath(table), outputs.back()});
        EXPECT_EQ(run.status, 0) << table << ": " << run.err;
        wanted.push_back(std::move(want));
    }
    const std::vector<test::ReadDocument> pages = readPages(outputs);
    ASSERT_EQ(pages.size(), outputs.size());
    size_t values = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        ASSERT_EQ(pages[i].tables.size(), 1u) << outputs[i];
        Cells grid = shownCells(pages[i].tables[0]);
        if (!grid.empty())
            grid.erase(grid.begin()); // the caption
        EXPECT_EQ(test::differences(grid, wanted[i]), "") << outputs[i];
        values += (wanted[i].size() - 1) * wanted[i][0].size();
    }
    std::printf("  %zu tables, %zu values checked\n", pages.size(), values);
}

} // namespace
