// Damaged tables and blob files: truncations and flipped header / descriptor / block-header bytes
// (chain loops and huge counts: paradox_file_test.cpp; random corruption: fuzz/). Every outcome must
// be a clean error or a correct reading: a file our check accepts is also handed to pxlib, which must
// open it and give the same records. No crash, no hang, no allocation beyond a small multiple of the file size.
#include "paradox_test_support.h"
#include "source/blob_file.h"
#include "source/paradox_crypt.h"
#include "source/paradox_file.h"

#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <random>
#include <unistd.h>

using quorv::ParadoxFile;
namespace t = quorv::test;

namespace {

struct Tally {
    int rejected = 0, accepted = 0;
};

// A copy of a real file on disk: the original with one byte changed, or cut short. A changed byte is
// written in place and put back before the next change (files of megabytes are changed thousands of
// times).
class Mutant {
  public:
    Mutant(const std::string &path, const std::vector<uint8_t> &original) : path_(path), original_(original) {
        truncate(original.size());
    }
    void set(size_t pos, uint8_t value) {
        if (current_.size() < size())
            truncate(size());
        else if (changed_ < size())
            put(changed_, original_[changed_]);
        put(pos, value);
        changed_ = pos;
    }
    void truncate(size_t length) {
        current_.assign(original_.begin(), original_.begin() + static_cast<long>(std::min(length, size())));
        t::writeBytes(path_, current_);
        changed_ = SIZE_MAX;
    }
    const std::string &path() const { return path_; }
    size_t size() const { return original_.size(); }
    const std::vector<uint8_t> &bytes() const { return current_; }

  private:
    void put(size_t pos, uint8_t value) {
        current_[pos] = value;
        const int fd = ::open(path_.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, &value, 1, static_cast<off_t>(pos)), 1);
        ::close(fd);
    }
    std::string path_;
    std::vector<uint8_t> original_, current_;
    size_t changed_ = SIZE_MAX;
};

// The blocks of an opened table's chain, in order: each block's number and its "last record
// offset" as stored in the bytes b (decrypted for an encrypted table).
std::vector<std::pair<int, int16_t>> chainOf(const ParadoxFile &f, const std::vector<uint8_t> &b) {
    const auto &h = f.header();
    std::vector<std::pair<int, int16_t>> chain;
    for (int n = h.firstBlock; n != 0 && static_cast<int>(chain.size()) < f.chainLength();) {
        const size_t at = static_cast<size_t>(h.headerSize) + static_cast<size_t>(n - 1) * h.blockSize;
        std::vector<uint8_t> block(b.begin() + static_cast<long>(at),
                                   b.begin() + static_cast<long>(std::min(b.size(), at + h.blockSize)));
        block.resize(static_cast<size_t>(h.blockSize), 0);
        if (h.encrypted)
            quorv::decryptTableBlock(block.data(), block.size(), h.encryptionKey, n);
        chain.emplace_back(n, static_cast<int16_t>(t::le16(&block[4])));
        n = t::le16(&block[0]);
    }
    return chain;
}

// True when a block in the (accepted) chain is empty, its last-record offset being -recordSize: pxlib
// 0.6.8 reads that offset unsigned and misplaces every later record, so it cannot be the reference.
bool hasEmptyChainedBlock(const ParadoxFile &f, const std::vector<uint8_t> &b) {
    const auto chain = chainOf(f, b);
    return std::any_of(chain.begin(), chain.end(), [](const auto &block) { return block.second < 0; });
}

