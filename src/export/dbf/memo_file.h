// The memo file beside a DBF table: .dbt (dBase) or .fpt (FoxPro), holding the texts of its memo
// fields in blocks. Texts are only ever added at the end; the writes are buffered and the header's
// next-free-block counter is brought up to date when the file is closed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorv {

enum class MemoForm {
    DBase,  // .dbt, 512-byte blocks, a text ends with 1A 1A
    FoxPro, // .fpt, 64-byte blocks, each text behind an 8-byte block header
};

inline constexpr uint32_t kDBaseMemoBlock = 512;
inline constexpr uint32_t kFoxProMemoBlock = 64;
inline constexpr size_t kMemoHeaderSize = 512;

class MemoFile {
  public:
    MemoFile() = default;
    ~MemoFile();
    MemoFile(const MemoFile &) = delete;
    MemoFile &operator=(const MemoFile &) = delete;

    // The memo file's path for a table: the table path with the part after its last '.' replaced by
    // "dbt" or "fpt" (with the extension added when the name has none).
    static std::string pathFor(const std::string &tablePath, MemoForm form);

    // Creates the memo file, replacing one that is there.
    bool create(const std::string &path, MemoForm form, std::string *error);
    // Opens an existing memo file to add texts after its content. False, with the reason, when it is
    // missing or is not a memo file of this form; nothing is changed then.
    bool openExisting(const std::string &path, MemoForm form, std::string *error);

    // Stores a non-empty text and returns its block number; 0 when nothing was stored (empty text,
    // no open file, or an earlier write failure).
    uint32_t append(std::string_view text);

    // Writes what is pending and the header's counter, and closes. False when any write failed.
    bool close(std::string *error);
    // Closes and undoes this run: a created file is removed, an opened one is cut back to its old
    // length with its old header counter.
    void discard();

    bool isOpen() const { return fd_ >= 0; }
    bool failed() const { return errorNumber_ != 0; }
    std::string errorText() const;
    const std::string &path() const { return path_; }
    uint32_t blockSize() const { return blockSize_; }

  private:
    bool flush();
    void fail(int errorNumber);
    bool writeAt(int64_t offset, const void *data, size_t size);

    std::string path_;
    MemoForm form_ = MemoForm::DBase;
    int fd_ = -1;
    bool created_ = false;
    uint32_t blockSize_ = kDBaseMemoBlock;
    int64_t startSize_ = 0;       // the file's size when it was opened
    uint8_t startHeader_[8] = {}; // its first bytes then (the counter and the block size)
    int64_t written_ = 0;         // bytes in the file, pending ones included
    int64_t flushed_ = 0;         // bytes already in the file
    std::string pending_;         // bytes from offset flushed_ on
    int errorNumber_ = 0;
};

} // namespace quorv
