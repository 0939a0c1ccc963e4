#include "support/csv_reader.h"

#include "support/test_support.h"

namespace quorv::test {

bool readCsvWithPython(const std::string &path, char delimiter, char quote, bool utf8, CsvRows &rows,
                       std::string *error) {
    std::string python = debianPython();
    if (python.empty())
        return false;
    const std::string script = R"(
import csv, sys
path, delim, quote, enc = sys.argv[1], chr(int(sys.argv[2])), int(sys.argv[3]), sys.argv[4]
with open(path, newline='', encoding=enc) as f:
    if quote:
        reader = csv.reader(f, delimiter=delim, quotechar=chr(quote), doublequote=True, strict=True)
    else:
        reader = csv.reader(f, delimiter=delim, quoting=csv.QUOTE_NONE)
    out = '\x1e'.join('\x1f'.join(row) for row in reader)
sys.stdout.buffer.write(out.encode('utf-8' if enc == 'utf-8-sig' else 'latin-1'))
)";
    RunResult r = runProgram({python, "-c", script, path, std::to_string(static_cast<unsigned char>(delimiter)),
                              std::to_string(static_cast<unsigned char>(quote)), utf8 ? "utf-8-sig" : "latin-1"});
    if (r.status != 0) {
        if (error)
            *error = r.err;
        return false;
    }
    rows.clear();
    if (!r.out.empty())
        for (const std::string &line : splitText(r.out, '\x1e'))
            rows.push_back(splitText(line, '\x1f'));
    return true;
}

} // namespace quorv::test
