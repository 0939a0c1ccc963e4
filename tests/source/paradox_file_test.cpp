// ParadoxFile against pxlib on every real table, and the individual header / block chain checks
// (random access on a table of a million records: the wizard's preview test).
#include "paradox_test_support.h"
#include "source/paradox_crypt.h"
#include "source/paradox_file.h"
#include "export/driver.h"
#include "export/settings.h"
#include "source/paradox_table.h"

#include <functional>
#include <iostream>

using quorv::ParadoxFile;
namespace t = quorv::test;

namespace {

const std::string kPrefix = "not a readable Paradox table: ";

} // namespace

TEST(ParadoxCorpus, EveryTableMatchesPxlib) {
    QUORV_REQUIRE_CORPUS();
    const auto tables = t::corpusTables();
    ASSERT_FALSE(tables.empty());
    std::vector<std::string> unopened;
    int encrypted = 0;
    for (const auto &rel : tables) {
        SCOPED_TRACE(rel);
        const std::string path = t::corpusPath(rel);
        ParadoxFile ours;
        std::string error;
        if (!ours.open(path, &error)) {
            unopened.push_back(rel + ": " + error);
            continue;
        }
        const auto &h = ours.header();
        EXPECT_FALSE(ours.recordCountMismatch());
        EXPECT_EQ(ours.recordCount(), h.recordCount);

        t::PxDoc px;
        ASSERT_TRUE(px.open(path)) << px.lastError();
        pxdoc_t *doc = px.get();
        EXPECT_EQ(h.recordCount, PX_get_num_records(doc));
        EXPECT_EQ(h.fieldCount, PX_get_num_fields(doc));
        EXPECT_EQ(h.recordSize, PX_get_recordsize(doc));
        EXPECT_EQ(h.codePage, doc->px_head->px_doscodepage);
        EXPECT_EQ(h.fileVersion, doc->px_head->px_fileversion);
        EXPECT_EQ(h.headerSize, doc->px_head->px_headersize);
        EXPECT_EQ(h.blockSize, doc->px_head->px_maxtablesize * 1024);
        EXPECT_EQ(h.fileType, doc->px_head->px_filetype);
        EXPECT_EQ(h.encrypted, doc->px_head->px_encryption != 0);
        const pxfield_t *pf = PX_get_fields(doc);
        ASSERT_EQ(h.fields.size(), static_cast<size_t>(PX_get_num_fields(doc)));
        for (size_t i = 0; i < h.fields.size(); ++i) {
            EXPECT_EQ(h.fields[i].type, static_cast<uint8_t>(pf[i].px_ftype)) << "field " << i;
            EXPECT_EQ(h.fields[i].size, pf[i].px_flen) << "field " << i;
            EXPECT_EQ(h.fields[i].decimals, pf[i].px_fdc) << "field " << i;
            EXPECT_EQ(h.fields[i].name, std::string(pf[i].px_fname)) << "field " << i;
        }

        std::vector<uint8_t> mine(static_cast<size_t>(h.recordSize)), theirs(mine.size());
        if (h.encrypted)
            ++encrypted;
        if (h.encrypted && !quorv::canDecryptParadox()) {
            EXPECT_TRUE(ours.needsPxlib());
            EXPECT_FALSE(ours.readRecord(0, mine.data()));
            for (int n = 0; n < h.recordCount; ++n) {
                int deleted = 0;
                EXPECT_NE(PX_get_record2(doc, n, reinterpret_cast<char *>(theirs.data()), &deleted, nullptr),
                          nullptr);
            }
            continue;
        }
        EXPECT_FALSE(ours.needsPxlib());
        for (int n = 0; n < ours.recordCount(); ++n)
            ASSERT_TRUE(t::sameRecordAsPxlib(ours, doc, n));
        EXPECT_FALSE(ours.readRecord(ours.recordCount(), mine.data()));
        EXPECT_FALSE(ours.readRecord(-1, mine.data()));
    }
    std::cout << "[ corpus   ] " << tables.size() << " tables, " << encrypted << " encrypted (records "
              << (quorv::canDecryptParadox() ? "decrypted here" : "through pxlib") << "), " << unopened.size()
              << " failed to open\n";
    for (const auto &u : unopened)
        std::cout << "[ unopened ] " << u << "\n";
    EXPECT_TRUE(unopened.empty());
    EXPECT_EQ(encrypted, 3);
}

