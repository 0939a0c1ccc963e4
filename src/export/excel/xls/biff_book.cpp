#include "export/excel/xls/biff_book.h"

#include "export/excel/xls/compound_file.h"
#include "export/excel/xls/xls_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace quorv::xls {

namespace {

// Record types.
enum : uint16_t {
    kFormula = 0x0006,
    kEof = 0x000A,
    kCalcCount = 0x000C,
    kCalcMode = 0x000D,
    kRefMode = 0x000F,
    kDelta = 0x0010,
    kIteration = 0x0011,
    kDateMode = 0x0022,
    kPrintHeaders = 0x002A,
    kPrintGridlines = 0x002B,
    kFont = 0x0031,
    kContinue = 0x003C,
    kWindow1 = 0x003D,
    kBackup = 0x0040,
    kPane = 0x0041,
    kCodepage = 0x0042,
    kDefColWidth = 0x0055,
    kWriteAccess = 0x005C,
    kSaveRecalc = 0x005F,
    kColInfo = 0x007D,
    kGuts = 0x0080,
    kWsBool = 0x0081,
    kGridSet = 0x0082,
    kBoundSheet = 0x0085,
    kHideObj = 0x008D,
    kMulRk = 0x00BD,
    kMms = 0x00C1,
    kRString = 0x00D6,
    kXf = 0x00E0,
    kInterfaceHdr = 0x00E1,
    kInterfaceEnd = 0x00E2,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kExtSst = 0x00FF,
    kTabId = 0x013D,
    kDsf = 0x0161,
    kDimensions = 0x0200,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kBof = 0x0809,
    kDefaultRowHeight = 0x0225,
    kWindow2 = 0x023E,
    kRk = 0x027E,
    kStyle = 0x0293,
    kFormat = 0x041E,
    kPrecision = 0x000E,
    kBookBool = 0x00DA,
};

constexpr size_t kMaxRecordData = 8224;
constexpr uint16_t kCellXf = 15;
constexpr uint16_t kDateXf = 21;
constexpr uint16_t kBiff8 = 0x0600;

// ---------------------------------------------------------------------------------------------
// Writing

struct Out {
    std::string &s;
    void u8(uint8_t v) { s.push_back(static_cast<char>(v)); }
    void u16(uint16_t v) {
        s.push_back(static_cast<char>(v & 0xFF));
        s.push_back(static_cast<char>(v >> 8));
    }
    void u32(uint32_t v) {
        u16(static_cast<uint16_t>(v & 0xFFFF));
        u16(static_cast<uint16_t>(v >> 16));
    }
    void f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        u32(static_cast<uint32_t>(bits));
        u32(static_cast<uint32_t>(bits >> 32));
    }
    void bytes(std::string_view b) { s.append(b); }
    // Record header; the caller passes the payload length up front.
    void head(uint16_t type, size_t len) {
        u16(type);
        u16(static_cast<uint16_t>(len));
    }
};

