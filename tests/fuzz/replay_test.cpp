// Every input kept from fuzzing (fuzz/regressions/TARGET/) replayed through its target, and each
// target run once on the all-types fixture; a crash or sanitizer report fails the test.
#include <filesystem>

#include <gtest/gtest.h>

#include "fixture/fixtures.h"
#include "fuzz/fuzz_targets.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace quorv;

namespace {

TEST(FuzzRegressions, KeptInputsReplay) {
    int replayed = 0;
    for (const fuzz::Target &target : fuzz::kTargets) {
        const fs::path folder = fs::path(QUORV_FUZZ_REGRESSIONS) / target.name;
        if (!fs::is_directory(folder))
            continue;
        for (const auto &entry : fs::directory_iterator(folder)) {
            SCOPED_TRACE(entry.path().string());
            const std::vector<uint8_t> input = test::readBytes(entry.path());
            EXPECT_EQ(target.run(input.data(), input.size()), 0);
            ++replayed;
        }
    }
    std::cout << "[ replayed ] " << replayed << " kept inputs\n";
}

TEST(FuzzRegressions, EveryTargetRunsOnTheFixture) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(fixture::makeAllTypesTable(dir.file("a.db"), &error)) << error;
    const std::vector<uint8_t> packed =
        fuzz::packTable(test::readBytes(dir.file("a.db")), test::readBytes(dir.file("a.mb")));
    std::vector<uint8_t> blobSeed;
    ASSERT_TRUE(fuzz::blobSeed(dir.file("a.db"), blobSeed));
    const std::string filter = "Char:*e*\nShort:>0\nDate:<=01.02.2024\n";
    const std::vector<uint8_t> inputs[] = {packed, blobSeed, packed, {filter.begin(), filter.end()}};
    for (size_t i = 0; i < std::size(fuzz::kTargets); ++i)
        EXPECT_EQ(fuzz::kTargets[i].run(inputs[i].data(), inputs[i].size()), 0) << fuzz::kTargets[i].name;
}

} // namespace
