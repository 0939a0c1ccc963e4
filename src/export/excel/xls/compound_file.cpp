#include "export/excel/xls/compound_file.h"

#include "export/excel/xls/xls_text.h"

#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>

namespace quorv::xls {

namespace {

constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kNoStream = 0xFFFFFFFF;

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kMiniSectorSize = 64;
constexpr uint32_t kMiniCutoff = 4096;
constexpr uint32_t kHeaderDifatEntries = 109;
constexpr uint32_t kEntriesPerSector = kSectorSize / 4;
constexpr uint32_t kDirEntrySize = 128;

constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// Files bigger than this are refused by the reader: an .xls never comes near it.
constexpr uint64_t kMaxFileSize = uint64_t{2} << 30;

void put16(std::string &s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}
void put32(std::string &s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint16_t get16(std::string_view s, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(s[at]) |
                                 (static_cast<unsigned char>(s[at + 1]) << 8));
}
uint32_t get32(std::string_view s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

uint64_t ceilDiv(uint64_t a, uint64_t b) {
    return (a + b - 1) / b;
}

void setError(std::string *error, std::string message) {
    if (error)
        *error = std::move(message);
}

// Directory entries of a storage are kept in a red-black tree ordered by name length, then by the
// upper-cased name.
bool nameLess(const std::u16string &a, const std::u16string &b) {
    if (a.size() != b.size())
        return a.size() < b.size();
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'a' && x <= u'z')
            x = static_cast<char16_t>(x - 32);
        if (y >= u'a' && y <= u'z')
            y = static_cast<char16_t>(y - 32);
        if (x != y)
            return x < y;
    }
    return false;
}

struct DirNode {
    std::u16string name;
    uint8_t type = 0;
    uint8_t color = 1; // 0 red, 1 black
    uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
    uint32_t start = kEndOfChain;
    uint64_t size = 0;
};

// Builds a balanced tree over sorted[lo, hi) and returns its root's entry id. Nodes on the deepest
// level are coloured red when the tree is not perfect, which keeps the black height uniform.
uint32_t buildTree(std::vector<DirNode> &nodes, const std::vector<uint32_t> &sorted, size_t lo, size_t hi,
                   int depth, std::vector<int> &depthOf) {
    if (lo >= hi)
        return kNoStream;
    size_t mid = lo + (hi - lo) / 2;
    uint32_t id = sorted[mid];
    depthOf[id] = depth;
    nodes[id].left = buildTree(nodes, sorted, lo, mid, depth + 1, depthOf);
    nodes[id].right = buildTree(nodes, sorted, mid + 1, hi, depth + 1, depthOf);
    return id;
}

struct Layout {
    std::vector<DirNode> dir;           // entry 0 is the root
    std::vector<uint32_t> bigStreams;   // stream indices stored in regular sectors
    std::vector<uint32_t> smallStreams; // stream indices stored in the mini stream
    uint64_t miniStreamSize = 0;
    uint32_t miniSectors = 0;
    uint32_t miniStreamSectors = 0, miniFatSectors = 0, dirSectors = 0, fatSectors = 0, difatSectors = 0;
    uint32_t firstMiniStream = kEndOfChain, firstMiniFat = kEndOfChain, firstDir = 0, firstFat = 0;
    uint32_t firstDifat = kEndOfChain;
    uint32_t totalSectors = 0;
};

bool planLayout(const std::vector<CompoundStream> &streams, Layout &L, std::string *error) {
    L.dir.resize(streams.size() + 1);
    L.dir[0].name = u"Root Entry";
    L.dir[0].type = 5;
    for (size_t i = 0; i < streams.size(); ++i) {
        DirNode &n = L.dir[i + 1];
        n.name = utf8ToUtf16(streams[i].name);
        if (n.name.empty() || n.name.size() > 31) {
            setError(error, "invalid stream name '" + streams[i].name + "': must have 1 to 31 characters");
            return false;
        }
        if (n.name.find_first_of(u"/\\:!") != std::u16string::npos) {
            setError(error, "invalid stream name '" + streams[i].name + "'");
            return false;
        }
        for (size_t j = 1; j <= i; ++j) {
            if (!nameLess(L.dir[j].name, n.name) && !nameLess(n.name, L.dir[j].name)) {
                setError(error, "duplicate stream name '" + streams[i].name + "'");
                return false;
            }
        }
        n.type = 2;
        n.size = streams[i].data.size();
        if (n.size > 0xFFFFFFFFull) {
            setError(error, "stream '" + streams[i].name + "' is larger than 4 GiB");
            return false;
        }
        (n.size >= kMiniCutoff ? L.bigStreams : L.smallStreams).push_back(static_cast<uint32_t>(i));
    }

    // Sibling tree under the root.
    std::vector<uint32_t> sorted;
    for (uint32_t i = 1; i < L.dir.size(); ++i)
        sorted.push_back(i);
    std::sort(sorted.begin(), sorted.end(),
              [&](uint32_t a, uint32_t b) { return nameLess(L.dir[a].name, L.dir[b].name); });
    std::vector<int> depthOf(L.dir.size(), 0);
    L.dir[0].child = buildTree(L.dir, sorted, 0, sorted.size(), 0, depthOf);
    if (!sorted.empty()) {
        int maxDepth = *std::max_element(depthOf.begin() + 1, depthOf.end());
        bool perfect = sorted.size() + 1 == (size_t{1} << (maxDepth + 1));
        for (uint32_t i = 1; i < L.dir.size(); ++i)
            L.dir[i].color = (!perfect && depthOf[i] == maxDepth) ? 0 : 1;
    }

    // Sector plan: big streams, mini stream, mini FAT, directory, FAT, DIFAT.
    uint32_t next = 0;
    for (uint32_t s : L.bigStreams) {
        L.dir[s + 1].start = next;
        next += static_cast<uint32_t>(ceilDiv(L.dir[s + 1].size, kSectorSize));
    }
    for (uint32_t s : L.smallStreams) {
        DirNode &n = L.dir[s + 1];
        uint32_t count = static_cast<uint32_t>(ceilDiv(n.size, kMiniSectorSize));
        n.start = count ? L.miniSectors : kEndOfChain;
        L.miniSectors += count;
    }
    L.miniStreamSize = uint64_t{L.miniSectors} * kMiniSectorSize;
    L.miniStreamSectors = static_cast<uint32_t>(ceilDiv(L.miniStreamSize, kSectorSize));
    L.miniFatSectors = static_cast<uint32_t>(ceilDiv(uint64_t{L.miniSectors} * 4, kSectorSize));
    if (L.miniStreamSectors) {
        L.firstMiniStream = next;
        next += L.miniStreamSectors;
    }
    if (L.miniFatSectors) {
        L.firstMiniFat = next;
        next += L.miniFatSectors;
    }
    L.dir[0].start = L.firstMiniStream;
    L.dir[0].size = L.miniStreamSize;
    L.dirSectors = static_cast<uint32_t>(ceilDiv(L.dir.size(), kSectorSize / kDirEntrySize));
    L.firstDir = next;
    next += L.dirSectors;

    // The FAT must also map its own sectors and the DIFAT's.
    uint32_t fat = 1, difat = 0;
    for (;;) {
        difat = fat > kHeaderDifatEntries
                    ? static_cast<uint32_t>(ceilDiv(fat - kHeaderDifatEntries, kEntriesPerSector - 1))
                    : 0;
        uint64_t total = uint64_t{next} + fat + difat;
        uint32_t needed = static_cast<uint32_t>(ceilDiv(total, kEntriesPerSector));
        if (needed <= fat)
            break;
        fat = needed;
    }
    L.fatSectors = fat;
    L.difatSectors = difat;
    L.firstFat = next;
    next += fat;
    if (difat) {
        L.firstDifat = next;
        next += difat;
    }
    L.totalSectors = next;
    return true;
}

using Sink = std::function<bool(const char *, size_t)>;

bool emit(const std::vector<CompoundStream> &streams, const Layout &L, const Sink &sink) {
    const std::string zeros(kSectorSize, '\0');
    auto pad = [&](uint64_t written, uint64_t unit) {
        uint64_t rest = (unit - written % unit) % unit;
        return rest == 0 || sink(zeros.data(), static_cast<size_t>(rest));
    };

    // Header.
    std::string h(kSectorSize, '\0');
    std::memcpy(h.data(), kSignature, 8);
    put16(h, 24, 0x003E);
    put16(h, 26, 0x0003);
    put16(h, 28, 0xFFFE);
    put16(h, 30, 9);
    put16(h, 32, 6);
    put32(h, 44, L.fatSectors);
    put32(h, 48, L.firstDir);
    put32(h, 56, kMiniCutoff);
    put32(h, 60, L.firstMiniFat);
    put32(h, 64, L.miniFatSectors);
    put32(h, 68, L.firstDifat);
    put32(h, 72, L.difatSectors);
    for (uint32_t i = 0; i < kHeaderDifatEntries; ++i)
        put32(h, 76 + 4 * i, i < L.fatSectors ? L.firstFat + i : kFreeSect);
    if (!sink(h.data(), h.size()))
        return false;

    for (uint32_t s : L.bigStreams) {
        std::string_view d = streams[s].data;
        if (!sink(d.data(), d.size()) || !pad(d.size(), kSectorSize))
            return false;
    }

    if (L.miniStreamSectors) {
        for (uint32_t s : L.smallStreams) {
            std::string_view d = streams[s].data;
            if (!sink(d.data(), d.size()) || !pad(d.size(), kMiniSectorSize))
                return false;
        }
        if (!pad(L.miniStreamSize, kSectorSize))
            return false;
    }

    if (L.miniFatSectors) {
        std::string mf(size_t{L.miniFatSectors} * kSectorSize, '\xFF');
        for (uint32_t s : L.smallStreams) {
            const DirNode &n = L.dir[s + 1];
            uint32_t count = static_cast<uint32_t>(ceilDiv(n.size, kMiniSectorSize));
            for (uint32_t k = 0; k < count; ++k)
                put32(mf, 4 * size_t{n.start + k}, k + 1 < count ? n.start + k + 1 : kEndOfChain);
        }
        if (!sink(mf.data(), mf.size()))
            return false;
    }

    std::string dir(size_t{L.dirSectors} * kSectorSize, '\0');
    for (size_t i = 0; i < size_t{L.dirSectors} * 4; ++i) {
        size_t at = i * kDirEntrySize;
        if (i >= L.dir.size()) {
            put32(dir, at + 68, kNoStream);
            put32(dir, at + 72, kNoStream);
            put32(dir, at + 76, kNoStream);
            continue;
        }
        const DirNode &n = L.dir[i];
        for (size_t k = 0; k < n.name.size(); ++k)
            put16(dir, at + 2 * k, n.name[k]);
        put16(dir, at + 64, static_cast<uint16_t>(2 * (n.name.size() + 1)));
        dir[at + 66] = static_cast<char>(n.type);
        dir[at + 67] = static_cast<char>(n.color);
        put32(dir, at + 68, n.left);
        put32(dir, at + 72, n.right);
        put32(dir, at + 76, n.child);
        put32(dir, at + 116, n.start);
        put32(dir, at + 120, static_cast<uint32_t>(n.size));
    }
    if (!sink(dir.data(), dir.size()))
        return false;

    std::string fat(size_t{L.fatSectors} * kSectorSize, '\xFF');
    auto chain = [&](uint32_t first, uint32_t count) {
        for (uint32_t k = 0; k < count; ++k)
            put32(fat, 4 * size_t{first + k}, k + 1 < count ? first + k + 1 : kEndOfChain);
    };
    for (uint32_t s : L.bigStreams)
        chain(L.dir[s + 1].start, static_cast<uint32_t>(ceilDiv(L.dir[s + 1].size, kSectorSize)));
    chain(L.firstMiniStream, L.miniStreamSectors);
    chain(L.firstMiniFat, L.miniFatSectors);
    chain(L.firstDir, L.dirSectors);
    for (uint32_t k = 0; k < L.fatSectors; ++k)
        put32(fat, 4 * size_t{L.firstFat + k}, kFatSect);
    for (uint32_t k = 0; k < L.difatSectors; ++k)
        put32(fat, 4 * size_t{L.firstDifat + k}, kDifSect);
    if (!sink(fat.data(), fat.size()))
        return false;

    if (L.difatSectors) {
        std::string difat(size_t{L.difatSectors} * kSectorSize, '\xFF');
        uint32_t fatIndex = kHeaderDifatEntries;
        for (uint32_t k = 0; k < L.difatSectors; ++k) {
            size_t base = size_t{k} * kSectorSize;
            for (uint32_t e = 0; e + 1 < kEntriesPerSector && fatIndex < L.fatSectors; ++e, ++fatIndex)
                put32(difat, base + 4 * e, L.firstFat + fatIndex);
            put32(difat, base + kSectorSize - 4, k + 1 < L.difatSectors ? L.firstDifat + k + 1 : kEndOfChain);
        }
        if (!sink(difat.data(), difat.size()))
            return false;
    }
    return true;
}

} // namespace

