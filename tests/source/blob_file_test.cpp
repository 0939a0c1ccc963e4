// .mb blob reading: every memo/blob value of the corpus, known texts and images, pointer faults,
// and finding the .mb beside a table in any letter case.
#include "paradox_test_support.h"
#include "source/blob_file.h"
#include "source/paradox_crypt.h"
#include "source/paradox_file.h"

#include <algorithm>
#include <filesystem>
#include <map>

using quorv::BlobFile;
using quorv::MemoStatus;
using quorv::readMemo;
namespace t = quorv::test;

namespace {

struct MemoValue {
    int record, field;
    uint8_t type;
    std::string leader;
    uint32_t length;
    MemoStatus status;
    std::string value, error;
};

// Reads every memo/blob field of a table with the .mb found beside it.
std::vector<MemoValue> readMemos(const std::string &rel, bool withBlobFile = true) {
    std::vector<MemoValue> out;
    quorv::ParadoxFile f;
    std::string error;
    EXPECT_TRUE(f.open(t::corpusPath(rel), &error)) << error;
    BlobFile blob;
    const std::string mb = quorv::findBlobFile(t::corpusPath(rel));
    if (withBlobFile && !mb.empty()) {
        EXPECT_TRUE(blob.open(mb, &error, f.header().encryptionKey)) << error;
    }
    for (const auto &field : t::blobFields(f)) {
        const size_t leader = field.bytes.size() - 10;
        MemoValue v{field.record, field.field, field.type,
                    std::string(field.bytes.begin(), field.bytes.begin() + static_cast<long>(leader)),
                    t::le32(&field.bytes[leader + 4]), MemoStatus::Error, "", ""};
        v.status = readMemo(field.bytes.data(), static_cast<int>(field.bytes.size()), &blob, v.value, &v.error);
        out.push_back(std::move(v));
    }
    return out;
}

} // namespace

// Every value comes out whole: the pointer's length, from the leader or the .mb; memo leaders are a
// copy of the value's start, graphic leaders a copy of the image's start.
TEST(BlobCorpus, EveryValueComesOutWhole) {
    QUORV_REQUIRE_CORPUS();
    int tables = 0, fromLeader = 0, fromFile = 0, empty = 0;
    for (const auto &rel : t::corpusTables()) {
        quorv::ParadoxFile f;
        if (!f.open(t::corpusPath(rel), nullptr) || f.needsPxlib())
            continue;
        const auto &fields = f.header().fields;
        const auto isBlob = [](const auto &fd) { return fd.type >= 12 && fd.type <= 16; };
        if (std::none_of(fields.begin(), fields.end(), isBlob))
            continue;
        SCOPED_TRACE(rel);
        ++tables;
        EXPECT_FALSE(quorv::findBlobFile(t::corpusPath(rel)).empty());
        for (auto &v : readMemos(rel)) {
            SCOPED_TRACE("record " + std::to_string(v.record) + " field " + std::to_string(v.field));
            if (v.length == 0) {
                EXPECT_EQ(v.status, MemoStatus::Empty);
                ++empty;
                continue;
            }
            ASSERT_EQ(v.status, MemoStatus::Value) << v.error;
            ASSERT_EQ(v.value.size(), v.length);
            if (v.length <= v.leader.size()) {
                ++fromLeader;
                EXPECT_EQ(v.value, v.leader.substr(0, v.length));
                continue;
            }
            ++fromFile;
            std::string body = v.value;
            if (v.type == 16) {
                ASSERT_TRUE(quorv::stripBlobPrefix(body));
            }
            if (v.type == 12 || v.type == 16) {
                EXPECT_EQ(body.substr(0, v.leader.size()), v.leader);
            }
        }
    }
    std::cout << "[ blobs    ] " << tables << " tables: " << fromFile << " values from .mb, " << fromLeader
              << " in the record, " << empty << " empty\n";
    // 13 tables have a .mb; one is encrypted, its two memos count when this build can decrypt.
    EXPECT_EQ(tables, quorv::canDecryptParadox() ? 13 : 12);
    EXPECT_EQ(fromFile, quorv::canDecryptParadox() ? 93 : 91);
}

// Contents known from outside the pointers: the text and last bytes of a long memo. Every other value
// is checked in EveryValueComesOutWhole: whole, empty when its length is 0, and a memo's or graphic's
// start (its prefix stripped) the same as its leader.
TEST(BlobCorpus, KnownText) {
    QUORV_REQUIRE_CORPUS();
    const auto m = readMemos("paradoxdriver/db/CUSTOMER.DB");
    ASSERT_EQ(m.size(), 20u);
    EXPECT_EQ(m[3].value.size(), 56864u); // a type 2 block of 14 chunks
    EXPECT_EQ(m[3].value.rfind(" The PARADOX File Structure", 0), 0u);
    EXPECT_EQ(m[3].value.substr(m[3].value.size() - 6), "End.\r\n");
}

TEST(BlobCorpus, WithoutBlobFile) {
    QUORV_REQUIRE_CORPUS();
    const auto m = readMemos("paradoxdriver/fields/memo.db", false);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].status, MemoStatus::NeedsBlobFile);
    EXPECT_EQ(m[1].status, MemoStatus::Value);
    EXPECT_EQ(m[1].value, "01234567890\n");
    std::string out, error;
    const uint8_t shortField[4] = {};
    EXPECT_EQ(readMemo(shortField, 4, nullptr, out, &error), MemoStatus::Error);
}

