#include "platform/codepage.h"

#include <array>
#include <cerrno>
#include <iconv.h>
#include <map>
#include <memory>
#include <mutex>

namespace quorv::platform {

namespace {

// The UTF-8 form of each byte of one code page; empty when the byte has no mapping.
struct ByteTable {
    std::array<std::string, 256> utf8;
    bool available = false;
};

std::string convertWithIconv(iconv_t cd, std::string_view in) {
    std::string out(in.size() * 4 + 8, '\0');
    char *inPtr = const_cast<char *>(in.data());
    size_t inLeft = in.size();
    char *outPtr = out.data();
    size_t outLeft = out.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1))
        return {};
    out.resize(out.size() - outLeft);
    return out;
}

const ByteTable &byteTable(int codePage) {
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<ByteTable>> tables;
    std::lock_guard<std::mutex> lock(mutex);
    auto &slot = tables[codePage];
    if (slot)
        return *slot;
    slot = std::make_unique<ByteTable>();
    iconv_t cd = iconv_open("UTF-8", iconvName(codePage).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        for (int b = 0; b < 128; ++b)
            slot->utf8[b] = std::string(1, static_cast<char>(b));
        return *slot;
    }
    slot->available = true;
    for (int b = 0; b < 256; ++b) {
        char byte = static_cast<char>(b);
        slot->utf8[b] = b == 0 ? std::string(1, '\0') : convertWithIconv(cd, std::string_view(&byte, 1));
    }
    iconv_close(cd);
    return *slot;
}

// Byte-to-byte map between two single-byte code pages; unmapped bytes map to themselves.
struct ByteMap {
    std::array<unsigned char, 256> to;
};

const ByteMap &byteMap(int from, int to) {
    static std::mutex mutex;
    static std::map<std::pair<int, int>, std::unique_ptr<ByteMap>> maps;
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = maps.find({from, to});
        if (it != maps.end())
            return *it->second;
    }
    auto map = std::make_unique<ByteMap>();
    for (int b = 0; b < 256; ++b)
        map->to[b] = static_cast<unsigned char>(b);
    const ByteTable &source = byteTable(from);
    const ByteTable &target = byteTable(to);
    if (source.available && target.available) {
        std::map<std::string, int> reverse;
        for (int b = 255; b >= 0; --b)
            if (!target.utf8[b].empty())
                reverse[target.utf8[b]] = b;
        for (int b = 128; b < 256; ++b) {
            auto it = source.utf8[b].empty() ? reverse.end() : reverse.find(source.utf8[b]);
            if (it != reverse.end())
                map->to[b] = static_cast<unsigned char>(it->second);
        }
    }
    std::lock_guard<std::mutex> lock(mutex);
    auto &slot = maps[{from, to}];
    if (!slot)
        slot = std::move(map);
    return *slot;
}

} // namespace

bool isWindowsCodePage(int codePage) { return codePage >= 1250 && codePage <= 1258; }

bool isDosCodePage(int codePage) {
    switch (codePage) {
    case 437: case 737: case 775: case 850: case 852: case 855: case 857: case 860:
    case 861: case 862: case 863: case 864: case 865: case 866: case 869:
        return true;
    default:
        return false;
    }
}

int ansiCodePageFor(int headerCodePage) {
    if (isWindowsCodePage(headerCodePage))
        return headerCodePage;
    switch (headerCodePage) {
    case 852: return 1250;
    case 855: case 866: return 1251;
    case 737: case 869: return 1253;
    case 857: return 1254;
    case 862: return 1255;
    case 864: return 1256;
    case 775: return 1257;
    default: return 1252; // 437, 850, 860, 863, 865 and every unknown page
    }
}

int oemCodePageFor(int headerCodePage) { return isDosCodePage(headerCodePage) ? headerCodePage : 437; }

std::string iconvName(int codePage) {
    if (codePage == kUtf8CodePage)
        return "UTF-8";
    return "CP" + std::to_string(codePage);
}

bool codePageAvailable(int codePage) { return codePage == kUtf8CodePage || byteTable(codePage).available; }

