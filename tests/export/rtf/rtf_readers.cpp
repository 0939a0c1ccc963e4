#include "export/rtf/rtf_readers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "export/excel/excel_readers.h"
#include "platform/codepage.h"
#include "source/format.h"
#include "source/paradox_table.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace quorv::test {

namespace {

std::string fromHex(const std::string &hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string cellText(std::string value, bool memo) {
    if (!memo) {
        const size_t first = value.find_first_not_of(' ');
        value = first == std::string::npos ? std::string() : value.substr(first, value.find_last_not_of(' ') - first + 1);
    }
    for (char &c : value)
        if (c == '\r' || c == '\n')
            c = ' ';
    return value;
}

} // namespace

std::string missingUnrtf() {
    if (runProgram({"sh", "-c", "command -v unrtf >/dev/null"}).status != 0)
        return "unrtf (Debian package unrtf)";
    if (debianPython().empty())
        return "/usr/bin/python3";
    return {};
}

bool readWithUnrtf(const std::vector<std::string> &files, std::map<std::string, Cells> &out, std::string *error) {
    std::vector<std::string> argv = {debianPython(), QUORV_RTF_CELLS_SCRIPT};
    argv.insert(argv.end(), files.begin(), files.end());
    RunResult r = runProgram(argv);
    if (r.status != 0) {
        *error = "rtf_cells.py failed: " + r.err;
        return false;
    }
    std::istringstream lines(r.out);
    std::string line;
    Cells *cells = nullptr;
    while (std::getline(lines, line)) {
        if (line.rfind("FILE ", 0) == 0) {
            cells = &out[line.substr(5)];
        } else if (line.rfind("ERROR ", 0) == 0) {
            *error = line;
            return false;
        } else if (line == "ROW" && cells) {
            cells->emplace_back();
        } else if (line.rfind("CELL ", 0) == 0 && cells && !cells->empty()) {
            cells->back().push_back(fromHex(line.substr(5)));
        }
    }
    return true;
}

Cells unrtfView(Cells cells) {
    for (auto &row : cells)
        for (std::string &text : row) {
            for (size_t at; (at = text.find("  ")) != std::string::npos;)
                text.erase(at, 1);
            // unrtf 0.21 reads the escaped backslash at the end of a text, with the line break that
            // comes next in the document, as the control word \par, which it shows as text.
            if (!text.empty() && text.back() == '\\')
                text += "par ";
        }
    return cells;
}

bool readWithLibreOffice(const std::vector<std::string> &files, const std::string &outDir,
                         std::map<std::string, std::vector<std::string>> &out, std::string *error) {
    if (!libreOfficeConvert(files, "txt:Text (encoded):UTF8", outDir, error))
        return false;
    for (const std::string &file : files) {
        const std::string txt = outDir + "/" + fs::path(file).stem().string() + ".txt";
        if (!fileExists(txt)) {
            *error = "LibreOffice wrote no text for " + file + " (is libreoffice-writer-nogui installed?)";
            return false;
        }
        std::string text = readFile(txt);
        if (text.rfind("\xEF\xBB\xBF", 0) == 0)
            text.erase(0, 3);
        std::vector<std::string> &lines = out[file];
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (!line.empty() || !lines.empty()) // Writer starts the first column name on a line of its own, or not
                lines.push_back(line);
    }
    return true;
}

std::vector<std::string> libreOfficeLines(const Cells &cells) {
    std::vector<std::string> lines;
    for (size_t r = 0; r < cells.size(); ++r) {
        for (size_t k = 0; k < cells[r].size(); ++k) {
            if (r == 0 && k > 0)
                lines.emplace_back();
            std::string shown;
            for (char c : cells[r][k])
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
                    shown.push_back(c);
            lines.push_back(shown);
        }
    }
    return lines;
}

std::string differences(const Cells &got, const Cells &want) {
    std::string out;
    int shown = 0;
    auto around = [](const std::string &text, size_t at) {
        const size_t from = at > 30 ? at - 30 : 0;
        return "\"" + text.substr(from, 80) + "\" (from byte " + std::to_string(from) + " of " +
               std::to_string(text.size()) + ")";
    };
    if (got.size() != want.size())
        out += "rows: " + std::to_string(got.size()) + ", wanted " + std::to_string(want.size()) + "\n";
    for (size_t r = 0; r < std::min(got.size(), want.size()) && shown < 5; ++r) {
        if (got[r].size() != want[r].size()) {
            out += "row " + std::to_string(r) + ": " + std::to_string(got[r].size()) + " cells, wanted " +
                   std::to_string(want[r].size()) + "\n";
            ++shown;
        }
        for (size_t k = 0; k < std::min(got[r].size(), want[r].size()) && shown < 5; ++k) {
            const std::string &a = got[r][k], &b = want[r][k];
            if (a == b)
                continue;
            size_t at = 0;
            while (at < a.size() && at < b.size() && a[at] == b[at])
                ++at;
            out += "row " + std::to_string(r) + ", cell " + std::to_string(k) + ": got " + around(a, at) +
                   ", wanted " + around(b, at) + "\n";
            ++shown;
        }
    }
    return out;
}

Cells expectedCells(const std::string &path, ExportSettings settings) {
    Cells cells;
    SourceTable table;
    table.path = path;
    std::string error;
    if (!openSourceTable(table, settings, &error)) {
        ADD_FAILURE() << path << ": " << error;
        return cells;
    }
    const int codePage = table.ansiCodePage;
    cells.emplace_back();
    for (int f = 0; f < table.fieldCount; ++f)
        cells.back().push_back(platform::toUtf8(cellText(fieldName(table, f), true), codePage));
    std::string value;
    for (int r = 0; r < table.recordCount; ++r) {
        if (!readRecord(table, r))
            continue;
        cells.emplace_back();
        for (int f = 0; f < table.fieldCount; ++f) {
            const uint8_t type = table.fields[static_cast<size_t>(f)].type;
            formatFieldValue(value, table, settings, table.recordBuffer.data(), f);
            cells.back().push_back(
                platform::toUtf8(cellText(value, type == PxMemoBlob || type == PxFmtMemoBlob), codePage));
        }
    }
    closeSourceTable(table);
    return cells;
}

} // namespace quorv::test