// The encrypted table's .mb is scrambled from its first byte on: without the key a clean error; with
// it (when this build links pxlib's decryption) the two memos, 56 KB and 495 KB, come out whole.
TEST(BlobCorpus, EncryptedBlobFile) {
    QUORV_REQUIRE_CORPUS();
    BlobFile blob;
    std::string error;
    const std::string mb = t::corpusPath("paradoxdriver/encrypt/encryptedmemo.mb");
    EXPECT_FALSE(blob.open(mb, &error));
    EXPECT_NE(error.find("not a header block"), std::string::npos) << error;
    if (!quorv::canDecryptParadox())
        GTEST_SKIP() << "this build cannot decrypt";
    EXPECT_FALSE(blob.open(mb, &error, 0x1234));
    const auto m = readMemos("paradoxdriver/encrypt/encryptedmemo.db");
    ASSERT_EQ(m.size(), 2u);
    for (const auto &v : m) {
        ASSERT_EQ(v.status, MemoStatus::Value) << v.error;
        EXPECT_EQ(v.value.size(), v.length);
        EXPECT_EQ(v.value.substr(0, v.leader.size()), v.leader); // the decrypted leader matches
    }
    EXPECT_GT(m[0].value.size(), 50000u);
    EXPECT_GT(m[1].value.size(), 490000u);
}

TEST(BlobFilePointers, FaultsGiveErrors) {
    QUORV_REQUIRE_CORPUS();
    BlobFile blob;
    std::string error, out;
    ASSERT_TRUE(blob.open(t::corpusPath("paradoxdriver/db/CUSTOMER.MB"), &error)) << error;
    auto pointer = [](uint32_t where, uint32_t length) {
        std::array<uint8_t, 10> p{};
        t::putLe32(p.data(), where);
        t::putLe32(p.data() + 4, length);
        t::putLe16(p.data() + 8, 1);
        return p;
    };
    // Each fault fails with its reason, gives nothing and allocates nothing near the length it claims.
    auto fails = [&](uint32_t where, uint32_t length, const char *what) {
        const auto p = pointer(where, length);
        error.clear();
        t::resetLargestAllocation();
        EXPECT_FALSE(blob.read(p.data(), out, &error)) << what;
        EXPECT_LE(t::largestAllocation(), 1u << 20) << what;
        EXPECT_NE(error.find(what), std::string::npos) << error;
        EXPECT_TRUE(out.empty());
    };
    // The sound pointers the faults are made from: a single blob block and a suballocated value.
    for (const auto &[where, length] : {std::pair{0x20FFu, 56864u}, std::pair{0x103Fu, 518u}}) {
        const auto p = pointer(where, length);
        EXPECT_TRUE(blob.read(p.data(), out, &error)) << error;
        EXPECT_EQ(out.size(), length);
    }
    fails(0x20FF, 56863, "holds 56864 bytes");
    fails(0x20FF, 0x7FFFFFFF, "holds 56864 bytes");
    fails(0x103F, 0xFFFFFFFF, "holds 518 bytes"); // 4 GB: refused before anything is allocated
    fails(0x2000, 56864, "index 0");
    fails(0x103F, 517, "holds 518 bytes");
    fails(0x1040, 518, "entry 64 out of range");
    fails(0x1000, 518, "free or deleted"); // entry 0 is unused
    fails(0x00FF, 10, "header block");
    fails(0xFFFFFF00, 10, "past the end");
    fails(0x103F, 0, "length 0");
    fails(0x3000, 10, "type"); // inside the type 2 block's data

    BlobFile closed;
    const auto p = pointer(0x103F, 518);
    EXPECT_FALSE(closed.read(p.data(), out, &error));
    EXPECT_FALSE(closed.open("/nonexistent/x.mb", &error));
    EXPECT_EQ(error.rfind("not a readable Paradox blob file: ", 0), 0u);
    EXPECT_FALSE(closed.open(t::corpusPath("paradoxdriver/db/ORDERS.DB"), &error));
    EXPECT_FALSE(closed.open(t::corpusFolder(), &error));
}

TEST(FindBlobFile, AnyLetterCase) {
    t::TempDir dir;
    auto touch = [&](const std::string &name) { t::writeBytes(dir.file(name), {0}); };
    touch("CUSTOMER.DB");
    touch("customer.mb");
    EXPECT_EQ(quorv::findBlobFile(dir.file("CUSTOMER.DB")), dir.file("customer.mb"));
    touch("T.DB");
    touch("t.mb");
    touch("T.MB");
    EXPECT_EQ(quorv::findBlobFile(dir.file("T.DB")), dir.file("T.MB")); // the .db's own spelling wins
    touch("alone.db");
    EXPECT_EQ(quorv::findBlobFile(dir.file("alone.db")), "");
    touch("x.db");
    std::filesystem::create_directory(dir.file("x.mb"));
    EXPECT_EQ(quorv::findBlobFile(dir.file("x.db")), "");
    touch("other.mb");
    EXPECT_EQ(quorv::findBlobFile(dir.file("oth.db")), "");
    EXPECT_EQ(quorv::findBlobFile("/nonexistent/dir/A.DB"), "");
}
