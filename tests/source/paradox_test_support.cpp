#include "paradox_test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<size_t> gLargest{0};
}

void *operator new(size_t size) {
    size_t seen = gLargest.load(std::memory_order_relaxed);
    while (size > seen && !gLargest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
    }
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept {
    std::free(p);
}
void operator delete(void *p, size_t) noexcept {
    std::free(p);
}

namespace quorv::test {

void resetLargestAllocation() {
    gLargest.store(0);
}
size_t largestAllocation() {
    return gLargest.load();
}

uint16_t le16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t le32(const uint8_t *p) {
    return le16(p) | static_cast<uint32_t>(le16(p + 2)) << 16;
}
void putLe16(uint8_t *p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void putLe32(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

::testing::AssertionResult sameRecordAsPxlib(quorv::ParadoxFile &ours, pxdoc_t *px, int n) {
    std::vector<uint8_t> mine(static_cast<size_t>(ours.header().recordSize)), theirs(mine.size());
    int deleted = 0;
    if (!PX_get_record2(px, n, reinterpret_cast<char *>(theirs.data()), &deleted, nullptr))
        return ::testing::AssertionFailure() << "pxlib cannot read record " << n;
    if (!ours.readRecord(n, mine.data()))
        return ::testing::AssertionFailure() << "ParadoxFile cannot read record " << n;
    if (mine != theirs)
        return ::testing::AssertionFailure() << "record " << n << " differs from pxlib's";
    return ::testing::AssertionSuccess();
}

std::vector<BlobField> blobFields(quorv::ParadoxFile &f) {
    std::vector<BlobField> out;
    std::vector<uint8_t> rec(static_cast<size_t>(f.header().recordSize));
    for (int n = 0; n < f.recordCount(); ++n) {
        EXPECT_TRUE(f.readRecord(n, rec.data())) << "record " << n;
        size_t pos = 0;
        for (size_t i = 0; i < f.header().fields.size(); ++i) {
            const auto &fd = f.header().fields[i];
            if (fd.type >= 12 && fd.type <= 16)
                out.push_back({n, static_cast<int>(i), fd.type, {&rec[pos], &rec[pos] + fd.size}});
            pos += static_cast<size_t>(fd.size);
        }
    }
    return out;
}

PxDoc::PxDoc() {
    doc_ = PX_new3(&PxDoc::onError, nullptr, nullptr, nullptr, this);
}
PxDoc::~PxDoc() {
    if (doc_) {
        if (opened_)
            PX_close(doc_);
        PX_delete(doc_);
    }
}
bool PxDoc::open(const std::string &path) {
    opened_ = doc_ && PX_open_file(doc_, path.c_str()) == 0;
    return opened_;
}
void PxDoc::onError(pxdoc_t *, int, const char *msg, void *data) {
    if (data)
        static_cast<PxDoc *>(data)->lastError_ = msg ? msg : "";
}

} // namespace quorv::test