void patch16(std::string &s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}
void patch32(std::string &s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

bool fitsLatin1(std::u16string_view u) {
    return std::all_of(u.begin(), u.end(), [](char16_t c) { return c < 0x100; });
}

// Character bytes of a string: one byte per character when all fit in Latin-1, else UTF-16LE.
void appendChars(std::string &s, std::u16string_view u, bool compressed) {
    for (char16_t c : u) {
        s.push_back(static_cast<char>(c & 0xFF));
        if (!compressed)
            s.push_back(static_cast<char>(c >> 8));
    }
}

// A record holding only a string: the 8- or 16-bit character count, the flags byte and the characters.
std::string unicodeString(std::u16string_view u, bool shortCount) {
    std::string s;
    Out o{s};
    const bool compressed = fitsLatin1(u);
    if (shortCount)
        o.u8(static_cast<uint8_t>(u.size()));
    else
        o.u16(static_cast<uint16_t>(u.size()));
    o.u8(compressed ? 0 : 1);
    appendChars(s, u, compressed);
    return s;
}

void record(std::string &s, uint16_t type, std::string_view payload) {
    Out o{s};
    o.head(type, payload.size());
    o.bytes(payload);
}

void record16(std::string &s, uint16_t type, uint16_t value) {
    Out o{s};
    o.head(type, 2);
    o.u16(value);
}

bool toRk(double v, uint32_t *rk) {
    if (std::signbit(v) && v == 0)
        return false;
    if (v >= -536870912.0 && v <= 536870911.0 && v == std::floor(v)) {
        *rk = (static_cast<uint32_t>(static_cast<int32_t>(v)) << 2) | 2u;
        return true;
    }
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    if ((bits & 0x3FFFFFFFFull) == 0) {
        *rk = static_cast<uint32_t>(bits >> 32);
        return true;
    }
    return false;
}

void writeFont(std::string &s) {
    static constexpr std::u16string_view kName = u"Arial";
    std::string p;
    Out o{p};
    o.u16(200);    // height in twips: 10 points
    o.u16(0);      // attributes
    o.u16(0x7FFF); // automatic colour
    o.u16(400);    // normal weight
    o.u16(0);      // no super- or subscript
    o.u8(0);       // no underline
    o.u8(2);       // swiss family
    o.u8(0);       // ANSI character set
    o.u8(0);
    p += unicodeString(kName, true);
    record(s, kFont, p);
}

void writeXf(std::string &s, uint16_t font, uint16_t format, bool style, uint8_t usedFlags) {
    Out o{s};
    o.head(kXf, 20);
    o.u16(font);
    o.u16(format);
    o.u16(style ? 0xFFF5 : 0x0001); // style: locked, parent 0xFFF; cell: locked, parent style 0
    o.u8(0x20);                     // general horizontal, bottom vertical alignment
    o.u8(0);
    o.u8(0);
    o.u8(usedFlags);
    o.u32(0); // borders
    o.u32(0);
    o.u16(0x20C0); // pattern colours: automatic
}

void writeStyle(std::string &s, uint16_t xf, uint8_t builtin) {
    Out o{s};
    o.head(kStyle, 4);
    o.u16(static_cast<uint16_t>(0x8000 | xf));
    o.u8(builtin);
    o.u8(0xFF);
}

// SST records: strings go on in CONTINUE records once a record holds 8224 bytes. A string's header
// never splits; when its characters do, the CONTINUE starts with the flags byte again.
class SstWriter {
  public:
    SstWriter(std::string &s, uint32_t total, uint32_t unique) : s_(s), unique_(unique) {
        bucketSize_ = std::max<uint32_t>(8, (unique + 127) / 128);
        begin(kSst);
        Out o{s_};
        o.u32(total);
        o.u32(unique);
        used_ = 8;
    }

    void add(std::u16string_view u) {
        const bool compressed = fitsLatin1(u);
        const size_t charSize = compressed ? 1 : 2;
        if (room() < 3 + (u.empty() ? 0 : charSize))
            next();
        if (count_ % bucketSize_ == 0) {
            buckets_.push_back(
                {static_cast<uint32_t>(s_.size()), static_cast<uint16_t>(s_.size() - recStart_)});
        }
        ++count_;
        Out o{s_};
        o.u16(static_cast<uint16_t>(u.size()));
        o.u8(compressed ? 0 : 1);
        used_ += 3;
        while (!u.empty()) {
            size_t n = std::min(u.size(), room() / charSize);
            appendChars(s_, u.substr(0, n), compressed);
            used_ += n * charSize;
            u.remove_prefix(n);
            if (!u.empty()) {
                next();
                o.u8(compressed ? 0 : 1);
                used_ += 1;
            }
        }
    }

    void finish() {
        patch16(s_, recStart_ + 2, static_cast<uint16_t>(used_));
        Out o{s_};
        o.head(kExtSst, 2 + 8 * buckets_.size());
        o.u16(static_cast<uint16_t>(bucketSize_));
        for (const Bucket &b : buckets_) {
            o.u32(b.streamPos);
            o.u16(b.recordOffset);
            o.u16(0);
        }
    }

  private:
    struct Bucket {
        uint32_t streamPos;
        uint16_t recordOffset;
    };
    size_t room() const { return kMaxRecordData - used_; }
    void begin(uint16_t type) {
        recStart_ = s_.size();
        Out o{s_};
        o.head(type, 0);
        used_ = 0;
    }
    void next() {
        patch16(s_, recStart_ + 2, static_cast<uint16_t>(used_));
        begin(kContinue);
    }

    std::string &s_;
    [[maybe_unused]] uint32_t unique_;
    uint32_t bucketSize_ = 8;
    uint32_t count_ = 0;
    size_t recStart_ = 0;
    size_t used_ = 0;
    std::vector<Bucket> buckets_;
};

// ---------------------------------------------------------------------------------------------
// Reading

// One logical record: its payload with any CONTINUE records appended. `starts` holds the payload
// offsets at which each CONTINUE began; strings whose characters cross one carry a new flags byte.
struct Record {
    uint16_t type = 0;
    std::string_view data;
    std::vector<size_t> starts;
    std::string joined;
};

class RecordReader {
  public:
    RecordReader(std::string_view stream, size_t pos) : s_(stream), pos_(pos) {}

    // False at the end of the stream or on a truncated record (then *error is set).
    bool next(Record &r, std::string *error) {
        r.starts.clear();
        if (pos_ + 4 > s_.size()) {
            *error = "records end without an EOF record (cut short?)";
            return false;
        }
        r.type = get16(pos_);
        size_t len = get16(pos_ + 2);
        if (pos_ + 4 + len > s_.size()) {
            *error = "truncated record in the workbook stream";
            return false;
        }
        r.data = s_.substr(pos_ + 4, len);
        pos_ += 4 + len;
        bool joined = false;
        while (pos_ + 4 <= s_.size() && get16(pos_) == kContinue && r.type != kContinue) {
            size_t clen = get16(pos_ + 2);
            if (pos_ + 4 + clen > s_.size()) {
                *error = "truncated CONTINUE record in the workbook stream";
                return false;
            }
            if (!joined) {
                r.joined.assign(r.data);
                joined = true;
            }
            r.starts.push_back(r.joined.size());
            r.joined.append(s_.substr(pos_ + 4, clen));
            pos_ += 4 + clen;
        }
        if (joined)
            r.data = r.joined;
        return true;
    }

  private:
    uint16_t get16(size_t at) const {
        return static_cast<uint16_t>(static_cast<unsigned char>(s_[at]) |
                                     (static_cast<unsigned char>(s_[at + 1]) << 8));
    }
    std::string_view s_;
    size_t pos_;
};

// Reads fields from a record payload; running past the end sets ok = false and yields zeros.
struct Cursor {
    const Record &r;
    size_t p = 0;
    bool ok = true;

    explicit Cursor(const Record &rec, size_t start = 0) : r(rec), p(start) {}

    bool has(size_t n) const { return ok && p + n <= r.data.size(); }
    uint64_t le(size_t n) {
        if (!has(n)) {
            ok = false;
            return 0;
        }
        uint64_t v = 0;
        for (size_t i = n; i-- > 0;)
            v = (v << 8) | static_cast<unsigned char>(r.data[p + i]);
        p += n;
        return v;
    }
    uint8_t u8() { return static_cast<uint8_t>(le(1)); }
    uint16_t u16() { return static_cast<uint16_t>(le(2)); }
    uint32_t u32() { return static_cast<uint32_t>(le(4)); }
    double f64() {
        uint64_t bits = le(8);
        double v;
        std::memcpy(&v, &bits, 8);
        return v;
    }
    void skip(uint64_t n) {
        if (!ok || n > r.data.size() - p) {
            ok = false;
            return;
        }
        p += static_cast<size_t>(n);
    }
    bool atContinueStart() const { return std::binary_search(r.starts.begin(), r.starts.end(), p); }
    size_t segmentEnd() const {
        auto it = std::upper_bound(r.starts.begin(), r.starts.end(), p);
        return it == r.starts.end() ? r.data.size() : *it;
    }

    // The flags byte, optional rich-text and phonetic sizes, the characters (which may cross into
    // CONTINUE records) and the trailing formatting runs, which are skipped.
    std::string str(size_t count) {
        uint8_t flags = u8();
        bool wide = flags & 1;
        uint16_t runs = (flags & 8) ? u16() : 0;
        uint32_t ext = (flags & 4) ? u32() : 0;
        std::u16string units;
        units.reserve(std::min(count, r.data.size()));
        while (ok && units.size() < count) {
            if (p > 0 && p < r.data.size() && atContinueStart()) {
                wide = u8() & 1;
                continue;
            }
            size_t avail = segmentEnd() - p;
            size_t charSize = wide ? 2 : 1;
            size_t n = std::min(count - units.size(), avail / charSize);
            if (n == 0) {
                ok = false;
                break;
            }
            for (size_t i = 0; i < n; ++i) {
                auto lo = static_cast<unsigned char>(r.data[p]);
                auto hi = wide ? static_cast<unsigned char>(r.data[p + 1]) : 0;
                units.push_back(static_cast<char16_t>(lo | (hi << 8)));
                p += charSize;
            }
        }
        skip(uint64_t{runs} * 4);
        skip(ext);
        return ok ? utf16ToUtf8(units) : std::string();
    }
};

bool isBuiltinDateFormat(uint16_t f) {
    return (f >= 14 && f <= 22) || (f >= 45 && f <= 47);
}

// A format code shows a date or time when, outside quoted text, escapes and [..] sections (colours,
// locales; elapsed-time brackets count), it has one of the letters y, m, d, h, s.
bool isDateFormatCode(std::string_view code) {
    for (size_t i = 0; i < code.size(); ++i) {
        char c = code[i];
        if (c == '"') {
            size_t end = code.find('"', i + 1);
            if (end == std::string_view::npos)
                return false;
            i = end;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            size_t end = code.find(']', i + 1);
            if (end == std::string_view::npos)
                return false;
            std::string_view inner = code.substr(i + 1, end - i - 1);
            if (!inner.empty() && inner.find_first_not_of("hHmMsS") == std::string_view::npos)
                return true;
            i = end;
        } else if (c != '\0' && std::strchr("yYmMdDhHsS", c)) {
            return true;
        }
    }
    return false;
}

const char *errorText(uint8_t code) {
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    case 0x2A:
        return "#N/A";
    default:
        return "#VALUE!";
    }
}

