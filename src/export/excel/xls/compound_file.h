// Compound file (OLE2 structured storage) writer and reader, as used by .xls files.
//
// The writer produces a version 3 file (512-byte sectors) whose root storage holds a flat list of
// streams; streams shorter than 4096 bytes live in the mini stream. The reader accepts version 3 and
// 4 files, follows the DIFAT, FAT and mini FAT with bounds and cycle checks, and never allocates more
// than the size of the input file for a stream.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorv::xls {

struct CompoundStream {
    std::string name;      // UTF-8, at most 31 UTF-16 code units, no '/', '\\', ':' or '!'
    std::string_view data; // must stay valid during the write
};

// Writes a compound file holding the given streams in its root storage. Returns false and fills
// *error (if given) when the names are invalid or the file cannot be written.
bool writeCompoundFile(const std::string &path, const std::vector<CompoundStream> &streams,
                       std::string *error);

// The same, into memory.
bool buildCompoundFile(const std::vector<CompoundStream> &streams, std::string *out, std::string *error);

class CompoundFileReader {
  public:
    // Reads and checks the header, the FAT, the directory and the mini FAT.
    bool openFile(const std::string &path, std::string *error);
    bool openBytes(std::string bytes, std::string *error);

    // Names (UTF-8) of all stream entries, in directory order.
    std::vector<std::string> streamNames() const;
    bool hasStream(std::string_view name) const;
    // Reads a stream found by its name (ASCII letters compared case-insensitively).
    bool readStream(std::string_view name, std::string *out, std::string *error) const;

  private:
    struct Entry {
        std::string name; // UTF-8
        uint8_t type = 0; // 1 storage, 2 stream, 5 root
        uint32_t start = 0;
        uint64_t size = 0;
    };

    bool parse(std::string *error);
    bool readChain(uint32_t start, uint64_t size, std::string *out, std::string *error) const;
    bool readMiniChain(uint32_t start, uint64_t size, std::string *out, std::string *error) const;
    const Entry *findStream(std::string_view name) const;
    uint64_t sectorCount() const;

    std::string bytes_;
    uint32_t sectorSize_ = 512;
    uint32_t miniCutoff_ = 4096;
    std::vector<uint32_t> fat_;
    std::vector<uint32_t> miniFat_;
    std::vector<Entry> entries_;
    std::string miniStream_;
};

} // namespace quorv::xls