// Each check, provoked by one edit of a real multi-block table (ORDERS.DB: 8 blocks, 224 records).
class ParadoxChecks : public ::testing::Test {
  protected:
    void SetUp() override {
        QUORV_REQUIRE_CORPUS();
        bytes_ = t::readBytes(t::corpusPath("paradoxdriver/db/ORDERS.DB"));
        ASSERT_EQ(bytes_.size(), 18432u);
        original_ = bytes_;
    }
    uint8_t *block(int number) { return &bytes_[2048 + static_cast<size_t>(number - 1) * 2048]; }
    // Opens the edited bytes; returns the error text ("" when the file opened).
    std::string openEdited(ParadoxFile &f) {
        t::writeBytes(dir_.file("ORDERS.DB"), bytes_);
        std::string error;
        if (f.open(dir_.file("ORDERS.DB"), &error))
            return "";
        EXPECT_EQ(error.rfind(kPrefix, 0), 0u) << error;
        return error;
    }
    // Edits a fresh copy of the table and expects open() to fail with a message holding `what`.
    void expectRejected(const char *what, const std::function<void()> &edit) {
        bytes_ = original_;
        edit();
        ParadoxFile f;
        const std::string e = openEdited(f);
        EXPECT_NE(e.find(what), std::string::npos) << "want \"" << what << "\", got: " << e;
    }
    std::vector<uint8_t> original_;
    std::vector<uint8_t> bytes_;
    t::TempDir dir_;
};

TEST_F(ParadoxChecks, BlockChain) {
    expectRejected("loops back to block 2", [&] { t::putLe16(block(3), 2); }); // 1 -> 2 -> 3 -> 2
    expectRejected("loops back to block 8", [&] { t::putLe16(block(8), 8); }); // the last block on itself
    expectRejected("reaches block 9", [&] { t::putLe16(block(4), 9); });       // past the 8 in the file
    expectRejected("reaches block 65535", [&] { t::putLe16(block(4), 0xFFFF); });
    // The header counts fewer blocks than the chain uses.
    expectRejected("header counts 5", [&] { t::putLe16(&bytes_[0x0C], 5); });
    // More record bytes than the block holds, not a whole number of records, below "empty" (-recordSize).
    expectRejected("block 2 claims", [&] { t::putLe16(block(2) + 4, 2048); });
    expectRejected("block 2 claims", [&] { t::putLe16(block(2) + 4, 71 * 3 + 5); });
    expectRejected("block 2 claims", [&] { t::putLe16(block(2) + 4, static_cast<uint16_t>(-200)); });
    // The last block cut inside its records; the file ending before a chained block.
    expectRejected("truncated", [&] { bytes_.resize(2048 + 7 * 2048 + 100); });
    expectRejected("reaches block 4", [&] { bytes_.resize(2048 + 3 * 2048); });
}

// The header's count is not trusted: the chain decides (a wrong count in the header with the chain
// intact: HeaderCountBeyondTheBlocksFailsTheExport).
TEST_F(ParadoxChecks, RecordCountFromTheChain) {
    t::putLe16(block(4), 6); // block 5 unlinked: 196 records, header still says 224
    ParadoxFile f;
    ASSERT_EQ(openEdited(f), "");
    EXPECT_TRUE(f.recordCountMismatch());
    EXPECT_EQ(f.header().recordCount, 224);
    EXPECT_EQ(f.recordCount(), 196);
    EXPECT_EQ(f.chainLength(), 7);
    t::PxDoc px;
    ASSERT_TRUE(px.open(dir_.file("ORDERS.DB")));
    for (int n = 0; n < f.recordCount(); ++n)
        ASSERT_TRUE(t::sameRecordAsPxlib(f, px.get(), n));
    std::vector<uint8_t> past(71);
    EXPECT_FALSE(f.readRecord(f.recordCount(), past.data()));
}

// A header counting more records than the blocks hold fails the export (the blocks' records are
// written); one counting fewer is noted. Either way the run reads no more than the file holds.
TEST_F(ParadoxChecks, HeaderCountBeyondTheBlocksFailsTheExport) {
    for (uint32_t count : {225u, 0x7FFFFFFFu, 0xFFFFFFFFu, 223u}) {
        t::putLe32(&bytes_[0x06], count);
        t::writeBytes(dir_.file("ORDERS.DB"), bytes_);
        quorv::ExportSettings settings;
        settings.outputType = quorv::OutputType::Csv;
        settings.outputPath = dir_.file("out.csv");
        settings.viewAfterExport = false;
        quorv::SourceTable table;
        table.path = dir_.file("ORDERS.DB");
        std::string error;
        ASSERT_TRUE(quorv::openSourceTable(table, settings, &error)) << error;
        const quorv::ExportResult result = quorv::runExport(table, settings);
        quorv::closeSourceTable(table);
        EXPECT_EQ(result.written, 224);
        EXPECT_EQ(result.ok, count < 224) << count;
        ASSERT_FALSE(result.problems.empty()) << count;
        EXPECT_NE(result.problems.back().find("the header counts " + std::to_string(count) +
                                              " records, its blocks hold 224"),
                  std::string::npos)
            << result.problems.back();
    }
}