// Opens the mutant; when accepted reads every record and checks them against pxlib (a sample for
// long tables: pxlib's lookup is quadratic).
void check(const Mutant &m, Tally &tally, const std::string &what) {
    SCOPED_TRACE(what);
    t::resetLargestAllocation();
    ParadoxFile f;
    std::string error;
    const bool ok = f.open(m.path(), &error);
    std::vector<uint8_t> mine(ok ? static_cast<size_t>(f.header().recordSize) : 0);
    if (ok && !f.needsPxlib()) {
        for (int n = 0; n < f.recordCount(); ++n) {
            ASSERT_TRUE(f.readRecord(n, mine.data())) << "record " << n;
        }
    }
    EXPECT_LE(t::largestAllocation(), 2 * m.size() + (1u << 20));
    if (!ok) {
        ++tally.rejected;
        ASSERT_EQ(error.rfind("not a readable Paradox table: ", 0), 0u) << error;
        return;
    }
    ++tally.accepted;
    if (f.needsPxlib()) {
        // Encrypted and not decryptable in this build: pxlib would walk the scrambled chain unchecked,
        // so such a mutant is not handed to it here.
        return;
    }
    t::PxDoc px;
    ASSERT_TRUE(px.open(m.path())) << "pxlib refuses a table the check accepted: " << px.lastError();
    const bool pxlibMisreads = hasEmptyChainedBlock(f, m.bytes());
    const int pxCount = PX_get_num_records(px.get());
    const int count = std::min(f.recordCount(), pxCount);
    for (int n = 0; n < count; ++n) {
        if (count > 400 && n >= 64 && n < count - 64 && n % 97 != 0)
            continue;
        const auto same = t::sameRecordAsPxlib(f, px.get(), n); // pxlib reads the record in any case
        if (!pxlibMisreads) {
            ASSERT_TRUE(same);
        }
    }
}

// End of the field names: the part of the header the reader interprets.
size_t interpretedHeaderEnd(const std::vector<uint8_t> &b) {
    const int fields = t::le16(&b[0x21]);
    const int version = b[0x39];
    size_t pos =
        (version >= 5 ? 0x78 : 0x58) + 6 * static_cast<size_t>(fields) + 4 + (version == 12 ? 261 : 79);
    for (int i = 0; i < fields && pos < b.size(); ++i)
        while (pos < b.size() && b[pos++] != 0) {
        }
    return std::min(pos + 4, static_cast<size_t>(t::le16(&b[2])));
}

// Reads the value a blob pointer names: it comes out whole (the pointer's length) or not at all, with
// an error, and no single allocation exceeds limit. True when it came out.
bool readsWholeOrFails(quorv::BlobFile &blob, const uint8_t *p, size_t limit) {
    std::string out, error;
    t::resetLargestAllocation();
    const bool ok = blob.read(p, out, &error);
    if (ok) {
        EXPECT_EQ(out.size(), t::le32(p + 4));
    } else {
        EXPECT_TRUE(out.empty());
        EXPECT_FALSE(error.empty());
    }
    EXPECT_LE(t::largestAllocation(), limit);
    return ok;
}

class Mutations : public ::testing::TestWithParam<const char *> {
  protected:
    void SetUp() override { QUORV_REQUIRE_CORPUS(); }
};

} // namespace

// Truncations at the header's and the blocks' edges and at random lengths; every interpreted header
// byte (sizes, counts, version, field descriptors, names) and every byte of the first block headers,
// each set to neighbouring and extreme values.
TEST_P(Mutations, TruncatedAndFlipped) {
    const auto original = t::readBytes(t::corpusPath(GetParam()));
    t::TempDir dir;
    Mutant m(dir.file("T.DB"), original);
    const size_t headerSize = t::le16(&original[2]), blockSize = original[5] * 1024u;
    Tally tally;
    std::vector<size_t> lengths = {0,          1,          2,              0x20,           0x57,
                                   0x58,       0x77,       0x78,           0x100,          headerSize - 1,
                                   headerSize, headerSize + 1, headerSize + 5, headerSize + 6, headerSize + 7};
    for (size_t b = 1; b <= 12; ++b)
        for (long d : {-1L, 0L, 6L, 7L, 100L})
            lengths.push_back(headerSize + b * blockSize + d);
    std::mt19937 rng(1);
    for (int i = 0; i < 40; ++i)
        lengths.push_back(rng() % original.size());
    for (size_t len : lengths) {
        if (len >= original.size())
            continue;
        m.truncate(len);
        check(m, tally, "truncated to " + std::to_string(len));
    }
    const int truncationsRejected = tally.rejected;
    EXPECT_GT(truncationsRejected, 0);

    auto tryValues = [&](size_t pos, const std::string &where) {
        if (pos >= original.size())
            return;
        const uint8_t b = original[pos];
        for (int v : {b ^ 0x01, b ^ 0x80, 0x00, 0xFF, b + 1}) {
            if (static_cast<uint8_t>(v) == b)
                continue;
            m.set(pos, static_cast<uint8_t>(v));
            check(m, tally, where + " byte " + std::to_string(pos) + " = " + std::to_string(v & 0xFF));
        }
    };
    for (size_t pos = 0; pos < interpretedHeaderEnd(original); ++pos)
        tryValues(pos, "header");
    ParadoxFile unchanged;
    ASSERT_TRUE(unchanged.open(t::corpusPath(GetParam()), nullptr));
    const auto chain = chainOf(unchanged, original);
    // An encrypted block header is spread over the block's first 256-byte chunk.
    const size_t span = unchanged.header().encrypted ? 256 : 6;
    for (size_t i = 0; i < chain.size() && i < 6; ++i)
        for (size_t k = 0; k < span; ++k)
            tryValues(headerSize + (chain[i].first - 1) * blockSize + k, "block header");
    std::cout << "[ mutants  ] " << GetParam() << ": " << tally.rejected << " rejected, " << tally.accepted
              << " read\n";
    EXPECT_GT(tally.rejected, truncationsRejected);
}

