#include "source/bcd.h"

namespace quorv {

namespace {
constexpr int kDigits = 32; // nibbles in bytes 1..16
constexpr int kWriterSignificantDigits = 18;
} // namespace

bool decodeBcd(const uint8_t *bytes, int decimals, std::string &out) {
    out.clear();
    if (!bytes || decimals < 0 || decimals > kDigits)
        return false;
    const uint8_t head = bytes[0];
    if (head == 0)
        return false; // blank
    if ((head & 0x3F) != decimals)
        return false;
    const bool negative = (head & 0x80) == 0;

    int digits[kDigits];
    bool junk = false;
    for (int i = 0; i < kDigits; ++i) {
        const uint8_t byte = bytes[1 + i / 2];
        int nibble = (i % 2 == 0) ? (byte >> 4) : (byte & 0x0F);
        if (negative)
            nibble = 15 - nibble;
        if (nibble > 9)
            junk = true;
        digits[i] = nibble;
    }
    if (junk) {
        // Keep the significant digits the writer produced; zero the junk after them.
        int significant = 0;
        for (int i = 0; i < kDigits; ++i) {
            if (significant >= kWriterSignificantDigits) {
                digits[i] = 0;
            } else if (digits[i] > 9) {
                return false; // a non-digit among the significant digits: not a number
            } else if (significant > 0 || digits[i] != 0) {
                ++significant;
            }
        }
    }

    const int intDigits = kDigits - decimals;
    std::string text;
    text.reserve(kDigits + 3);
    int i = 0;
    while (i < intDigits && digits[i] == 0)
        ++i;
    if (i == intDigits)
        text.push_back('0');
    for (; i < intDigits; ++i)
        text.push_back(static_cast<char>('0' + digits[i]));
    if (decimals > 0) {
        text.push_back('.');
        for (int k = intDigits; k < kDigits; ++k)
            text.push_back(static_cast<char>('0' + digits[k]));
    }
    bool zero = true;
    for (int d : digits)
        zero = zero && d == 0;
    if (negative && !zero)
        text.insert(text.begin(), '-');
    out = std::move(text);
    return true;
}

} // namespace quorv
