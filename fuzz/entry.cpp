// libFuzzer entry point; QUORV_FUZZ_TARGET names the target function (fuzz_targets.h).
#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    return quorv::fuzz::QUORV_FUZZ_TARGET(data, size);
}
