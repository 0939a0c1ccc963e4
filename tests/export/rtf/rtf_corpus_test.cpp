// Every real Paradox table converted to RTF by the quorv binary and read back by unrtf: each cell holds
// the name or value of the source. LibreOffice Writer reads a sample of the smaller documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "export/excel/excel_readers.h"
#include "export/rtf/rtf_readers.h"
#include "support/test_support.h"

using namespace quorv;

namespace {

TEST(RtfRealTables, EveryCellHoldsTheSourceValue) {
    const std::vector<std::string> tables = test::corpusTables();
    if (tables.empty())
        GTEST_SKIP() << "the real tables are not here: ../shared/testdata/paradox is absent";
    if (std::string missing = test::missingUnrtf(); !missing.empty())
        GTEST_SKIP() << "the independent reader is missing: " << missing;
    test::TempDir dir;
    ExportSettings settings; // the C locale of the tests: month/day/year
    settings.dateOrder = '0';
    settings.dateSeparator = '/';

    std::vector<std::string> outputs, sample;
    std::vector<test::Cells> wanted;
    for (size_t t = 0; t < tables.size(); ++t) {
        const std::string out = dir.file(std::to_string(t) + ".rtf");
        test::RunResult run = test::runProgram({test::quorvBinary(), test::corpusPath(tables[t]), out});
        if (!test::fileExists(out)) {
            std::printf("  not converted: %s (exit %d): %s", tables[t].c_str(), run.status, run.err.c_str());
            continue;
        }
        outputs.push_back(out);
        wanted.push_back(test::expectedCells(test::corpusPath(tables[t]), settings));
        if (std::filesystem::file_size(out) < 500'000 && sample.size() < 8)
            sample.push_back(out);
    }
    ASSERT_FALSE(outputs.empty());

    std::map<std::string, test::Cells> read;
    std::string error;
    ASSERT_TRUE(test::readWithUnrtf(outputs, read, &error)) << error;
    size_t cells = 0;
    for (size_t i = 0; i < outputs.size(); ++i) {
        SCOPED_TRACE(outputs[i]);
        const test::Cells &got = read[outputs[i]];
        EXPECT_EQ(test::differences(got, test::unrtfView(wanted[i])), "");
        for (const auto &row : got)
            cells += row.size();
    }
    std::printf("  %zu documents, %zu cells read back by unrtf\n", outputs.size(), cells);

    if (test::sofficeProgram().empty())
        GTEST_SKIP() << "LibreOffice (libreoffice-writer-nogui) is not installed: its check is left out";
    std::map<std::string, std::vector<std::string>> lines;
    ASSERT_TRUE(test::readWithLibreOffice(sample, dir.path(), lines, &error)) << error;
    for (const std::string &file : sample) {
        const size_t i = static_cast<size_t>(std::find(outputs.begin(), outputs.end(), file) - outputs.begin());
        std::vector<std::string> got = lines[file];
        const std::vector<std::string> want = test::libreOfficeLines(wanted[i]);
        while (got.size() > want.size() && got.back().empty())
            got.pop_back();
        EXPECT_EQ(test::differences({got}, {want}), "") << "LibreOffice, " << file;
    }
    std::printf("  %zu documents read back by LibreOffice\n", sample.size());
}

} // namespace
