// Checked byte-level reader for Paradox data tables (.db).
//
// pxlib trusts every number in a table file: a damaged header or block chain makes it crash, hang or
// allocate without bound, and its record lookup walks the block list from the start for every record.
// ParadoxFile validates the header and the whole data block chain first, so a file that passes open()
// is safe to hand to pxlib, and then serves records itself in O(1) per record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorv {

struct ParadoxFieldDesc {
    uint8_t type;     // Paradox type code (1 Alpha ... 24 Bytes)
    int size;         // bytes the field takes in a record (17 for BCD, as pxlib's px_flen)
    std::string name; // raw bytes as stored (table code page, no conversion)
    int decimals = 0; // BCD only: digits after the decimal point (the descriptor's size byte)
};

struct ParadoxHeader {
    int recordSize = 0, headerSize = 0, fileType = 0, blockSize = 0 /*bytes*/, recordCount = 0,
        fieldCount = 0;
    int fileVersion = 0;    // 30, 35, 40, 50, 70 as pxlib's px_fileversion
    int codePage = 0;       // header's DOS/Windows code page, 0 when none (v3.x)
    bool encrypted = false; // password protected
    int firstBlock = 0, lastBlock = 0, fileBlocks = 0;
    std::vector<ParadoxFieldDesc> fields;
    uint32_t encryptionKey = 0; // word the data and blob blocks are scrambled with, 0 when not encrypted
};

class ParadoxFile {
  public:
    ParadoxFile() = default;
    ~ParadoxFile();
    ParadoxFile(const ParadoxFile &) = delete;
    ParadoxFile &operator=(const ParadoxFile &) = delete;

    // Reads and checks the header and the data block chain. On failure returns false and sets *error
    // (when given) to "not a readable Paradox table: <reason>".
    bool open(const std::string &path, std::string *error);
    const ParadoxHeader &header() const { return header_; }
    // Records reachable through the block chain (equals header().recordCount for a sound file).
    // When needsPxlib() the chain cannot be read here; this is then the header's count.
    int recordCount() const { return recordCount_; }
    // Copies record n (0-based, block chain order) into dest (recordSize bytes), decrypted for a
    // password-protected table.
    bool readRecord(int n, uint8_t *dest);
    // True for tables whose records must be read through pxlib: encrypted tables in a build without
    // pxlib's decryption routines (canDecryptParadox() false).
    bool needsPxlib() const { return needsPxlib_; }
    void close();

    // Additions beyond the basic reader.
    bool isOpen() const { return fd_ >= 0; }
    // True when the header's record count differs from the number of records in the block chain.
    bool recordCountMismatch() const { return countMismatch_; }
    // Number of data blocks in the chain.
    int chainLength() const { return static_cast<int>(blocks_.size()); }

  private:
    struct Block {
        uint16_t number;  // block number in the file (1-based)
        uint16_t records; // records in the block
        int firstRecord;  // table index of the block's first record
    };
    bool fail(std::string *error, const std::string &why);
    bool parseHeader(const std::vector<uint8_t> &head, std::string &why);
    bool walkChain(std::string &why);
    bool loadBlock(int chainPos);
    int blockOfRecord(int n) const;
    bool loadBlockAt(int number);

    int fd_ = -1;
    int64_t fileSize_ = 0;
    ParadoxHeader header_;
    int recordCount_ = 0;
    bool needsPxlib_ = false;
    bool countMismatch_ = false;
    std::vector<Block> blocks_;
    std::vector<uint8_t> cache_;        // current block's bytes
    int cachedPos_ = -1;
};

} // namespace quorv
