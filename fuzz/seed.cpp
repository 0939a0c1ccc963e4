// quorv-fuzzseed: makes seed inputs from tables.
//   quorv-fuzzseed pack TABLE.db OUT   the table and its .mb in the layout of the table and export targets
//   quorv-fuzzseed blob TABLE.db OUT   the table's blob pointers and its .mb, for the blob target
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "fuzz/fuzz_targets.h"
#include "source/blob_file.h"

namespace {

std::vector<uint8_t> readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4 || (std::strcmp(argv[1], "pack") != 0 && std::strcmp(argv[1], "blob") != 0)) {
        std::fprintf(stderr, "usage: quorv-fuzzseed pack|blob TABLE.db OUT\n");
        return 2;
    }
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
