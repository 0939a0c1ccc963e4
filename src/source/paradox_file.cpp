#include "source/paradox_file.h"

#include "source/paradox_crypt.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorv {

namespace {

constexpr int kCommonHeaderSize = 0x58; // header part every Paradox file has
constexpr int kDataHeaderSize = 0x20;   // extra part of v4+ data tables (code page, second encryption word)
constexpr int kBlockHeaderSize = 6;     // next, previous, offset of last record
constexpr uint32_t kEncryptionMoved = 0xFF00FF00u;

uint16_t le16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t le32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Reads exactly len bytes at offset unless the file ends first; returns the count read or -1.
int64_t readAt(int fd, uint8_t *dest, size_t len, int64_t offset) {
    size_t done = 0;
    while (done < len) {
        ssize_t n = ::pread(fd, dest + done, len - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

// pxlib's px_fileversion for the header's version byte; 0 for versions it does not know.
int fileVersionFor(uint8_t id) {
    switch (id) {
    case 3:
        return 30;
    case 4:
        return 35;
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
        return 40;
    case 10:
    case 11:
        return 50;
    case 12:
        return 70;
    default:
        return 0;
    }
}

// Checks one field descriptor; returns the record bytes the field takes, or 0 when the pair is invalid.
int fieldBytes(uint8_t type, uint8_t sizeByte, std::string &why) {
    auto fixed = [&](int want) {
        if (sizeByte == want)
            return want;
        why = "type " + std::to_string(type) + " needs size " + std::to_string(want) + ", descriptor says " +
              std::to_string(sizeByte);
        return 0;
    };
    auto range = [&](int lo, int hi) {
        if (sizeByte >= lo && sizeByte <= hi)
            return static_cast<int>(sizeByte);
        why = "type " + std::to_string(type) + " size " + std::to_string(sizeByte) + " outside " +
              std::to_string(lo) + ".." + std::to_string(hi);
        return 0;
    };
    switch (type) {
    case 0x01:
        return range(1, 255); // Alpha
    case 0x02:
        return fixed(4); // Date
    case 0x03:
        return fixed(2); // Short
    case 0x04:
        return fixed(4); // Long
    case 0x05:
        return fixed(8); // Currency
    case 0x06:
        return fixed(8); // Number
    case 0x09:
        return fixed(1); // Logical
    case 0x0C:
        return range(11, 250); // Memo: leader of at least one byte + 10-byte blob pointer
    case 0x0D:                 // Blob
    case 0x0E:                 // Formatted memo
    case 0x0F:                 // OLE
    case 0x10:
        return range(10, 250); // Graphic
    case 0x14:
        return fixed(4); // Time
    case 0x15:
        return fixed(8); // Timestamp
    case 0x16:
        return fixed(4); // AutoInc
    case 0x17:           // BCD: the size byte holds the decimals, the value takes 17 bytes
        if (sizeByte <= 32)
            return 17;
        why = "BCD with " + std::to_string(sizeByte) + " decimals (at most 32)";
        return 0;
    case 0x18:
        return range(1, 255); // Bytes
    default:
        why = "unknown field type " + std::to_string(type);
        return 0;
    }
}

} // namespace

ParadoxFile::~ParadoxFile() {
    close();
}

void ParadoxFile::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    fileSize_ = 0;
    header_ = ParadoxHeader{};
    recordCount_ = 0;
    needsPxlib_ = false;
    countMismatch_ = false;
    blocks_.clear();
    blocks_.shrink_to_fit();
    cache_.clear();
    cachedPos_ = -1;
}

bool ParadoxFile::fail(std::string *error, const std::string &why) {
    close();
    if (error)
        *error = "not a readable Paradox table: " + why;
    return false;
}

bool ParadoxFile::open(const std::string &path, std::string *error) {
    close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        return fail(error, "cannot open " + path + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return fail(error, "cannot stat " + path + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        return fail(error, path + " is not a regular file");
    fileSize_ = st.st_size;
    if (fileSize_ < kCommonHeaderSize)
        return fail(error, "file has " + std::to_string(fileSize_) + " bytes, too short for a table header");

    uint8_t sizeField[2];
    if (readAt(fd_, sizeField, sizeof sizeField, 2) != 2)
        return fail(error, "cannot read the header");
    const int headerSize = le16(sizeField);
    if (headerSize < kCommonHeaderSize)
        return fail(error, "header size " + std::to_string(headerSize) + " too small");
    if (headerSize > fileSize_)
        return fail(error, "header size " + std::to_string(headerSize) + " exceeds the file size " +
                               std::to_string(fileSize_) + " (truncated file?)");
    std::vector<uint8_t> head(static_cast<size_t>(headerSize));
    if (readAt(fd_, head.data(), head.size(), 0) != headerSize)
        return fail(error, "cannot read the header");

    std::string why;
    if (!parseHeader(head, why))
        return fail(error, why);
    if (header_.encrypted && !canDecryptParadox()) {
        // Data blocks, block headers included, are scrambled and this build cannot decrypt them: the
        // chain can only be followed by pxlib. What can be checked without it was checked in parseHeader.
        needsPxlib_ = true;
        recordCount_ = header_.recordCount;
        return true;
    }
    if (!walkChain(why))
        return fail(error, why);
    return true;
}

bool ParadoxFile::parseHeader(const std::vector<uint8_t> &head, std::string &why) {
    const uint8_t *h = head.data();
    const int headerSize = static_cast<int>(head.size());
    ParadoxHeader &hd = header_;
    hd.recordSize = le16(h + 0x00);
    hd.headerSize = headerSize;
    hd.fileType = h[0x04];
    const int blockCode = h[0x05];
    hd.recordCount = static_cast<int32_t>(le32(h + 0x06));
    hd.fileBlocks = le16(h + 0x0C);
    hd.firstBlock = le16(h + 0x0E);
    hd.lastBlock = le16(h + 0x10);
    hd.fieldCount = le16(h + 0x21); // unsigned: 0xFFFF is 65535 fields, not -1
    const uint8_t versionId = h[0x39];
    hd.fileVersion = fileVersionFor(versionId);

    if (hd.fileType != 0 && hd.fileType != 2) {
        why = "file type " + std::to_string(hd.fileType) +
              " is not a data table (index or other Paradox file?)";
        return false;
    }
    if (hd.fileVersion == 0) {
        why = "unknown file version byte " + std::to_string(versionId);
        return false;
    }
    if (blockCode < 1 || blockCode > 32) {
        why = "block size code " + std::to_string(blockCode) + " outside 1..32";
        return false;
    }
    hd.blockSize = blockCode * 1024;
    if (hd.recordSize < 1 || hd.recordSize > hd.blockSize - kBlockHeaderSize) {
        why = "record size " + std::to_string(hd.recordSize) + " does not fit a " +
              std::to_string(hd.blockSize) + "-byte block";
        return false;
    }
    if (hd.fieldCount < 1 || hd.fieldCount > 255) {
        why = "field count " + std::to_string(hd.fieldCount) + " outside 1..255";
        return false;
    }

    const bool dataHeader = hd.fileVersion >= 40;
    const int base = kCommonHeaderSize + (dataHeader ? kDataHeaderSize : 0);
    if (base > headerSize) {
        why = "header size " + std::to_string(headerSize) + " too small for a v" +
              std::to_string(hd.fileVersion / 10) + "." + std::to_string(hd.fileVersion % 10) + " header";
        return false;
    }
    hd.codePage = dataHeader ? le16(h + 0x6A) : 0;

    const uint32_t enc1 = le32(h + 0x25);
    uint32_t key = enc1;
    if (enc1 == kEncryptionMoved) {
        if (!dataHeader) {
            why = "v3 header with the encryption word of a v4+ table";
            return false;
        }
        key = le32(h + 0x5C);
    }
    hd.encryptionKey = key;
    hd.encrypted = key != 0;

    // Field descriptors: type and size byte per field.
    const int fieldCount = hd.fieldCount;
    if (base + 2 * fieldCount > headerSize) {
        why = std::to_string(fieldCount) + " field descriptors do not fit the " + std::to_string(headerSize) +
              "-byte header";
        return false;
    }
    hd.fields.resize(static_cast<size_t>(fieldCount));
    int sum = 0;
    for (int i = 0; i < fieldCount; ++i) {
        const uint8_t type = h[base + 2 * i];
        const uint8_t sizeByte = h[base + 2 * i + 1];
        std::string fieldWhy;
        const int bytes = fieldBytes(type, sizeByte, fieldWhy);
        if (bytes == 0) {
            why = "field " + std::to_string(i + 1) + ": " + fieldWhy;
            return false;
        }
        hd.fields[i].type = type;
        hd.fields[i].size = bytes;
        hd.fields[i].decimals = type == 0x17 ? sizeByte : 0;
        sum += bytes;
    }
    if (sum != hd.recordSize) {
        why = "field sizes add up to " + std::to_string(sum) + " bytes, header record size is " +
              std::to_string(hd.recordSize);
        return false;
    }

    // After the descriptors: table name pointer, one name pointer per field, the table name, then the
    // NUL-terminated field names.
    const int tableNameLength = hd.fileVersion == 70 ? 261 : 79;
    int pos = base + 2 * fieldCount + 4 + 4 * fieldCount + tableNameLength;
    for (int i = 0; i < fieldCount; ++i) {
        if (pos >= headerSize) {
            why = "field name " + std::to_string(i + 1) + " lies outside the header";
            return false;
        }
        const uint8_t *start = h + pos;
        const void *nul = std::memchr(start, 0, static_cast<size_t>(headerSize - pos));
        if (!nul) {
            why = "field name " + std::to_string(i + 1) + " is not terminated inside the header";
            return false;
        }
        const int len = static_cast<int>(static_cast<const uint8_t *>(nul) - start);
        if (len == 0 || len > 255) {
            why = "field name " + std::to_string(i + 1) + " has length " + std::to_string(len);
            return false;
        }
        hd.fields[i].name.assign(reinterpret_cast<const char *>(start), static_cast<size_t>(len));
        pos += len + 1;
    }

    if (hd.encrypted && !canDecryptParadox()) {
        // Without the chain, bound what pxlib will be asked to walk by what the file can hold. pxlib
        // still follows the decrypted chain unchecked: damage inside the data blocks can mislead it.
        const int64_t perBlock = (hd.blockSize - kBlockHeaderSize) / hd.recordSize;
        const int64_t complete = (fileSize_ - headerSize) / hd.blockSize;
        if (hd.fileBlocks > complete || hd.firstBlock > hd.fileBlocks || hd.lastBlock > hd.fileBlocks) {
            why = "block numbers (first " + std::to_string(hd.firstBlock) + ", last " +
                  std::to_string(hd.lastBlock) + ", count " + std::to_string(hd.fileBlocks) +
                  ") exceed the " + std::to_string(complete) + " whole blocks in the file";
            return false;
        }
        if (hd.recordCount < 0 || hd.recordCount > perBlock * hd.fileBlocks) {
            why = "record count " + std::to_string(hd.recordCount) + " exceeds what " +
                  std::to_string(hd.fileBlocks) + " blocks can hold";
            return false;
        }
    }
    return true;
}

bool ParadoxFile::walkChain(std::string &why) {
    const ParadoxHeader &hd = header_;
    const int64_t available =
        fileSize_ > hd.headerSize ? (fileSize_ - hd.headerSize + hd.blockSize - 1) / hd.blockSize : 0;
    const int64_t limit = std::min<int64_t>(available, hd.fileBlocks);
    std::vector<bool> seen(static_cast<size_t>(limit) + 1, false);
    int64_t total = 0;
    int number = hd.firstBlock;
    while (number != 0) {
        if (number > limit) {
            why = "block chain reaches block " + std::to_string(number) + ", the file has " +
                  std::to_string(available) + " blocks and the header counts " +
                  std::to_string(hd.fileBlocks);
            return false;
        }
        if (seen[static_cast<size_t>(number)]) {
            why = "block chain loops back to block " + std::to_string(number);
            return false;
        }
        seen[static_cast<size_t>(number)] = true;
        const int64_t offset = hd.headerSize + static_cast<int64_t>(number - 1) * hd.blockSize;
        uint8_t bh[kBlockHeaderSize];
        if (hd.encrypted) {
            // The block header is scrambled with the rest of the block: decrypt the whole block, which
            // must then be complete.
            if (offset + hd.blockSize > fileSize_ || !loadBlockAt(number)) {
                why = "encrypted block " + std::to_string(number) + " is incomplete (truncated file?)";
                return false;
            }
            std::memcpy(bh, cache_.data(), sizeof bh);
        } else if (readAt(fd_, bh, sizeof bh, offset) != kBlockHeaderSize) {
            why = "cannot read the header of block " + std::to_string(number) + " (truncated file?)";
            return false;
        }
        const int next = le16(bh);
        const int lastOffset = static_cast<int16_t>(le16(bh + 4));
        const int used = lastOffset + hd.recordSize; // bytes of records in the block
        if (used < 0 || used % hd.recordSize != 0 || used > hd.blockSize - kBlockHeaderSize) {
            why = "block " + std::to_string(number) + " claims " + std::to_string(used) + " bytes of " +
                  std::to_string(hd.recordSize) + "-byte records in a " + std::to_string(hd.blockSize) +
                  "-byte block";
            return false;
        }
        if (offset + kBlockHeaderSize + used > fileSize_) {
            why = "records of block " + std::to_string(number) +
                  " run past the end of the file (truncated file?)";
            return false;
        }
        const int records = used / hd.recordSize;
        blocks_.push_back(
            Block{static_cast<uint16_t>(number), static_cast<uint16_t>(records), static_cast<int>(total)});
        total += records;
        number = next;
    }
    recordCount_ = static_cast<int>(total);
    countMismatch_ = total != hd.recordCount;
    return true;
}

bool ParadoxFile::loadBlockAt(int number) {
    const ParadoxHeader &hd = header_;
    cachedPos_ = -1;
    cache_.resize(static_cast<size_t>(hd.blockSize));
    const int64_t offset = hd.headerSize + static_cast<int64_t>(number - 1) * hd.blockSize;
    const int64_t got = readAt(fd_, cache_.data(), cache_.size(), offset);
    if (got < 0)
        return false;
    // A short last block reads as zeros past the end of the file, as pxlib reads it.
    std::fill(cache_.begin() + got, cache_.end(), 0);
    if (hd.encrypted)
        decryptTableBlock(cache_.data(), cache_.size(), hd.encryptionKey, number);
    return true;
}

bool ParadoxFile::loadBlock(int chainPos) {
    if (chainPos == cachedPos_)
        return true;
    if (!loadBlockAt(blocks_[static_cast<size_t>(chainPos)].number))
        return false;
    cachedPos_ = chainPos;
    return true;
}

// The chain position of the block holding record n: the cached block or the one after it for
// sequential reading, a binary search over the blocks' first records otherwise. The index costs a
// few bytes per block, not per record.
int ParadoxFile::blockOfRecord(int n) const {
    auto holds = [&](int pos) {
        if (pos < 0 || pos >= static_cast<int>(blocks_.size()))
            return false;
        const Block &b = blocks_[static_cast<size_t>(pos)];
        return n >= b.firstRecord && n < b.firstRecord + b.records;
    };
    if (holds(cachedPos_))
        return cachedPos_;
    if (holds(cachedPos_ + 1))
        return cachedPos_ + 1;
    auto it = std::upper_bound(blocks_.begin(), blocks_.end(), n,
                               [](int record, const Block &b) { return record < b.firstRecord; });
    // Blocks without records share their first record with the next block: step to the one holding n.
    int pos = static_cast<int>(it - blocks_.begin()) - 1;
    while (pos > 0 && !holds(pos))
        --pos;
    return pos;
}

bool ParadoxFile::readRecord(int n, uint8_t *dest) {
    if (fd_ < 0 || needsPxlib_ || n < 0 || n >= recordCount_ || !dest)
        return false;
    const int pos = blockOfRecord(n);
    if (!loadBlock(pos))
        return false;
    const Block &b = blocks_[static_cast<size_t>(pos)];
    const size_t at = kBlockHeaderSize + static_cast<size_t>(n - b.firstRecord) * header_.recordSize;
    std::memcpy(dest, cache_.data() + at, static_cast<size_t>(header_.recordSize));
    return true;
}

} // namespace quorv
