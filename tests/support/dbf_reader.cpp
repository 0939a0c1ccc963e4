#include "support/dbf_reader.h"

#include <sstream>

#include "support/test_support.h"

namespace quorv::test {

bool haveDbfread() {
    return pythonHasModule("dbfread");
}

std::string textValue(const std::string &utf8) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "s:";
    for (unsigned char c : utf8) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

bool readDbfTables(const std::vector<std::string> &files, std::map<std::string, DbfTableDump> &tables,
                   std::string *error) {
    std::string python = debianPython();
    if (python.empty()) {
        *error = "python3 is not installed";
        return false;
    }
    std::vector<std::string> argv = {python, QUORV_DBF_DUMP_SCRIPT};
    argv.insert(argv.end(), files.begin(), files.end());
    RunResult r = runProgram(argv);
    if (r.status != 0) {
        *error = r.err;
        return false;
    }
    std::istringstream in(r.out);
    std::string line;
    DbfTableDump *table = nullptr;
    while (std::getline(in, line)) {
        if (line.rfind("TABLE ", 0) == 0) {
            table = &tables[line.substr(6)];
            *table = DbfTableDump{};
        } else if (!table) {
            continue;
        } else if (line.rfind("ERROR ", 0) == 0) {
            table->error = line.substr(6);
        } else if (line.rfind("FIELD ", 0) == 0) {
            std::istringstream f(line.substr(6));
            DbfField field;
            f >> field.type >> field.length >> field.decimals;
            table->fields.push_back(field);
        } else if (line.rfind("ROW ", 0) == 0) {
            table->rows.push_back(splitText(line.substr(4), '|'));
        }
    }
    return true;
}

} // namespace quorv::test
