#include "xls_test_support.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace quorv::xls::test {

namespace fs = std::filesystem;


std::string shellQuote(const std::string &s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

int runCommand(const std::string &command, std::string *output, std::string *errors) {
    quorv::test::RunResult run = quorv::test::runProgram({"/bin/sh", "-c", command});
    if (output)
        *output = run.out;
    if (errors)
        *errors = run.err;
    return run.status;
}

std::string xlrdPython() {
    for (const char *py : {"/usr/bin/python3"}) {
        std::string out;
        if (fs::exists(py) && runCommand(std::string(py) + " -c 'import xlrd'", &out) == 0)
            return py;
    }
    return {};
}

std::string sofficeProgram() {
    for (const char *p : {"/usr/bin/soffice", "/usr/lib/libreoffice/program/soffice"})
        if (fs::exists(p))
            return p;
    return {};
}

namespace {

const char *kXlrdScript = R"PY(
import sys, xlrd
sys.stdout.reconfigure(encoding='utf-8')
book = xlrd.open_workbook(sys.argv[1], formatting_info=True, ragged_rows=True, logfile=sys.stderr)
mode = sys.argv[2]
out = sys.stdout
def esc(s):
    return s.replace('\\', '\\\\').replace('\n', '\\n').replace('\r', '\\r').replace('\t', '\\t')
def value(cell):
    if cell.ctype == xlrd.XL_CELL_TEXT:
        return esc(cell.value)
    if cell.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
        return repr(float(cell.value))
    return str(int(cell.value))
for sh in book.sheets():
    out.write("S\t%s\t%d\t%d\t%d\t%d\n" % (esc(sh.name), sh.nrows, sh.ncols, sh.horz_split_pos,
                                          1 if sh.panes_are_frozen else 0))
    for c, info in sorted(sh.colinfo_map.items()):
        out.write("W\t%d\t%d\n" % (c, info.width))
    if mode == 'all':
        rows = range(sh.nrows)
    else:
        rows = sorted(set(r for r in (0, 1, sh.nrows - 1) if 0 <= r < sh.nrows))
    for r in rows:
        for c, cell in enumerate(sh.row(r)):
            if cell.ctype != xlrd.XL_CELL_EMPTY:
                out.write("C\t%d\t%d\t%d\t%s\n" % (r, c, cell.ctype, value(cell)))
    if mode == 'summary':
        totals = {}
        for r in range(sh.nrows):
            for cell in sh.row(r):
                t = totals.setdefault(cell.ctype, [0, 0.0])
                t[0] += 1
                t[1] += len(cell.value) if cell.ctype == xlrd.XL_CELL_TEXT else float(cell.value or 0)
        for ctype, (count, total) in sorted(totals.items()):
            out.write("T\t%d\t%d\t%r\n" % (ctype, count, total))
)PY";


} // namespace

bool xlrdRead(const std::string &file, const std::string &mode, std::vector<XlrdSheet> *sheets,
              std::string *error) {
    const std::string py = xlrdPython();
    if (py.empty()) {
        *error = "xlrd is not installed";
        return false;
    }
    TempDir tmp;
    const std::string script = tmp.file("dump.py");
    std::ofstream(script) << kXlrdScript;
    std::string out, err;
    int rc = runCommand(py + " " + shellQuote(script) + " " + shellQuote(file) + " " + mode, &out, &err);
    if (rc != 0) {
        *error = "xlrd failed: " + err;
        return false;
    }
    sheets->clear();
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        auto f = quorv::test::splitText(line, '\t');
        if (f[0] == "S" && f.size() == 6) {
            XlrdSheet s;
            s.name = quorv::test::unescapeBackslashes(f[1]);
            s.nrows = std::stoi(f[2]);
            s.ncols = std::stoi(f[3]);
            s.horzSplitPos = std::stoi(f[4]);
            s.panesFrozen = f[5] == "1";
            sheets->push_back(std::move(s));
        } else if (f[0] == "W" && f.size() == 3 && !sheets->empty()) {
            sheets->back().widths[std::stoi(f[1])] = std::stoi(f[2]);
        } else if (f[0] == "C" && f.size() == 5 && !sheets->empty()) {
            sheets->back().cells[{std::stoi(f[1]), std::stoi(f[2])}] = {std::stoi(f[3]), quorv::test::unescapeBackslashes(f[4])};
        } else if (f[0] == "T" && f.size() == 4 && !sheets->empty()) {
            sheets->back().totals[std::stoi(f[1])] = {std::stol(f[2]), std::stod(f[3])};
        } else {
            *error = "unexpected xlrd output: " + line;
            return false;
        }
    }
    if (!err.empty() && err.find("WARNING") != std::string::npos) {
        *error = "xlrd warned: " + err;
        return false;
    }
    return true;
}

bool sofficeConvert(const std::string &file, const std::string &target, const std::string &extension,
                    const std::string &outDir, std::string *outPath, std::string *error) {
    const std::string soffice = sofficeProgram();
    if (soffice.empty()) {
        *error = "LibreOffice is not installed";
        return false;
    }
    TempDir profile;
    std::string out, err;
    const std::string cmd = "timeout 300 " + soffice + " -env:UserInstallation=file://" +
                            profile.path() + "/profile --headless --convert-to " +
                            shellQuote(target) + " --outdir " + shellQuote(outDir) + " " + shellQuote(file);
    int rc = runCommand(cmd, &out, &err);
    *outPath = (fs::path(outDir) / fs::path(file).stem()).string() + "." + extension;
    if (rc != 0 || !fs::exists(*outPath)) {
        *error = "soffice failed (" + std::to_string(rc) + "): " + out + err;
        return false;
    }
    return true;
}

} // namespace quorv::xls::test
