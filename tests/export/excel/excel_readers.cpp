#include "export/excel/excel_readers.h"

#include <filesystem>
#include <sstream>

#include "support/test_support.h"

namespace quorv::test {

namespace fs = std::filesystem;

namespace {

const char *kReadScript = R"PY(
import sys, re, datetime
sys.stdout.reconfigure(encoding='utf-8')
summary = sys.argv[1] == 'summary'
out = sys.stdout
def esc(s):
    return s.replace('\\', '\\\\').replace('\n', '\\n').replace('\r', '\\r').replace('\t', '\\t')
xstring = re.compile(r'_x([0-9A-Fa-f]{4})_')
def unx(s):
    return xstring.sub(lambda m: chr(int(m.group(1), 16)), s)
def rows_to_show(n):
    return set(r for r in (0, 1, n - 1) if 0 <= r < n) if summary else None

def xlsx(path):
    import openpyxl
    book = openpyxl.load_workbook(path, read_only=summary)
    for ws in book.worksheets:
        frozen = '' if summary else (ws.freeze_panes or '')
        n = ws.max_row or 0
        out.write("S\t%s\t%s\t%d\n" % (esc(ws.title), frozen, n))
        if not summary:
            from openpyxl.utils import column_index_from_string
            for letter, dim in sorted(ws.column_dimensions.items()):
                if dim.customWidth and dim.width:
                    for c in range(dim.min or column_index_from_string(letter), (dim.max or column_index_from_string(letter)) + 1):
                        out.write("W\t%d\t%r\n" % (c - 1, float(dim.width)))
        show = rows_to_show(n)
        counts = {}
        for r, row in enumerate(ws.iter_rows()):
            for c, cell in enumerate(row):
                v = cell.value
                if v is None:
                    continue
                if isinstance(v, bool):
                    kind, text = 'b', '1' if v else '0'
                elif isinstance(v, (datetime.datetime, datetime.date)):
                    kind, text = 'd', v.strftime('%Y-%m-%d') if v.year >= 1000 else '%04d-%02d-%02d' % (v.year, v.month, v.day)
                elif isinstance(v, (int, float)):
                    kind, text = 'n', repr(float(v))
                else:
                    kind, text = ('e', v) if cell.data_type == 'e' else ('s', unx(str(v)))
                counts[kind] = counts.get(kind, 0) + 1
                if show is None or r in show:
                    out.write("C\t%d\t%d\t%s\t%s\t%s\n" % (r, c, kind, esc(text), esc(str(cell.number_format))))
        for kind, count in sorted(counts.items()):
            out.write("K\t%s\t%d\n" % (kind, count))

def xls(path):
    import xlrd
    book = xlrd.open_workbook(path, formatting_info=True, ragged_rows=True, logfile=sys.stderr)
    for sh in book.sheets():
        frozen = 'A%d' % (sh.horz_split_pos + 1) if sh.panes_are_frozen and sh.horz_split_pos and not sh.vert_split_pos else ''
        out.write("S\t%s\t%s\t%d\n" % (esc(sh.name), frozen, sh.nrows))
        for c, info in sorted(sh.colinfo_map.items()):
            out.write("W\t%d\t%r\n" % (c, info.width / 256.0))
        show = rows_to_show(sh.nrows)
        counts = {}
        for r in range(sh.nrows):
            for c, cell in enumerate(sh.row(r)):
                t = cell.ctype
                if t in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                fmt = ''
                if t == xlrd.XL_CELL_TEXT:
                    kind, text = 's', cell.value
                elif t == xlrd.XL_CELL_NUMBER:
                    kind, text = 'n', repr(float(cell.value))
                elif t == xlrd.XL_CELL_DATE:
                    try:
                        kind, text = 'd', '%04d-%02d-%02d' % xlrd.xldate_as_tuple(cell.value, book.datemode)[:3]
                    except xlrd.xldate.XLDateError:  # serials before 1 March 1900: the number
                        kind, text = 'd', repr(float(cell.value))
                elif t == xlrd.XL_CELL_BOOLEAN:
                    kind, text = 'b', '1' if cell.value else '0'
                else:
                    kind, text = 'e', xlrd.error_text_from_code.get(cell.value, '?')
                if t in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
                    fmt = str(book.xf_list[cell.xf_index].format_key)
                counts[kind] = counts.get(kind, 0) + 1
                if show is None or r in show:
                    out.write("C\t%d\t%d\t%s\t%s\t%s\n" % (r, c, kind, esc(text), fmt))
        for kind, count in sorted(counts.items()):
            out.write("K\t%s\t%d\n" % (kind, count))

for path in sys.argv[2:]:
    out.write("F\t%s\n" % esc(path))
    (xlsx if path.lower().endswith('.xlsx') else xls)(path)
)PY";


} // namespace