// A block whose records were all deleted stays in the chain with "last record offset" -recordSize.
// It holds no records. (pxlib 0.6.8 reads that offset unsigned and counts 923 records in such a
// block, so it is not the reference here: the original file's records are.)
TEST_F(ParadoxChecks, EmptiedBlockHoldsNoRecords) {
    t::putLe16(block(2) + 4, static_cast<uint16_t>(-71));
    ParadoxFile f;
    ASSERT_EQ(openEdited(f), "");
    EXPECT_EQ(f.recordCount(), 196);
    EXPECT_EQ(f.chainLength(), 8);
    std::vector<uint8_t> mine(71);
    for (int n = 0; n < f.recordCount(); ++n) {
        const int was = n < 28 ? n : n + 28; // records of block 2 (28..55) are gone
        const size_t at =
            2048 + static_cast<size_t>(was / 28) * 2048 + 6 + static_cast<size_t>(was % 28) * 71;
        ASSERT_TRUE(f.readRecord(n, mine.data()));
        ASSERT_TRUE(std::equal(mine.begin(), mine.end(), original_.begin() + static_cast<long>(at))) << n;
    }
}

TEST_F(ParadoxChecks, HeaderFields) {
    expectRejected("file type 1", [&] { bytes_[0x04] = 1; });
    expectRejected("block size code 0", [&] { bytes_[0x05] = 0; });
    expectRejected("block size code 33", [&] { bytes_[0x05] = 33; });
    expectRejected("unknown file version", [&] { bytes_[0x39] = 13; });
    expectRejected("record size 0", [&] { t::putLe16(&bytes_[0], 0); });
    expectRejected("record size 65535", [&] { t::putLe16(&bytes_[0], 0xFFFF); });
    expectRejected("add up to 71", [&] { t::putLe16(&bytes_[0], 72); });
    expectRejected("field count 0", [&] { t::putLe16(&bytes_[0x21], 0); });
    expectRejected("field count 32767", [&] { t::putLe16(&bytes_[0x21], 0x7FFF); });
    expectRejected("field count 65535 outside", [&] { t::putLe16(&bytes_[0x21], 0xFFFF); });
    expectRejected("header size 16", [&] { t::putLe16(&bytes_[0x02], 16); });
    expectRejected("reaches block 65535", [&] { t::putLe16(&bytes_[0x0E], 0xFFFF); });
    expectRejected("header counts 0", [&] { t::putLe16(&bytes_[0x0C], 0); });
    expectRejected("exceeds the file size", [&] { t::putLe16(&bytes_[0x02], 0xFFFF); });
    expectRejected("field 1: unknown field type 7", [&] { bytes_[0x78] = 7; });
    expectRejected("field 3: type 2 needs size 4", [&] { bytes_[0x78 + 5] = 8; });
    expectRejected("field 1: type 4 needs size 4, descriptor says 8", [&] { bytes_[0x78] = 4; });
    expectRejected("field 5: type 1 size 0 outside 1..255", [&] { bytes_[0x78 + 9] = 0; });
    expectRejected("BCD with 33 decimals", [&] {
        bytes_[0x78] = 23;
        bytes_[0x79] = 33;
    });
    expectRejected("v3 header with the encryption word", [&] { bytes_[0x39] = 3; });
    expectRejected("field name 1 has length 0", [&] {
        const size_t names = 0x78 + 11 * 2 + 4 + 11 * 4 + 261;
        bytes_[names] = 0;
    });
    expectRejected("too short", [&] { bytes_.resize(40); });
}

TEST(ParadoxFileApi, MissingFile) {
    ParadoxFile f;
    std::string error;
    EXPECT_FALSE(f.open("/nonexistent/dir/TABLE.DB", &error));
    EXPECT_EQ(error.rfind(kPrefix, 0), 0u);
    EXPECT_FALSE(f.open("/nonexistent/dir/TABLE.DB", nullptr));
    uint8_t rec[4];
    EXPECT_FALSE(f.readRecord(0, rec));
    EXPECT_EQ(f.recordCount(), 0);
}