double fromRk(uint32_t rk) {
    double v;
    if (rk & 2) {
        v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
    } else {
        uint64_t bits = uint64_t{rk & 0xFFFFFFFCu} << 32;
        std::memcpy(&v, &bits, 8);
    }
    return (rk & 1) ? v / 100 : v;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Model

XlsBook::XlsBook() = default;

uint32_t XlsBook::StringPool::intern(std::string_view s) {
    if ((size() + 1) * 2 > slots_.size())
        rehash(std::max<size_t>(64, slots_.size() * 2));
    const size_t mask = slots_.size() - 1;
    size_t h = std::hash<std::string_view>{}(s)&mask;
    while (slots_[h] != 0) {
        if (at(slots_[h] - 1) == s)
            return slots_[h] - 1;
        h = (h + 1) & mask;
    }
    uint32_t index = size();
    offsets_.push_back(data_.size());
    lengths_.push_back(static_cast<uint32_t>(s.size()));
    data_.append(s);
    slots_[h] = index + 1;
    return index;
}

void XlsBook::StringPool::rehash(size_t count) {
    slots_.assign(count, 0);
    const size_t mask = count - 1;
    for (uint32_t i = 0; i < size(); ++i) {
        size_t h = std::hash<std::string_view>{}(at(i)) & mask;
        while (slots_[h] != 0)
            h = (h + 1) & mask;
        slots_[h] = i + 1;
    }
}

int XlsBook::addSheet(const std::string &nameUtf8) {
    Sheet s;
    s.name = nameUtf8;
    sheets_.push_back(std::move(s));
    return static_cast<int>(sheets_.size()) - 1;
}

const XlsBook::Sheet &XlsBook::sheetAt(int sheet) const {
    if (sheet < 0 || sheet >= sheetCount())
        throw std::out_of_range("xls: no sheet " + std::to_string(sheet));
    return sheets_[static_cast<size_t>(sheet)];
}

XlsBook::Sheet &XlsBook::sheetAt(int sheet, int row, int col) {
    if (sheet < 0 || sheet >= sheetCount())
        throw std::out_of_range("xls: no sheet " + std::to_string(sheet));
    if (row < 0 || row >= kMaxRows || col < 0 || col >= kMaxColumns)
        throw std::out_of_range("xls: cell (" + std::to_string(row) + ", " + std::to_string(col) +
                                ") is outside a sheet");
    return sheets_[static_cast<size_t>(sheet)];
}

const std::string &XlsBook::sheetName(int sheet) const {
    return sheetAt(sheet).name;
}

void XlsBook::put(int sheet, int row, int col, uint8_t kind, uint32_t text, double number) {
    Sheet &s = sheetAt(sheet, row, col);
    if (s.rows.size() <= static_cast<size_t>(row))
        s.rows.resize(static_cast<size_t>(row) + 1);
    auto &r = s.rows[static_cast<size_t>(row)];
    const StoredCell c{static_cast<uint16_t>(col), kind, text, number};
    if (r.empty() || r.back().col < col) {
        r.push_back(c);
        ++s.cells;
        return;
    }
    auto it = std::lower_bound(r.begin(), r.end(), col, [](const StoredCell &a, int b) { return a.col < b; });
    if (it != r.end() && it->col == col) {
        *it = c;
    } else {
        r.insert(it, c);
        ++s.cells;
    }
}

void XlsBook::writeText(int sheet, int row, int col, const std::string &utf8) {
    sheetAt(sheet, row, col);
    if (utf8.size() <= kMaxTextLength) {
        put(sheet, row, col, kTextCell, strings_.intern(utf8), 0);
        return;
    }
    // UTF-16 is never longer than UTF-8, so only long text can need cutting.
    std::u16string units = utf8ToUtf16(utf8, kMaxTextLength);
    put(sheet, row, col, kTextCell, strings_.intern(utf16ToUtf8(units)), 0);
}

void XlsBook::writeNumber(int sheet, int row, int col, double v) {
    put(sheet, row, col, kNumberCell, 0, v);
}
void XlsBook::writeDate(int sheet, int row, int col, double serial) {
    put(sheet, row, col, kDateCell, 0, serial);
}
void XlsBook::writeLogical(int sheet, int row, int col, bool v) {
    put(sheet, row, col, kLogicalCell, 0, v ? 1 : 0);
}

void XlsBook::setColumnWidth(int sheet, int firstCol, int lastCol, double width) {
    Sheet &s = sheetAt(sheet, 0, firstCol);
    sheetAt(sheet, 0, lastCol);
    if (s.widths.empty())
        s.widths.assign(kMaxColumns, 0);
    double units = std::round(std::clamp(width, 0.0, 255.0) * 256);
    for (int c = firstCol; c <= lastCol; ++c)
        s.widths[static_cast<size_t>(c)] = static_cast<uint16_t>(std::min(units, 65535.0));
}

void XlsBook::freezeFirstRow(int sheet) {
    sheetAt(sheet, 0, 0).frozenRows = 1;
}

XlsCell XlsBook::toCell(const StoredCell &c) const {
    XlsCell out;
    switch (c.kind) {
    case kTextCell:
        out.kind = XlsCell::Kind::Text;
        out.text = std::string(strings_.at(c.text));
        break;
    case kNumberCell:
        out.kind = XlsCell::Kind::Number;
        out.number = c.number;
        break;
    case kDateCell:
        out.kind = XlsCell::Kind::Date;
        out.number = c.number;
        break;
    default:
        out.kind = XlsCell::Kind::Logical;
        out.logical = c.number != 0;
        out.number = c.number;
        break;
    }
    return out;
}

std::optional<XlsCell> XlsBook::cell(int sheet, int row, int col) const {
    const Sheet &s = sheetAt(sheet);
    if (row < 0 || static_cast<size_t>(row) >= s.rows.size())
        return std::nullopt;
    const auto &r = s.rows[static_cast<size_t>(row)];
    auto it = std::lower_bound(r.begin(), r.end(), col, [](const StoredCell &a, int b) { return a.col < b; });
    if (it == r.end() || it->col != col)
        return std::nullopt;
    return toCell(*it);
}

void XlsBook::forEachCell(int sheet, const std::function<void(int, int, const XlsCell &)> &visit) const {
    const Sheet &s = sheetAt(sheet);
    for (size_t r = 0; r < s.rows.size(); ++r)
        for (const StoredCell &c : s.rows[r])
            visit(static_cast<int>(r), c.col, toCell(c));
}

size_t XlsBook::cellCount(int sheet) const {
    return sheetAt(sheet).cells;
}

int XlsBook::rowCount(int sheet) const {
    const Sheet &s = sheetAt(sheet);
    for (size_t r = s.rows.size(); r-- > 0;)
        if (!s.rows[r].empty())
            return static_cast<int>(r) + 1;
    return 0;
}

int XlsBook::columnCount(int sheet) const {
    int n = 0;
    for (const auto &r : sheetAt(sheet).rows)
        if (!r.empty())
            n = std::max(n, r.back().col + 1);
    return n;
}

double XlsBook::columnWidth(int sheet, int col) const {
    const Sheet &s = sheetAt(sheet);
    if (col < 0 || static_cast<size_t>(col) >= s.widths.size())
        return 0;
    return s.widths[static_cast<size_t>(col)] / 256.0;
}

int XlsBook::frozenRows(int sheet) const {
    return sheetAt(sheet).frozenRows;
}

// ---------------------------------------------------------------------------------------------
// Saving

std::string XlsBook::workbookStream() const {
    size_t cellTotal = 0;
    uint32_t textCells = 0;
    for (const Sheet &sh : sheets_) {
        cellTotal += sh.cells;
        for (const auto &r : sh.rows)
            for (const StoredCell &c : r)
                textCells += c.kind == kTextCell;
    }
    std::string s;
    s.reserve(4096 + cellTotal * 14 + strings_.size() * 8);
    Out o{s};

    auto bof = [&](uint16_t type) {
        o.head(kBof, 16);
        o.u16(kBiff8);
        o.u16(type);
        o.u16(0x0DBB);
        o.u16(0x07CC);
        o.u32(0);
        o.u32(6);
    };

    // Globals.
    bof(0x0005);
    record16(s, kInterfaceHdr, 1200);
    record16(s, kMms, 0);
    record(s, kInterfaceEnd, {});
    {
        std::string p = unicodeString(u"Quorvane", false);
        p.resize(112, ' ');
        record(s, kWriteAccess, p);
    }
    record16(s, kCodepage, 1200);
    record16(s, kDsf, 0);
    {
        o.head(kTabId, 2 * sheets_.size());
        for (size_t i = 0; i < sheets_.size(); ++i)
            o.u16(static_cast<uint16_t>(i + 1));
    }
    o.head(kWindow1, 18);
    o.u16(360); // position and size, in twips
    o.u16(270);
    o.u16(14940);
    o.u16(9150);
    o.u16(0x0038); // horizontal and vertical scroll bars, sheet tabs
    o.u16(0);      // active sheet
    o.u16(0);      // first visible tab
    o.u16(1);      // selected sheets
    o.u16(600);    // tab bar width ratio
    record16(s, kBackup, 0);
    record16(s, kHideObj, 0);
    record16(s, kDateMode, 0);
    record16(s, kPrecision, 1);
    record16(s, kBookBool, 0);
    for (int i = 0; i < 5; ++i) // font index 4 does not exist: these are fonts 0, 1, 2, 3 and 5
        writeFont(s);
    static constexpr std::pair<uint16_t, std::u16string_view> kFormats[] = {
        {41, u"_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)"},
        {42, u"_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)"},
        {43, u"_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)"},
        {44, u"_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"??_);_(@_)"},
    };
    for (const auto &[index, code] : kFormats) {
        std::string p;
        Out po{p};
        po.u16(index);
        p += unicodeString(code, false);
        record(s, kFormat, p);
    }
    // The usual 21 XFs: style XFs 0-14, the default cell XF 15, the number styles 16-20; then the
    // date cell XF 21.
    writeXf(s, 0, 0, true, 0x00);
    for (uint16_t i = 1; i <= 14; ++i)
        writeXf(s, i <= 2 ? 1 : (i <= 4 ? 2 : 0), 0, true, 0xF4);
    writeXf(s, 0, 0, false, 0x00);
    writeXf(s, 1, 43, true, 0xF8);
    writeXf(s, 1, 41, true, 0xF8);
    writeXf(s, 1, 44, true, 0xF8);
    writeXf(s, 1, 42, true, 0xF8);
    writeXf(s, 1, 9, true, 0xF8);
    writeXf(s, 0, 14, false, 0x04);
    writeStyle(s, 0, 0);  // Normal
    writeStyle(s, 16, 3); // Comma
    writeStyle(s, 17, 6); // Comma [0]
    writeStyle(s, 18, 4); // Currency
    writeStyle(s, 19, 7); // Currency [0]
    writeStyle(s, 20, 5); // Percent

    std::vector<size_t> sheetOffsetAt;
    for (const Sheet &sh : sheets_) {
        std::u16string name = utf8ToUtf16(sh.name, kMaxSheetNameLength);
        std::string p;
        Out po{p};
        po.u32(0); // patched below
        po.u8(0);  // visible
        po.u8(0);  // worksheet
        p += unicodeString(name, true);
        sheetOffsetAt.push_back(s.size() + 4);
        record(s, kBoundSheet, p);
    }
    o.head(0x008C, 4); // COUNTRY: United States
    o.u16(1);
    o.u16(1);

    {
        SstWriter sst(s, textCells, strings_.size());
        for (uint32_t i = 0; i < strings_.size(); ++i)
            sst.add(utf8ToUtf16(strings_.at(i)));
        sst.finish();
    }
    o.head(kEof, 0);

    // Worksheets.
    for (size_t si = 0; si < sheets_.size(); ++si) {
        const Sheet &sh = sheets_[si];
        patch32(s, sheetOffsetAt[si], static_cast<uint32_t>(s.size()));
        bof(0x0010);
        record16(s, kCalcMode, 1);
        record16(s, kCalcCount, 100);
        record16(s, kRefMode, 1);
        record16(s, kIteration, 0);
        o.head(kDelta, 8);
        o.f64(0.001);
        record16(s, kSaveRecalc, 1);
        record16(s, kPrintHeaders, 0);
        record16(s, kPrintGridlines, 0);
        record16(s, kGridSet, 1);
        o.head(kGuts, 8);
        o.u32(0);
        o.u32(0);
        o.head(kDefaultRowHeight, 4);
        o.u16(0);
        o.u16(255);
        record16(s, kWsBool, 0x04C1);
        record16(s, kDefColWidth, 8);
        for (size_t c = 0; c < sh.widths.size();) {
            size_t e = c;
            while (e + 1 < sh.widths.size() && sh.widths[e + 1] == sh.widths[c])
                ++e;
            if (sh.widths[c] != 0) {
                o.head(kColInfo, 12);
                o.u16(static_cast<uint16_t>(c));
                o.u16(static_cast<uint16_t>(e));
                o.u16(sh.widths[c]);
                o.u16(kCellXf);
                o.u16(0);
                o.u16(0);
            }
            c = e + 1;
        }

        uint32_t firstRow = 0, lastRow = 0;
        uint16_t firstCol = 0xFFFF, lastCol = 0;
        bool any = false;
        for (size_t r = 0; r < sh.rows.size(); ++r) {
            if (sh.rows[r].empty())
                continue;
            if (!any)
                firstRow = static_cast<uint32_t>(r);
            any = true;
            lastRow = static_cast<uint32_t>(r);
            firstCol = std::min(firstCol, sh.rows[r].front().col);
            lastCol = std::max(lastCol, sh.rows[r].back().col);
        }
        o.head(kDimensions, 14);
        o.u32(any ? firstRow : 0);
        o.u32(any ? lastRow + 1 : 0);
        o.u16(any ? firstCol : 0);
        o.u16(any ? static_cast<uint16_t>(lastCol + 1) : 0);
        o.u16(0);

        for (size_t r = 0; r < sh.rows.size(); ++r) {
            const auto row = static_cast<uint16_t>(r);
            for (const StoredCell &c : sh.rows[r]) {
                uint32_t rk = 0;
                switch (c.kind) {
                case kTextCell:
                    o.head(kLabelSst, 10);
                    o.u16(row);
                    o.u16(c.col);
                    o.u16(kCellXf);
                    o.u32(c.text);
                    break;
                case kLogicalCell:
                    o.head(kBoolErr, 8);
                    o.u16(row);
                    o.u16(c.col);
                    o.u16(kCellXf);
                    o.u8(c.number != 0);
                    o.u8(0);
                    break;
                default: {
                    const uint16_t xf = c.kind == kDateCell ? kDateXf : kCellXf;
                    if (!std::isfinite(c.number)) { // Excel has no infinities or NaNs: #NUM!
                        o.head(kBoolErr, 8);
                        o.u16(row);
                        o.u16(c.col);
                        o.u16(xf);
                        o.u8(0x24);
                        o.u8(1);
                    } else if (toRk(c.number, &rk)) {
                        o.head(kRk, 10);
                        o.u16(row);
                        o.u16(c.col);
                        o.u16(xf);
                        o.u32(rk);
                    } else {
                        o.head(kNumber, 14);
                        o.u16(row);
                        o.u16(c.col);
                        o.u16(xf);
                        o.f64(c.number);
                    }
                    break;
                }
                }
            }
        }

        uint16_t flags = 0x00B6; // gridlines, headers, zeros, default header colour, outline symbols
        if (si == 0)
            flags |= 0x0600; // selected and shown
        const uint16_t frozen = static_cast<uint16_t>(std::min(sh.frozenRows, kMaxRows - 1));
        if (frozen > 0)
            flags |= 0x0108; // frozen panes, not split
        o.head(kWindow2, 18);
        o.u16(flags);
        o.u16(0);
        o.u16(0);
        o.u32(64);
        o.u16(0);
        o.u16(0);
        o.u32(0);
        if (frozen > 0) {
            o.head(kPane, 10);
            o.u16(0);      // no vertical split
            o.u16(frozen); // rows above the horizontal split
            o.u16(frozen); // first row shown below it
            o.u16(0);
            o.u16(2); // the lower pane is active
        }
        o.head(kEof, 0);
    }
    return s;
}

bool XlsBook::save(const std::string &path, std::string *error) const {
    if (sheets_.empty()) {
        if (error)
            *error = "a workbook needs at least one sheet";
        return false;
    }
    std::string stream = workbookStream();
    // Excel itself never writes a Workbook stream small enough for the mini stream; padding keeps
    // small books in regular sectors too. Readers stop at the last sheet's EOF.
    if (stream.size() < 4096)
        stream.resize(4096, '\0');
    if (stream.size() > 0xFFFFFFFFull) {
        if (error)
            *error = "workbook is too large for the .xls format";
        return false;
    }
    return writeCompoundFile(path, {{"Workbook", stream}}, error);
}

// ---------------------------------------------------------------------------------------------
// Loading

class BiffLoader {
  public:
    BiffLoader(std::string_view stream, XlsBook &book) : s_(stream), book_(book) {}

    bool run(std::string *error) {
        if (!globals(error))
            return false;
        // Each sheet is read up to the next one's offset at most, so that damaged offsets cannot
        // make the loader walk the stream over and over.
        std::vector<uint32_t> offsets;
        for (const SheetRef &ref : sheetRefs_)
            offsets.push_back(ref.offset);
        std::sort(offsets.begin(), offsets.end());
        if (std::adjacent_find(offsets.begin(), offsets.end()) != offsets.end())
            return fail(error, "two sheets have the same offset in the workbook stream");
        for (const SheetRef &ref : sheetRefs_) {
            if (ref.type != 0)
                continue; // charts, macro and module sheets hold no cell table
            auto next = std::upper_bound(offsets.begin(), offsets.end(), ref.offset);
            size_t end = next == offsets.end() ? s_.size() : std::min<size_t>(*next, s_.size());
            if (!sheet(ref, end, error))
                return false;
        }
        return true;
    }

  private:
    struct SheetRef {
        uint32_t offset;
        uint8_t type;
        std::string name;
    };

    static bool fail(std::string *error, std::string message) {
        *error = std::move(message);
        return false;
    }

    bool globals(std::string *error) {
        RecordReader rr(s_, 0);
        Record r;
        if (!rr.next(r, error))
            return fail(error, "not an Excel workbook: " + *error);
        {
            Cursor c(r);
            uint16_t version = c.u16();
            uint16_t type = c.u16();
            if (r.type != kBof || !c.ok || version != kBiff8 || type != 0x0005)
                return fail(error, "not an Excel 97-2003 (BIFF8) workbook");
        }
        for (;;) {
            if (!rr.next(r, error))
                return false;
            Cursor c(r);
            switch (r.type) {
            case kEof:
                return true;
            case kDateMode:
                date1904_ = c.u16() != 0;
                break;
            case kFormat: {
                uint16_t index = c.u16();
                uint16_t count = c.u16();
                std::string code = c.str(count);
                if (c.ok && isDateFormatCode(code))
                    dateFormats_.push_back(index);
                break;
            }
            case kXf: {
                c.u16();
                uint16_t format = c.u16();
                if (!c.ok)
                    return fail(error, "corrupt XF record");
                xfFormats_.push_back(format);
                break;
            }
            case kBoundSheet: {
                SheetRef ref;
                ref.offset = c.u32();
                c.u8();
                ref.type = c.u8();
                uint8_t count = c.u8();
                ref.name = c.str(count);
                if (!c.ok)
                    return fail(error, "corrupt BOUNDSHEET record");
                sheetRefs_.push_back(std::move(ref));
                break;
            }
            case kSst:
                if (!sst(r, error))
                    return false;
                break;
            default:
                break;
            }
        }
    }

    bool sst(const Record &r, std::string *error) {
        Cursor c(r);
        c.u32();
        uint32_t unique = c.u32();
        if (!c.ok)
            return fail(error, "corrupt shared string table");
        sst_.clear();
        sst_.reserve(std::min<size_t>(unique, r.data.size() / 3));
        for (uint32_t i = 0; i < unique && c.p < r.data.size(); ++i) {
            uint16_t count = c.u16();
            std::string text = c.str(count);
            if (!c.ok)
                return fail(error, "corrupt shared string table (string " + std::to_string(i) + ")");
            sst_.push_back(book_.strings_.intern(text));
        }
        return true;
    }

    bool isDateXf(uint16_t xf) const {
        if (xf >= xfFormats_.size())
            return false;
        uint16_t f = xfFormats_[xf];
        return isBuiltinDateFormat(f) ||
               std::find(dateFormats_.begin(), dateFormats_.end(), f) != dateFormats_.end();
    }

    void number(int sheet, uint16_t row, uint16_t col, uint16_t xf, double v) {
        if (col >= XlsBook::kMaxColumns)
            return;
        if (isDateXf(xf))
            book_.put(sheet, row, col, XlsBook::kDateCell, 0, date1904_ ? v + 1462 : v);
        else
            book_.put(sheet, row, col, XlsBook::kNumberCell, 0, v);
    }
    void text(int sheet, uint16_t row, uint16_t col, std::string_view t) {
        if (col < XlsBook::kMaxColumns)
            book_.put(sheet, row, col, XlsBook::kTextCell, book_.strings_.intern(t), 0);
    }
    void logical(int sheet, uint16_t row, uint16_t col, bool v) {
        if (col < XlsBook::kMaxColumns)
            book_.put(sheet, row, col, XlsBook::kLogicalCell, 0, v ? 1 : 0);
    }

    bool sheet(const SheetRef &ref, size_t end, std::string *error) {
        const std::string where = "sheet '" + ref.name + "': ";
        if (ref.offset >= s_.size())
            return fail(error, where + "offset lies outside the workbook stream");
        RecordReader rr(s_.substr(0, end), ref.offset);
        Record r;
        if (!rr.next(r, error))
            return fail(error, where + *error);
        {
            Cursor c(r);
            uint16_t version = c.u16();
            uint16_t type = c.u16();
            if (r.type != kBof || !c.ok || version != kBiff8)
                return fail(error, where + "no BIFF8 BOF record at its offset");
            if (type != 0x0010)
                return true; // not a worksheet
        }
        const int sheet = book_.addSheet(ref.name);
        int depth = 1;
        bool frozen = false;
        bool pendingString = false;
        uint16_t pendingRow = 0, pendingCol = 0;
        for (;;) {
            if (!rr.next(r, error))
                return fail(error, where + *error);
            if (r.type == kBof) {
                ++depth;
                continue;
            }
            if (r.type == kEof) {
                if (--depth == 0)
                    return true;
                continue;
            }
            if (depth != 1)
                continue;
            Cursor c(r);
            switch (r.type) {
            case kLabelSst: {
                uint16_t row = c.u16(), col = c.u16();
                c.u16();
                uint32_t index = c.u32();
                if (!c.ok)
                    return fail(error, where + "corrupt LABELSST record");
                if (index >= sst_.size())
                    return fail(error, where + "cell refers to a missing shared string");
                if (col < XlsBook::kMaxColumns)
                    book_.put(sheet, row, col, XlsBook::kTextCell, sst_[index], 0);
                break;
            }
            case kLabel:
            case kRString: {
                uint16_t row = c.u16(), col = c.u16();
                c.u16();
                uint16_t count = c.u16();
                std::string t = c.str(count);
                if (!c.ok)
                    return fail(error, where + "corrupt LABEL record");
                text(sheet, row, col, t);
                break;
            }
            case kNumber: {
                uint16_t row = c.u16(), col = c.u16(), xf = c.u16();
                double v = c.f64();
                if (!c.ok)
                    return fail(error, where + "corrupt NUMBER record");
                number(sheet, row, col, xf, v);
                break;
            }
            case kRk: {
                uint16_t row = c.u16(), col = c.u16(), xf = c.u16();
                uint32_t rk = c.u32();
                if (!c.ok)
                    return fail(error, where + "corrupt RK record");
                number(sheet, row, col, xf, fromRk(rk));
                break;
            }
            case kMulRk: {
                uint16_t row = c.u16(), col = c.u16();
                if (!c.ok || r.data.size() < 10 || (r.data.size() - 6) % 6 != 0)
                    return fail(error, where + "corrupt MULRK record");
                size_t count = (r.data.size() - 6) / 6;
                for (size_t i = 0; i < count; ++i) {
                    uint16_t xf = c.u16();
                    uint32_t rk = c.u32();
                    if (col + i < XlsBook::kMaxColumns)
                        number(sheet, row, static_cast<uint16_t>(col + i), xf, fromRk(rk));
                }
                break;
            }
            case kBoolErr: {
                uint16_t row = c.u16(), col = c.u16();
                c.u16();
                uint8_t value = c.u8();
                uint8_t isError = c.u8();
                if (!c.ok)
                    return fail(error, where + "corrupt BOOLERR record");
                if (isError)
                    text(sheet, row, col, errorText(value));
                else
                    logical(sheet, row, col, value != 0);
                break;
            }
            case kFormula: {
                uint16_t row = c.u16(), col = c.u16(), xf = c.u16();
                if (!c.has(8))
                    return fail(error, where + "corrupt FORMULA record");
                const auto *res = reinterpret_cast<const unsigned char *>(r.data.data() + 6);
                pendingString = false;
                if (res[6] == 0xFF && res[7] == 0xFF) {
                    switch (res[0]) {
                    case 0:
                        pendingString = true;
                        pendingRow = row;
                        pendingCol = col;
                        break;
                    case 1:
                        logical(sheet, row, col, res[2] != 0);
                        break;
                    case 2:
                        text(sheet, row, col, errorText(res[2]));
                        break;
                    default:
                        text(sheet, row, col, "");
                        break;
                    }
                } else {
                    number(sheet, row, col, xf, c.f64());
                }
                break;
            }
            case kString: {
                uint16_t count = c.u16();
                std::string t = c.str(count);
                if (!c.ok)
                    return fail(error, where + "corrupt STRING record");
                if (pendingString)
                    text(sheet, pendingRow, pendingCol, t);
                pendingString = false;
                break;
            }
            case kColInfo: {
                uint16_t first = c.u16(), last = c.u16(), width = c.u16();
                if (!c.ok)
                    return fail(error, where + "corrupt COLINFO record");
                auto &widths = book_.sheets_[static_cast<size_t>(sheet)].widths;
                if (widths.empty())
                    widths.assign(XlsBook::kMaxColumns, 0);
                for (int col = first; col <= last && col < XlsBook::kMaxColumns; ++col)
                    widths[static_cast<size_t>(col)] = width;
                break;
            }
            case kWindow2:
                frozen = (c.u16() & 0x0008) != 0;
                break;
            case kPane: {
                c.u16();
                uint16_t rows = c.u16();
                if (c.ok && frozen)
                    book_.sheets_[static_cast<size_t>(sheet)].frozenRows = rows;
                break;
            }
            default:
                break;
            }
        }
    }

    std::string_view s_;
    XlsBook &book_;
    bool date1904_ = false;
    std::vector<uint16_t> xfFormats_;
    std::vector<uint16_t> dateFormats_;
    std::vector<SheetRef> sheetRefs_;
    std::vector<uint32_t> sst_;
};

bool XlsBook::loadWorkbookStream(std::string_view stream, std::string *error) {
    std::string ignored;
    std::string &err = error ? *error : ignored;
    XlsBook book;
    BiffLoader loader(stream, book);
    if (!loader.run(&err))
        return false;
    *this = std::move(book);
    return true;
}

bool XlsBook::load(const std::string &path, std::string *error) {
    CompoundFileReader cf;
    if (!cf.openFile(path, error))
        return false;
    std::string stream;
    if (!cf.hasStream("Workbook")) {
        if (error)
            *error = cf.hasStream("Book") ? "Excel 5.0/95 workbooks are not supported"
                                          : "no Workbook stream: not an .xls file";
        return false;
    }
    if (!cf.readStream("Workbook", &stream, error))
        return false;
    return loadWorkbookStream(stream, error);
}

} // namespace quorv::xls