INSTANTIATE_TEST_SUITE_P(RealTables, Mutations,
                         ::testing::Values("paradoxdriver/areas/AREACODE.DB", "paradoxReader/PCLDATA/PCL.DB",
                                           "Rparadox/of.db", "paradoxdriver/db/CUSTOMER.DB",
                                           "paradoxdriver/geog/County.DB", "paradoxdriver/history/fields.db",
                                           "paradoxdriver/joins/indexed.db",
                                           "paradoxdriver/encrypt/encrypted.db",
                                           "paradoxdriver/encrypt/encrypted35.db"),
                         [](const auto &info) {
                             std::string name = info.param;
                             for (char &c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// Blob files: structural bytes flipped and truncations, read through every pointer of the table.
TEST(BlobMutations, FlippedAndTruncated) {
    QUORV_REQUIRE_CORPUS();
    for (const char *rel :
         {"paradoxdriver/db/CUSTOMER.DB", "Rparadox/mushrooms.db", "paradoxdriver/db/HERCULES.DB"}) {
        SCOPED_TRACE(rel);
        ParadoxFile f;
        ASSERT_TRUE(f.open(t::corpusPath(rel), nullptr));
        std::vector<std::array<uint8_t, 10>> pointers; // those that name a place in the .mb
        for (const auto &field : t::blobFields(f)) {
            std::array<uint8_t, 10> p;
            std::copy_n(field.bytes.end() - 10, 10, p.begin());
            if (p[0] | p[1] | p[2] | p[3])
                pointers.push_back(p);
        }
        const std::string mbPath = quorv::findBlobFile(t::corpusPath(rel));
        const auto original = t::readBytes(mbPath);
        t::TempDir dir;
        Mutant m(dir.file("T.MB"), original);
        int errors = 0, values = 0;
        auto readAll = [&](const std::string &what) {
            SCOPED_TRACE(what);
            t::resetLargestAllocation();
            quorv::BlobFile blob;
            std::string error;
            if (!blob.open(m.path(), &error)) {
                ++errors;
                EXPECT_FALSE(error.empty());
                return;
            }
            EXPECT_LE(t::largestAllocation(), m.size() + (1u << 20));
            for (const auto &p : pointers)
                ++(readsWholeOrFails(blob, p.data(), m.size() + (1u << 20)) ? values : errors);
        };
        // Header block, then each block's header and (for suballocated blocks) its entry table.
        std::vector<size_t> structural;
        for (size_t k = 0; k < 32; ++k)
            structural.push_back(k);
        for (size_t off = 4096; off + 3 <= original.size();) {
            const size_t chunks = original[off + 1] | (original[off + 2] << 8);
            const size_t end = original[off] == 3 ? 12 + 5 * 64 : 12;
            for (size_t k = 0; k < end; ++k)
                structural.push_back(off + k);
            off += std::max<size_t>(chunks, 1) * 4096;
        }
        for (size_t pos : structural) {
            const uint8_t b = original[pos];
            for (int v : {b ^ 0x01, b ^ 0x80, 0x00, 0xFF}) {
                m.set(pos, static_cast<uint8_t>(v));
                readAll("byte " + std::to_string(pos));
            }
        }
        std::mt19937 rng(5);
        for (int i = 0; i < 40; ++i) {
            m.truncate(rng() % original.size());
            readAll("truncated");
        }
        std::cout << "[ mutants  ] " << mbPath << ": " << errors << " errors, " << values << " values read\n";
        EXPECT_GT(errors, 0);
    }
}