bool buildCompoundFile(const std::vector<CompoundStream> &streams, std::string *out, std::string *error) {
    Layout L;
    if (!planLayout(streams, L, error))
        return false;
    out->clear();
    out->reserve((uint64_t{L.totalSectors} + 1) * kSectorSize);
    return emit(streams, L, [&](const char *p, size_t n) {
        out->append(p, n);
        return true;
    });
}

bool writeCompoundFile(const std::string &path, const std::vector<CompoundStream> &streams,
                       std::string *error) {
    Layout L;
    if (!planLayout(streams, L, error))
        return false;
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        setError(error, "cannot create '" + path + "': " + std::strerror(errno));
        return false;
    }
    int failure = 0; // the errno of the first failed write
    bool ok = emit(streams, L, [&](const char *p, size_t n) {
        if (std::fwrite(p, 1, n, f) == n)
            return true;
        failure = errno;
        return false;
    });
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (!ok) {
        std::remove(path.c_str());
        setError(error, "cannot write '" + path + "': " + std::strerror(failure));
    }
    return ok;
}

// ---------------------------------------------------------------------------------------------
// Reader

bool CompoundFileReader::openFile(const std::string &path, std::string *error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        setError(error, "cannot open '" + path + "'");
        return false;
    }
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0) {
        setError(error, "cannot read '" + path + "'");
        return false;
    }
    if (static_cast<uint64_t>(size) > kMaxFileSize) {
        setError(error, "'" + path + "' is too large for an .xls file");
        return false;
    }
    in.seekg(0, std::ios::beg);
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!in.read(bytes.data(), size)) {
        setError(error, "cannot read '" + path + "'");
        return false;
    }
    return openBytes(std::move(bytes), error);
}

