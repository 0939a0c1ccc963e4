#include "xml_test_support.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace quorv::test {

namespace {

void appendJsonString(std::string &out, const std::string &utf8) {
    out.push_back('"');
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    out.push_back('"');
}

void appendJsonList(std::string &out, const std::vector<std::string> &values, const std::vector<bool> *present = nullptr) {
    out.push_back('[');
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            out.push_back(',');
        if (present && i < present->size() && !(*present)[i])
            out += "null";
        else
            appendJsonString(out, values[i]);
    }
    out.push_back(']');
}

std::string json(const ExpectedDocument &d) {
    std::string out = "{\"encoding\":";
    appendJsonString(out, d.encoding);
    out += ",\"names\":";
    appendJsonList(out, d.names);
    if (!d.tags.empty()) {
        out += ",\"tags\":";
        appendJsonList(out, d.tags);
    }
    out += ",\"records\":[";
    for (size_t r = 0; r < d.records.size(); ++r) {
        if (r > 0)
            out.push_back(',');
        if (d.kind == "rss") {
            // title, link, description: null where the position is left out
            std::vector<std::string> item;
            for (size_t i = 0, v = 0; i < 3; ++i)
                item.push_back(d.present[i] && v < d.records[r].size() ? d.records[r][v++] : std::string());
            appendJsonList(out, item, &d.present);
        } else {
            appendJsonList(out, d.records[r]);
        }
    }
    out += "]}";
    return out;
}

} // namespace

std::string makeTable(const std::string &path, std::vector<fixture::FieldSpec> fields,
                      const std::vector<std::vector<fixture::Cell>> &rows, int codePage) {
    fixture::TableSpec layout;
    layout.fields = std::move(fields);
    layout.codePage = codePage;
    std::string error;
    EXPECT_TRUE(fixture::writeTable(path, layout, rows, &error)) << error;
    return path;
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

std::string missingXmlReaders() {
    std::string missing;
    if (runProgram({"/bin/sh", "-c", "command -v xmllint"}).status != 0)
        missing += "xmllint (libxml2-utils) ";
    for (const char *module : {"lxml", "feedparser"})
        if (!pythonHasModule(module))
            missing += std::string("python3-") + module + " ";
    return missing;
}

std::string readBack(const std::vector<ExpectedDocument> &documents, const std::string &folder) {
    std::string report;
    std::vector<std::string> check = {debianPython(), QUORV_XML_CHECK_SCRIPT};
    int n = 0;
    for (const ExpectedDocument &d : documents) {
        RunResult lint = runProgram({"xmllint", "--noout", d.file});
        if (lint.status != 0)
            report += d.file + ": xmllint: " + lint.err + "\n";
        std::string expected = folder + "/expected_" + std::to_string(n++) + ".json";
        writeFile(expected, json(d));
        check.insert(check.end(), {d.kind, d.file, expected});
    }
    RunResult r = runProgram(check);
    if (r.status != 0)
        report += r.out + r.err;
    return report;
}

} // namespace quorv::test
