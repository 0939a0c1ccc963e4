// Shared helpers for the Paradox reader tests: the table corpus, temporary files, a quiet pxlib
// handle, records compared with pxlib's and a record of the largest single allocation.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "source/paradox_file.h"
#include "support/test_support.h"

extern "C" {
#include <paradox.h>
}

namespace quorv::test {

uint16_t le16(const uint8_t *p);
uint32_t le32(const uint8_t *p);
void putLe16(uint8_t *p, uint16_t v);
void putLe32(uint8_t *p, uint32_t v);

// pxlib document with errors collected instead of printed.
class PxDoc {
  public:
    PxDoc();
    ~PxDoc();
    PxDoc(const PxDoc &) = delete;
    PxDoc &operator=(const PxDoc &) = delete;
    bool open(const std::string &path);
    pxdoc_t *get() const { return doc_; }
    const std::string &lastError() const { return lastError_; }

  private:
    static void onError(pxdoc_t *, int, const char *msg, void *data);
    pxdoc_t *doc_ = nullptr;
    bool opened_ = false;
    std::string lastError_;
};

// Record n as ParadoxFile and pxlib read it: the same bytes.
::testing::AssertionResult sameRecordAsPxlib(quorv::ParadoxFile &ours, pxdoc_t *px, int n);

// The memo/blob fields (types 12..16) of an opened table, record by record: each field's bytes.
struct BlobField {
    int record, field;
    uint8_t type;
    std::vector<uint8_t> bytes;
};
std::vector<BlobField> blobFields(quorv::ParadoxFile &f);

// Largest single operator-new request since the last reset (tracks this program's C++ allocations).
void resetLargestAllocation();
size_t largestAllocation();

} // namespace quorv::test

#define QUORV_REQUIRE_CORPUS()                                                                               \
    do {                                                                                                     \
        if (::quorv::test::corpusFolder().empty())                                                           \
            GTEST_SKIP() << "Paradox test tables not found (../shared/testdata/paradox)";                    \
    } while (0)
