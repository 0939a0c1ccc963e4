#include "export/excel/xls/xls_text.h"

#include "platform/codepage.h"

namespace quorv::xls {

std::u16string utf8ToUtf16(std::string_view in, size_t maxUnits) {
    std::u16string out;
    out.reserve(in.size() < maxUnits ? in.size() : maxUnits);
    size_t i = 0;
    while (i < in.size()) {
        const auto b0 = static_cast<unsigned char>(in[i]);
        char32_t cp = 0xFFFD;
        size_t len = 1;
        auto cont = [&](size_t k) {
            return i + k < in.size() && (static_cast<unsigned char>(in[i + k]) & 0xC0) == 0x80;
        };
        auto at = [&](size_t k) {
            return static_cast<char32_t>(static_cast<unsigned char>(in[i + k]) & 0x3F);
        };
        if (b0 < 0x80) {
            cp = b0;
        } else if (b0 >= 0xC2 && b0 < 0xE0 && cont(1)) {
            cp = ((b0 & 0x1F) << 6) | at(1);
            len = 2;
        } else if (b0 >= 0xE0 && b0 < 0xF0 && cont(1) && cont(2)) {
            char32_t v = ((b0 & 0x0F) << 12) | (at(1) << 6) | at(2);
            if (v >= 0x800 && (v < 0xD800 || v > 0xDFFF)) {
                cp = v;
                len = 3;
            }
        } else if (b0 >= 0xF0 && b0 < 0xF5 && cont(1) && cont(2) && cont(3)) {
            char32_t v = ((b0 & 0x07) << 18) | (at(1) << 12) | (at(2) << 6) | at(3);
            if (v >= 0x10000 && v <= 0x10FFFF) {
                cp = v;
                len = 4;
            }
        }
        if (cp >= 0x10000) {
            if (out.size() + 2 > maxUnits)
                break;
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 | (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
        } else {
            if (out.size() + 1 > maxUnits)
                break;
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view in) {
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        char32_t u = in[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        platform::appendUtf8CodePoint(out, u);
    }
    return out;
}

void appendLatin1AsUtf8(std::string &out, const unsigned char *p, size_t count) {
    for (size_t i = 0; i < count; ++i)
        platform::appendUtf8CodePoint(out, p[i]);
}

} // namespace quorv::xls
