// Shared helpers for the Paradox reader tests: the table corpus, temporary files, a quiet pxlib
// handle and a record of the largest single allocation.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <paradox.h>
}

namespace quorv::test {

// Folder of real tables (read-only); empty string when it is not there.
std::string corpusDir();
// Paths of every .db table under the corpus folder (any letter case), relative to it, sorted.
std::vector<std::string> corpusTables();
std::string corpusPath(const std::string &relative);

std::vector<uint8_t> readBytes(const std::string &path);
void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes);

uint16_t le16(const uint8_t *p);
void putLe16(uint8_t *p, uint16_t v);
void putLe32(uint8_t *p, uint32_t v);

// A fresh directory under the system temp folder, removed with its files on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

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

// Largest single operator-new request since the last reset (tracks this program's C++ allocations).
void resetLargestAllocation();
size_t largestAllocation();

} // namespace quorv::test

#define QUORV_REQUIRE_CORPUS()                                                                               \
    do {                                                                                                     \
        if (::quorv::test::corpusDir().empty())                                                              \
            GTEST_SKIP() << "Paradox test tables not found at " QUORV_PARADOX_TESTDATA;                      \
    } while (0)
