// Reader for Paradox blob files (.mb), the store behind memo, formatted memo, blob, OLE and graphic
// fields. Written here because pxlib 0.6.8's PX_set_blob_file aborts (stack smashing).
#pragma once

#include <cstdint>
#include <string>

namespace quorv {

class BlobFile {
  public:
    BlobFile() = default;
    ~BlobFile();
    BlobFile(const BlobFile &) = delete;
    BlobFile &operator=(const BlobFile &) = delete;

    // Opens the file and checks its header block; a bad file gives false and *error.
    bool open(const std::string &mbPath, std::string *error);
    // Same for the blob file of a password-protected table: encryptionKey is its
    // ParadoxHeader::encryptionKey. Needs canDecryptParadox(); 0 means not encrypted.
    bool open(const std::string &mbPath, std::string *error, uint32_t encryptionKey);
    // Reads the blob a 10-byte blob pointer names (the last 10 bytes of a memo/blob field: uint32 block
    // offset with the entry index in its low byte, uint32 length, uint16 modification number; all
    // little-endian). Handles single blob blocks (type 2, index 0xFF) and suballocated blocks (type 3);
    // the data must have exactly the pointer's length and lie inside its block. Otherwise false + *error.
    bool read(const uint8_t *pointer10, std::string &out, std::string *error);

    // Additions.
    bool isOpen() const { return fd_ >= 0; }
    void close();

  private:
    bool readAt(int64_t offset, size_t length, void *dest);
    int fd_ = -1;
    uint32_t key_ = 0;
    int64_t fileSize_ = 0;
    std::string path_;
};

enum class MemoStatus { Empty, Value, NeedsBlobFile, Error };

// The value of a memo/blob field (field points at the field's `size` bytes in a record): Empty when the
// pointer's length is 0; the leader (first size-10 bytes) cut to the length when the value lies wholly
// in it; else read from the blob file. With no blob file (blob == nullptr or not open) such a value
// gives NeedsBlobFile. Bytes are returned as stored (no code page conversion).
MemoStatus readMemo(const uint8_t *field, int size, BlobFile *blob, std::string &out, std::string *error);

// Graphic and OLE blobs in the .mb start with an 8-byte prefix: uint32 kind (0x01000001 graphic,
// 0x02000001 OLE as seen) and uint32 length of the rest. Removes the prefix when it is there and its
// length matches; returns whether it did.
bool stripBlobPrefix(std::string &blob);

// Finds "<base>.mb" beside a .db path in any letter case (CUSTOMER.DB -> CUSTOMER.MB or customer.mb).
// Prefers the spelling that matches the .db name's case; empty when there is none.
std::string findBlobFile(const std::string &dbPath);

} // namespace quorv
