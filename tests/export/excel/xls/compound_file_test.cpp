#include "export/excel/xls/compound_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace quorv::xls {
namespace {

std::string pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    std::mt19937 rng(seed);
    for (char &c : s)
        c = static_cast<char>(rng());
    return s;
}

uint32_t le32(const std::string &s, size_t at) {
    uint32_t v;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}
void setLe32(std::string &s, size_t at, uint32_t v) {
    std::memcpy(s.data() + at, &v, 4);
}

TEST(CompoundFile, StreamsOfEverySizeReadBackExactly) {
    // Sizes around the mini sector (64), mini stream cutoff (4096) and sector (512) boundaries.
    const std::vector<size_t> sizes = {0, 1, 63, 64, 65, 4095, 4096, 4097, 513, 100000};
    std::vector<std::string> data;
    std::vector<CompoundStream> streams;
    for (size_t i = 0; i < sizes.size(); ++i)
        data.push_back(pattern(sizes[i], static_cast<unsigned>(i)));
    for (size_t i = 0; i < sizes.size(); ++i)
        streams.push_back({"Stream " + std::to_string(i) + (i % 2 ? "\xC3\xA9" : ""), data[i]});

    std::string file, error;
    ASSERT_TRUE(buildCompoundFile(streams, &file, &error)) << error;
    EXPECT_EQ(file.size() % 512, 0u);

    CompoundFileReader reader;
    ASSERT_TRUE(reader.openBytes(file, &error)) << error;
    EXPECT_EQ(reader.streamNames().size(), sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        std::string got;
        ASSERT_TRUE(reader.readStream(streams[i].name, &got, &error)) << streams[i].name << ": " << error;
        EXPECT_EQ(got, data[i]) << streams[i].name;
    }
    std::string got;
    EXPECT_TRUE(reader.readStream("STREAM 0", &got, &error)) << "names compare case-insensitively";
}

TEST(CompoundFile, DamagedFilesGiveErrors) {
    std::string file, error;
    const std::string payload = pattern(20000, 3);
    ASSERT_TRUE(buildCompoundFile({{"Workbook", payload}, {"s", "small"}}, &file, &error)) << error;
    auto fails = [](std::string bytes) {
        CompoundFileReader r;
        std::string err, out;
        if (!r.openBytes(std::move(bytes), &err)) {
            EXPECT_FALSE(err.empty());
            return true;
        }
        return !r.readStream("Workbook", &out, &err) || !r.readStream("s", &out, &err);
    };

    EXPECT_TRUE(fails(std::string(4096, 'x')));
    // Cut anywhere short of the full length (nothing at all, and less than a header, included).
    for (size_t len = 0; len < file.size(); len += 97)
        EXPECT_TRUE(fails(file.substr(0, len))) << len;

    // Sector chains that loop or point outside the file.
    const size_t fatSector = le32(file, 76);
    const size_t fatAt = (fatSector + 1) * 512;
    std::string loop = file;
    setLe32(loop, fatAt + 4 * 3, 0); // Workbook's 4th sector leads back to its first
    EXPECT_TRUE(fails(loop));
    std::string outside = file;
    setLe32(outside, fatAt + 4 * 1, 0x7FFFFFF0);
    EXPECT_TRUE(fails(outside));
    std::string dirLoop = file;
    setLe32(dirLoop, fatAt + 4 * le32(file, 48), le32(file, 48));
    EXPECT_TRUE(fails(dirLoop));
    std::string hugeCounts = file;
    setLe32(hugeCounts, 44, 0xFFFFFFFF);
    EXPECT_TRUE(fails(hugeCounts));
    hugeCounts = file;
    setLe32(hugeCounts, 72, 0x7FFFFFFF);
    setLe32(hugeCounts, 44, 200);
    EXPECT_TRUE(fails(hugeCounts));
}

} // namespace
} // namespace quorv::xls
