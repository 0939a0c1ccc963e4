// Every input kept from fuzzing (fuzz/regressions/TARGET/) replayed through its target; a crash or
// sanitizer report fails the test.
#include <filesystem>

#include <gtest/gtest.h>

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

} // namespace