bool CompoundFileReader::openBytes(std::string bytes, std::string *error) {
    bytes_ = std::move(bytes);
    fat_.clear();
    miniFat_.clear();
    entries_.clear();
    miniStream_.clear();
    if (parse(error))
        return true;
    bytes_.clear();
    fat_.clear();
    miniFat_.clear();
    entries_.clear();
    miniStream_.clear();
    return false;
}

uint64_t CompoundFileReader::sectorCount() const {
    return bytes_.size() <= sectorSize_ ? 0 : ceilDiv(bytes_.size() - sectorSize_, sectorSize_);
}

bool CompoundFileReader::parse(std::string *error) {
    const std::string_view b = bytes_;
    if (b.size() < 512 || std::memcmp(b.data(), kSignature, 8) != 0) {
        setError(error, "not an OLE2 compound file (signature missing)");
        return false;
    }
    const uint16_t major = get16(b, 26);
    const uint16_t shift = get16(b, 30);
    if (!((major == 3 && shift == 9) || (major == 4 && shift == 12))) {
        setError(error, "unsupported compound file version or sector size");
        return false;
    }
    if (get16(b, 28) != 0xFFFE || get16(b, 32) != 6) {
        setError(error, "corrupt compound file header");
        return false;
    }
    sectorSize_ = 1u << shift;
    miniCutoff_ = get32(b, 56);
    if (miniCutoff_ != kMiniCutoff) {
        setError(error, "corrupt compound file header (mini stream cutoff)");
        return false;
    }
    const uint64_t nSectors = sectorCount();
    const uint32_t numFat = get32(b, 44);
    const uint32_t firstDir = get32(b, 48);
    const uint32_t firstMiniFat = get32(b, 60);
    const uint32_t numMiniFat = get32(b, 64);
    uint32_t difatSector = get32(b, 68);
    const uint32_t numDifat = get32(b, 72);
    if (numFat == 0 || numFat > nSectors || numDifat > nSectors || numMiniFat > nSectors) {
        setError(error, "corrupt compound file header (sector counts)");
        return false;
    }

    auto sectorData = [&](uint32_t id, std::string_view *out) {
        if (id >= nSectors)
            return false;
        uint64_t off = (uint64_t{id} + 1) * sectorSize_;
        if (off + sectorSize_ > b.size())
            return false;
        *out = b.substr(static_cast<size_t>(off), sectorSize_);
        return true;
    };

    // FAT sector ids: 109 in the header, the rest in the DIFAT chain.
    std::vector<uint32_t> fatIds;
    fatIds.reserve(numFat);
    for (uint32_t i = 0; i < kHeaderDifatEntries && fatIds.size() < numFat; ++i)
        fatIds.push_back(get32(b, 76 + 4 * i));
    const uint32_t perDifat = sectorSize_ / 4 - 1;
    for (uint32_t k = 0; k < numDifat && fatIds.size() < numFat; ++k) {
        std::string_view s;
        if (!sectorData(difatSector, &s)) {
            setError(error, "corrupt compound file: bad DIFAT sector");
            return false;
        }
        for (uint32_t e = 0; e < perDifat && fatIds.size() < numFat; ++e)
            fatIds.push_back(get32(s, 4 * e));
        difatSector = get32(s, 4 * perDifat);
    }
    if (fatIds.size() < numFat) {
        setError(error, "corrupt compound file: DIFAT lists fewer FAT sectors than the header");
        return false;
    }
    fat_.reserve(size_t{numFat} * (sectorSize_ / 4));
    for (uint32_t id : fatIds) {
        std::string_view s;
        if (!sectorData(id, &s)) {
            setError(error, "corrupt or truncated compound file: bad FAT sector");
            return false;
        }
        for (uint32_t e = 0; e < sectorSize_ / 4; ++e)
            fat_.push_back(get32(s, 4 * e));
    }

    // Directory: a chain of unknown length, bounded by the number of sectors.
    std::string dir;
    {
        uint32_t cur = firstDir;
        uint64_t steps = 0;
        while (cur != kEndOfChain) {
            std::string_view s;
            if (++steps > nSectors || cur >= fat_.size() || !sectorData(cur, &s)) {
                setError(error, "corrupt compound file: bad directory chain");
                return false;
            }
            dir.append(s);
            cur = fat_[cur];
        }
    }
    for (size_t at = 0; at + kDirEntrySize <= dir.size(); at += kDirEntrySize) {
        std::string_view d = std::string_view(dir).substr(at, kDirEntrySize);
        uint8_t type = static_cast<uint8_t>(d[66]);
        if (at == 0 && type != 5) {
            setError(error, "corrupt compound file: no root entry");
            return false;
        }
        if (type != 1 && type != 2 && type != 5)
            continue;
        Entry e;
        e.type = type;
        uint16_t nameBytes = get16(d, 64);
        if (nameBytes > 64)
            nameBytes = 64;
        std::u16string name;
        for (size_t k = 0; k + 1 < nameBytes / 2u; ++k)
            name.push_back(static_cast<char16_t>(get16(d, 2 * k)));
        while (!name.empty() && name.back() == 0)
            name.pop_back();
        e.name = utf16ToUtf8(name);
        e.start = get32(d, 116);
        e.size = get32(d, 120);
        if (major == 4)
            e.size |= uint64_t{get32(d, 124)} << 32;
        entries_.push_back(std::move(e));
    }
    if (entries_.empty()) {
        setError(error, "corrupt compound file: empty directory");
        return false;
    }

    // Mini FAT and the mini stream, which the root entry holds.
    {
        uint32_t cur = firstMiniFat;
        for (uint32_t k = 0; k < numMiniFat && cur != kEndOfChain; ++k) {
            std::string_view s;
            if (cur >= fat_.size() || !sectorData(cur, &s)) {
                setError(error, "corrupt compound file: bad mini FAT chain");
                return false;
            }
            for (uint32_t e = 0; e < sectorSize_ / 4; ++e)
                miniFat_.push_back(get32(s, 4 * e));
            cur = fat_[cur];
        }
    }
    const Entry &root = entries_.front();
    if (root.size > 0 && !readChain(root.start, root.size, &miniStream_, error))
        return false;
    return true;
}

