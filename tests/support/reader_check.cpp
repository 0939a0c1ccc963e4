#include "support/reader_check.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/codepage.h"
#include "source/format.h"

namespace quorv::test {

std::string makeTable(const std::string &path, std::vector<fixture::FieldSpec> fields,
                      const std::vector<std::vector<fixture::Cell>> &rows, int codePage) {
    fixture::TableSpec layout;
    layout.fields = std::move(fields);
    layout.codePage = codePage;
    std::string error;
    EXPECT_TRUE(fixture::writeTable(path, layout, rows, &error)) << error;
    return path;
}

std::string everyHighByte() {
    std::string s;
    for (int b = 0x80; b <= 0xFF; ++b)
        s.push_back(static_cast<char>(b));
    return s;
}

RunResult runQuorv(const std::string &folder, std::vector<std::string> args, long fileSizeLimit) {
    args.insert(args.begin(), quorvBinary());
    return runProgram(args, folder, fileSizeLimit, {"LC_ALL=C.UTF-8", "TZ=UTC", "XDG_CONFIG_HOME=" + folder});
}

ExportResult exportTable(const std::string &dbPath, const std::string &outPath, OutputType type, const Adjust &adjust,
                         const ProgressCallback &progress) {
    ExportSettings settings;
    settings.outputType = type;
    settings.outputPath = outPath;
    settings.viewAfterExport = false;
    SourceTable source;
    source.path = dbPath;
    std::string error;
    EXPECT_TRUE(openSourceTable(source, settings, &error)) << dbPath << ": " << error;
    if (adjust)
        adjust(settings, source);
    ExportResult result = runExport(source, settings, progress);
    closeSourceTable(source);
    return result;
}

std::string missingTools(const std::vector<std::string> &tools) {
    std::string missing;
    if (debianPython().empty())
        missing += "/usr/bin/python3 ";
    for (const std::string &tool : tools) {
        const bool found = tool.rfind("python3-", 0) == 0
                               ? !debianPython().empty() && pythonHasModule(tool.substr(8))
                               : runProgram({"/bin/sh", "-c", "command -v " + tool}).status == 0;
        if (!found)
            missing += tool + " ";
    }
    return missing.empty() ? missing : "the independent reader is missing: " + missing;
}

std::string missingCorpus() {
    return corpusTables().empty() ? "the real tables are not here: ../shared/testdata/paradox is absent" : "";
}

std::string trimBlanks(std::string text) {
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool sourceCells(const std::string &path, const ExportSettings &settings, const Shown &shown, Cells &out,
                 std::string *error) {
    SourceTable table;
    table.path = path;
    ExportSettings copy = settings;
    if (!openSourceTable(table, copy, error))
        return false;
    const int codePage = table.ansiCodePage;
    out.assign(1, {});
    for (int f = 0; f < table.fieldCount; ++f)
        out[0].push_back(platform::toUtf8(fieldName(table, f), codePage));
    std::string value;
    for (int r = 0; r < table.recordCount; ++r) {
        if (!readRecord(table, r))
            continue;
        out.emplace_back();
        for (int f = 0; f < table.fieldCount; ++f) {
            const uint8_t type = table.fields[static_cast<size_t>(f)].type;
            formatFieldValue(value, table, copy, table.recordBuffer.data(), f);
            out.back().push_back(platform::toUtf8(shown(value, type == PxMemoBlob || type == PxFmtMemoBlob), codePage));
        }
    }
    closeSourceTable(table);
    return true;
}

Cells ReadDocument::texts(size_t table) const {
    Cells cells;
    if (table < tables.size())
        for (const auto &row : tables[table]) {
            cells.emplace_back();
            for (const ReadCell &cell : row)
                cells.back().push_back(cell.text);
        }
    return cells;
}

namespace {

RunResult runReaders(const std::string &mode, const std::vector<std::string> &args) {
    std::vector<std::string> argv = {debianPython(), QUORV_READERS_SCRIPT, mode};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv, "", -1, {"LC_ALL=C.UTF-8"});
}

} // namespace

bool readDocuments(const std::string &mode, const std::vector<std::string> &args, std::vector<ReadDocument> &out,
                   std::string *error) {
    RunResult run = runReaders(mode, args);
    if (run.status != 0) {
        *error = "readers.py " + mode + " failed: " + run.out.substr(0, 500) + run.err;
        return false;
    }
    out.clear();
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);) {
        const std::string key = line.substr(0, line.find(' '));
        const std::vector<std::string> parts =
            splitText(line.size() > key.size() ? line.substr(key.size() + 1) : "", '\t');
        if (key == "FILE") {
            out.emplace_back();
            continue;
        }
        bool ok = !out.empty();
        if (ok && key == "V" && parts.size() == 2)
            out.back().values[parts[0]] = unescapeBackslashes(parts[1]);
        else if (ok && key == "T")
            out.back().tables.emplace_back();
        else if (ok && key == "R" && !out.back().tables.empty())
            out.back().tables.back().emplace_back();
        else if (ok && key == "C" && parts.size() == 2 && !out.back().tables.empty() &&
                 !out.back().tables.back().empty())
            out.back().tables.back().back().push_back({unescapeBackslashes(parts[0]), unescapeBackslashes(parts[1])});
        else {
            *error = "readers.py printed what it should not: " + line;
            return false;
        }
    }
    return true;
}

std::string readerFindings(const std::string &mode, const std::vector<std::string> &args) {
    RunResult run = runReaders(mode, args);
    return run.status == 0 ? std::string() : run.out + run.err;
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
        if (got[r].size() != want[r].size() && ++shown)
            out += "row " + std::to_string(r) + ": " + std::to_string(got[r].size()) + " cells, wanted " +
                   std::to_string(want[r].size()) + "\n";
        for (size_t k = 0; k < std::min(got[r].size(), want[r].size()) && shown < 5; ++k) {
            const std::string &a = got[r][k], &b = want[r][k];
            size_t at = 0;
            while (at < a.size() && at < b.size() && a[at] == b[at])
                ++at;
            if (a != b && ++shown)
                out += "row " + std::to_string(r) + ", cell " + std::to_string(k) + ": got " + around(a, at) +
                       ", wanted " + around(b, at) + "\n";
        }
    }
    return out;
}

} // namespace quorv::test
