// BCD decoding: the real BCD values in the corpus, hand-made byte patterns, and agreement with
// pxlib's PX_get_data_bcd wherever pxlib's text is right.
#include "paradox_test_support.h"
#include "source/bcd.h"
#include "source/paradox_file.h"

#include <array>
#include <random>

using quorv::decodeBcd;
namespace t = quorv::test;

namespace {

using Bcd = std::array<uint8_t, 17>;

// Builds a BCD value from up to 32 digits (integer digits then `decimals` fraction digits).
Bcd makeBcd(const std::string &digits, int decimals, bool negative) {
    Bcd b{};
    std::string all = std::string(32 - digits.size(), '0') + digits;
    b[0] = static_cast<uint8_t>((negative ? 0x40 : 0xC0) | decimals);
    for (int i = 0; i < 32; ++i) {
        int d = all[static_cast<size_t>(i)] - '0';
        if (negative)
            d = 15 - d;
        b[1 + i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? d << 4 : d);
    }
    return b;
}

std::string decode(const Bcd &b, int decimals, bool expectValue = true) {
    std::string out = "unset";
    EXPECT_EQ(decodeBcd(b.data(), decimals, out), expectValue);
    return out;
}

// Values of the BCD fields in a table, "<blank>" for blank ones.
std::vector<std::string> tableValues(const std::string &rel) {
    quorv::ParadoxFile f;
    std::string error;
    EXPECT_TRUE(f.open(t::corpusPath(rel), &error)) << error;
    std::vector<std::string> values;
    std::vector<uint8_t> rec(static_cast<size_t>(f.header().recordSize));
    for (int n = 0; n < f.recordCount(); ++n) {
        EXPECT_TRUE(f.readRecord(n, rec.data()));
        int pos = 0;
        for (const auto &fd : f.header().fields) {
            if (fd.type == 23) {
                std::string text;
                values.push_back(decodeBcd(rec.data() + pos, fd.decimals, text) ? text : "<blank>");
            }
            pos += fd.size;
        }
    }
    return values;
}

} // namespace

// bcd.db has BCD fields with 2, 0 and 32 decimals. The 32-decimal values were written from doubles
// with 18 significant digits (x87 packed BCD width) and junk nibbles after them, e.g. record 1 stores
// e0 12 29 99 99 99 99 99 99 98 0b 00 e0 00 00 bf 4a: 0.122999999999999998, the double nearest 0.123,
// then "0b00e00000bf4a". The true stored values: 0.122999999999999998, -0.122999999999999998 and
// 0.999900000000000011 (the double nearest 0.9999); record 3 holds 0.00 and a blank.
TEST(Bcd, RealTable) {
    QUORV_REQUIRE_CORPUS();
    const std::vector<std::string> bcd = {
        "1.23",  "1",       "0.12299999999999999800000000000000",
        "-1.23", "-1",      "-0.12299999999999999800000000000000",
        "0.00",  "<blank>", "0.99990000000000001100000000000000",
    };
    EXPECT_EQ(tableValues("paradoxdriver/fields/bcd.db"), bcd);
}

// Values with 1..31 decimals are compared with pxlib's text in AgreesWithPxlibWhereItIsRight, small ones
// with no decimals are in RealTable; here those left out: 32 digits, 32 decimals and zero.
TEST(Bcd, HandMadePatterns) {
    EXPECT_EQ(decode(makeBcd("12345678901234567890123456789012", 32, false), 32),
              "0.12345678901234567890123456789012");
    EXPECT_EQ(decode(makeBcd("1", 32, true), 32), "-0.00000000000000000000000000000001");
    EXPECT_EQ(decode(makeBcd("99999999999999999999999999999999", 0, false), 0),
              "99999999999999999999999999999999");
    // Zero in either sign is "0" with the field's decimals.
    EXPECT_EQ(decode(makeBcd("", 0, false), 0), "0");
    EXPECT_EQ(decode(makeBcd("", 2, false), 2), "0.00");
    EXPECT_EQ(decode(makeBcd("", 2, true), 2), "0.00");
    EXPECT_EQ(decode(makeBcd("", 32, false), 32), "0.00000000000000000000000000000000");
}

TEST(Bcd, BlankAndInvalid) {
    Bcd blank{};
    EXPECT_EQ(decode(blank, 2, false), "");
    // Decimals in the value differ from the field's.
    EXPECT_EQ(decode(makeBcd("123", 2, false), 3, false), "");
    std::string out = "x";
    EXPECT_FALSE(decodeBcd(makeBcd("1", 2, false).data(), 33, out));
    EXPECT_FALSE(decodeBcd(makeBcd("1", 2, false).data(), -1, out));
    EXPECT_FALSE(decodeBcd(nullptr, 2, out));
    EXPECT_EQ(out, "");
    // A non-digit among the significant digits is no number.
    Bcd bad = makeBcd("123", 2, false);
    bad[16] = 0x2A;
    EXPECT_EQ(decode(bad, 2, false), "");
    Bcd leading = makeBcd("", 32, false);
    leading[1] = 0xB0;
    EXPECT_EQ(decode(leading, 32, false), "");
    // Junk after 18 significant digits is dropped, whatever the decimals.
    Bcd junk = makeBcd("123456789012345678999999", 4, false);
    junk[16] = 0xFF;
    EXPECT_EQ(decode(junk, 4), "12345678901234567800.0000");
}

// pxlib's text is right for every all-digit value with 1..31 decimals except negative zero ("-0.00");
// it is wrong for 0 decimals ("1." - a trailing point) and for 32-decimal values with junk nibbles.
TEST(Bcd, AgreesWithPxlibWhereItIsRight) {
    pxdoc_t *doc = PX_new();
    ASSERT_NE(doc, nullptr);
    std::mt19937 rng(20240611);
    for (int round = 0; round < 5000; ++round) {
        const int decimals = 1 + static_cast<int>(rng() % 31);
        const int length = static_cast<int>(rng() % 33);
        std::string digits;
        for (int i = 0; i < length; ++i)
            digits.push_back(static_cast<char>('0' + rng() % 10));
        if (digits.find_first_not_of('0') == std::string::npos)
            digits = "7";
        const Bcd b = makeBcd(digits, decimals, rng() % 2 == 0);
        char *theirs = nullptr;
        ASSERT_EQ(PX_get_data_bcd(doc, const_cast<unsigned char *>(b.data()), decimals, &theirs), 1);
        std::string ours;
        ASSERT_TRUE(decodeBcd(b.data(), decimals, ours));
        EXPECT_EQ(ours, theirs) << "digits " << digits << " decimals " << decimals;
        doc->free(doc, theirs);
    }
    PX_delete(doc);
}