bool CompoundFileReader::readChain(uint32_t start, uint64_t size, std::string *out,
                                   std::string *error) const {
    out->clear();
    if (size > bytes_.size()) {
        setError(error, "corrupt compound file: stream larger than the file");
        return false;
    }
    const uint64_t nSectors = sectorCount();
    out->reserve(static_cast<size_t>(size));
    std::vector<bool> seen(static_cast<size_t>(nSectors));
    uint32_t cur = start;
    while (out->size() < size) {
        if (cur >= nSectors || cur >= fat_.size() || seen[cur]) {
            setError(error, "corrupt or truncated compound file: broken sector chain");
            return false;
        }
        seen[cur] = true;
        uint64_t off = (uint64_t{cur} + 1) * sectorSize_;
        uint64_t take = std::min<uint64_t>(sectorSize_, size - out->size());
        if (off + take > bytes_.size()) {
            setError(error, "truncated compound file");
            return false;
        }
        out->append(bytes_, static_cast<size_t>(off), static_cast<size_t>(take));
        cur = fat_[cur];
    }
    return true;
}

bool CompoundFileReader::readMiniChain(uint32_t start, uint64_t size, std::string *out,
                                       std::string *error) const {
    out->clear();
    if (size > miniStream_.size()) {
        setError(error, "corrupt compound file: small stream larger than the mini stream");
        return false;
    }
    out->reserve(static_cast<size_t>(size));
    std::vector<bool> seen(miniFat_.size());
    uint32_t cur = start;
    while (out->size() < size) {
        uint64_t off = uint64_t{cur} * kMiniSectorSize;
        uint64_t take = std::min<uint64_t>(kMiniSectorSize, size - out->size());
        if (cur >= miniFat_.size() || off + take > miniStream_.size() || seen[cur]) {
            setError(error, "corrupt compound file: broken mini sector chain");
            return false;
        }
        seen[cur] = true;
        out->append(miniStream_, static_cast<size_t>(off), static_cast<size_t>(take));
        cur = miniFat_[cur];
    }
    return true;
}

namespace {
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 32);
        if (x != y)
            return false;
    }
    return true;
}
} // namespace

const CompoundFileReader::Entry *CompoundFileReader::findStream(std::string_view name) const {
    for (const Entry &e : entries_)
        if (e.type == 2 && sameName(e.name, name))
            return &e;
    return nullptr;
}

std::vector<std::string> CompoundFileReader::streamNames() const {
    std::vector<std::string> names;
    for (const Entry &e : entries_)
        if (e.type == 2)
            names.push_back(e.name);
    return names;
}

bool CompoundFileReader::hasStream(std::string_view name) const {
    return findStream(name) != nullptr;
}

bool CompoundFileReader::readStream(std::string_view name, std::string *out, std::string *error) const {
    const Entry *e = findStream(name);
    if (!e) {
        setError(error, "compound file has no stream '" + std::string(name) + "'");
        return false;
    }
    if (e->size < miniCutoff_)
        return readMiniChain(e->start, e->size, out, error);
    return readChain(e->start, e->size, out, error);
}

} // namespace quorv::xls