void convertSingleByte(char *text, size_t length, int fromCodePage, int toCodePage) {
    if (fromCodePage == toCodePage)
        return;
    const ByteMap &map = byteMap(fromCodePage, toCodePage);
    for (size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>(map.to[static_cast<unsigned char>(text[i])]);
}

void convertSingleByte(std::string &text, int fromCodePage, int toCodePage) {
    convertSingleByte(text.data(), text.size(), fromCodePage, toCodePage);
}

bool byteHasCharacter(int codePage, unsigned char byte) {
    return byte < 128 || !byteTable(codePage).utf8[byte].empty();
}

void appendUtf8(std::string &out, std::string_view text, int fromCodePage) {
    const ByteTable &table = byteTable(fromCodePage);
    const bool mapUndefined = table.available && fromCodePage != kUtf8CodePage;
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        if (b < 128) {
            out.push_back(c);
        } else if (!table.utf8[b].empty()) {
            out += table.utf8[b];
        } else if (mapUndefined) {
            out.push_back(static_cast<char>(0xC0 | (b >> 6)));
            out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        } else {
            out.push_back(c);
        }
    }
}

void appendUtf8CodePoint(std::string &out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string toUtf8(std::string_view text, int fromCodePage) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    appendUtf8(out, text, fromCodePage);
    return out;
}

std::string fromUtf8(std::string_view utf8, int toCodePage) {
    std::string out;
    iconv_t cd = iconv_open((iconvName(toCodePage) + "//TRANSLIT").c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(utf8);
    char *inPtr = const_cast<char *>(utf8.data());
    size_t inLeft = utf8.size();
    while (inLeft > 0) {
        char buffer[4096];
        char *outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            out.push_back('?');
            ++inPtr;
            --inLeft;
            while (inLeft > 0 && (static_cast<unsigned char>(*inPtr) & 0xC0) == 0x80) {
                ++inPtr;
                --inLeft;
            }
        }
    }
    iconv_close(cd);
    return out;
}

} // namespace quorv::platform

namespace quorv::platform {

namespace {

uint32_t decodeUtf8(const std::string &s) {
    if (s.empty())
        return 0;
    auto b0 = static_cast<unsigned char>(s[0]);
    if (b0 < 0x80 || s.size() < 2)
        return b0;
    auto cont = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(s[i]) & 0x3F); };
    if (b0 < 0xE0)
        return ((b0 & 0x1Fu) << 6) | cont(1);
    if (b0 < 0xF0 && s.size() >= 3)
        return ((b0 & 0x0Fu) << 12) | (cont(1) << 6) | cont(2);
    return 0;
}

uint32_t upperCodePoint(uint32_t c) {
    if (c >= 'a' && c <= 'z')
        return c - 32;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return c - 32;
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        bool oddLower = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddLower ? (c % 2 == 0) : (c % 2 == 1))
            return c - 1;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
        return c - 32;
    if (c >= 0x430 && c <= 0x44F)
        return c - 32;
    if (c >= 0x450 && c <= 0x45F)
        return c - 80;
    return c;
}

struct UpperMap {
    std::array<unsigned char, 256> to;
};

} // namespace

void upperCase(std::string &text, int codePage) {
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<UpperMap>> maps;
    const UpperMap *map;
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto &slot = maps[codePage];
        if (!slot) {
            slot = std::make_unique<UpperMap>();
            const ByteTable &table = byteTable(codePage);
            std::map<uint32_t, int> byCodePoint;
            for (int b = 0; b < 256; ++b)
                if (!table.utf8[b].empty())
                    byCodePoint.emplace(decodeUtf8(table.utf8[b]), b);
            for (int b = 0; b < 256; ++b) {
                slot->to[b] = static_cast<unsigned char>(b);
                if (b >= 'a' && b <= 'z')
                    slot->to[b] = static_cast<unsigned char>(b - 32);
                else if (b >= 128 && !table.utf8[b].empty()) {
                    auto it = byCodePoint.find(upperCodePoint(decodeUtf8(table.utf8[b])));
                    if (it != byCodePoint.end())
                        slot->to[b] = static_cast<unsigned char>(it->second);
                }
            }
        }
        map = slot.get();
    }
    for (char &c : text)
        c = static_cast<char>(map->to[static_cast<unsigned char>(c)]);
}

} // namespace quorv::platform
