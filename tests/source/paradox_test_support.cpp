#include "paradox_test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>

namespace fs = std::filesystem;

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

std::vector<uint8_t> readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

uint16_t le16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
void putLe16(uint8_t *p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void putLe32(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
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
