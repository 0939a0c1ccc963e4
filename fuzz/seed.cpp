// quorv-fuzzseed: makes seed inputs from tables.
//   quorv-fuzzseed pack TABLE.db OUT   the table and its .mb in the layout of the table and export targets
//   quorv-fuzzseed blob TABLE.db OUT   the table's blob pointers and its .mb, for the blob target
//   quorv-fuzzseed book TABLE.db OUT   the table exported to OUT (.xls or .xlsx), for the workbook target
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "export/driver.h"
#include "export/settings.h"
#include "fuzz/fuzz_targets.h"
#include "source/blob_file.h"
#include "source/paradox_table.h"

namespace {

std::vector<uint8_t> readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int exportBook(const std::string &table, const std::string &out) {
    quorv::ExportSettings settings;
    settings.commandLineMode = true;
    settings.viewAfterExport = false;
    settings.outputType = out.size() > 5 && out.compare(out.size() - 5, 5, ".xlsx") == 0 ? quorv::OutputType::Xlsx
                                                                                          : quorv::OutputType::Xls;
    settings.outputPath = out;
    quorv::SourceTable source;
    source.path = table;
    if (!quorv::openSourceTable(source, settings, nullptr))
        return 1;
    return quorv::runExport(source, settings).ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    const bool known = argc == 4 && (std::strcmp(argv[1], "pack") == 0 || std::strcmp(argv[1], "blob") == 0 ||
                                     std::strcmp(argv[1], "book") == 0);
    if (!known) {
        std::fprintf(stderr, "usage: quorv-fuzzseed pack|blob|book TABLE.db OUT\n");
        return 2;
    }
    if (std::strcmp(argv[1], "book") == 0)
        return exportBook(argv[2], argv[3]);
    std::vector<uint8_t> seed;
    if (std::strcmp(argv[1], "pack") == 0) {
        const std::string mb = quorv::findBlobFile(argv[2]);
        seed = quorv::fuzz::packTable(readBytes(argv[2]), mb.empty() ? std::vector<uint8_t>() : readBytes(mb));
    } else if (!quorv::fuzz::blobSeed(argv[2], seed)) {
        return 1; // no blob file, or the table does not open: no seed
    }
    std::ofstream out(argv[3], std::ios::binary);
    out.write(reinterpret_cast<const char *>(seed.data()), static_cast<std::streamsize>(seed.size()));
    return out ? 0 : 1;
}