std::string missingExcelReaders() {
    if (debianPython().empty())
        return "python3";
    std::string missing;
    for (const char *module : {"openpyxl", "xlrd"})
        if (!pythonHasModule(module))
            missing += std::string(missing.empty() ? "" : ", ") + "python3-" + module;
    return missing;
}

bool runPython(const std::string &script, const std::vector<std::string> &args, std::string *output,
               std::string *error) {
    const std::string python = debianPython();
    if (python.empty()) {
        *error = "python3 is not installed";
        return false;
    }
    std::vector<std::string> argv = {python, "-c", script};
    argv.insert(argv.end(), args.begin(), args.end());
    RunResult r = runProgram(argv);
    *output = r.out;
    if (r.status != 0) {
        *error = "python failed (" + std::to_string(r.status) + "): " + r.err;
        return false;
    }
    return true;
}

bool readWorkbooks(const std::vector<std::string> &paths, bool summary, std::map<std::string, XlBook> &books,
                   std::string *error) {
    std::vector<std::string> args = {summary ? "summary" : "all"};
    args.insert(args.end(), paths.begin(), paths.end());
    std::string out;
    if (!runPython(kReadScript, args, &out, error))
        return false;
    books.clear();
    XlBook *book = nullptr;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        const auto f = quorv::test::splitText(line, '\t');
        if (f[0] == "F" && f.size() == 2) {
            book = &books[quorv::test::unescapeBackslashes(f[1])];
        } else if (f[0] == "S" && f.size() == 4 && book) {
            XlSheet sheet;
            sheet.name = quorv::test::unescapeBackslashes(f[1]);
            sheet.frozen = f[2];
            sheet.rows = std::stoi(f[3]);
            book->push_back(std::move(sheet));
        } else if (f[0] == "W" && f.size() == 3 && book && !book->empty()) {
            book->back().widths[std::stoi(f[1])] = std::stod(f[2]);
        } else if (f[0] == "C" && f.size() == 6 && book && !book->empty()) {
            book->back().cells[{std::stoi(f[1]), std::stoi(f[2])}] = {f[3][0], quorv::test::unescapeBackslashes(f[4]), quorv::test::unescapeBackslashes(f[5])};
        } else if (f[0] == "K" && f.size() == 3 && book && !book->empty()) {
            book->back().kindCounts[f[1][0]] = std::stol(f[2]);
        } else {
            *error = "unexpected reader output: " + line;
            return false;
        }
    }
    return true;
}

std::string sofficeProgram() {
    for (const char *p : {"/usr/bin/soffice", "/usr/lib/libreoffice/program/soffice"})
        if (fs::exists(p))
            return p;
    return {};
}

bool libreOfficeConvert(const std::vector<std::string> &files, const std::string &filter, const std::string &outDir,
                        std::string *error) {
    const std::string soffice = sofficeProgram();
    if (soffice.empty()) {
        *error = "LibreOffice (libreoffice-calc-nogui) is not installed";
        return false;
    }
    if (files.empty())
        return true; // soffice without a file to convert would start and wait
    TempDir profile;
    std::vector<std::string> argv = {"timeout",       "600",  soffice, "-env:UserInstallation=file://" + profile.path() + "/profile",
                                     "--headless", "--convert-to", filter,  "--outdir",
                                     outDir};
    argv.insert(argv.end(), files.begin(), files.end());
    RunResult r = runProgram(argv);
    if (r.status != 0) {
        *error = "soffice failed (" + std::to_string(r.status) + "): " + r.out + r.err;
        return false;
    }
    return true;
}

bool libreOfficeToCsv(const std::vector<std::string> &files, const std::string &outDir, std::string *error) {
    // UTF-8, comma, double quotes, every sheet into its own file (the last token, -1).
    return libreOfficeConvert(files, "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1",
                              outDir, error);
}

} // namespace quorv::test
