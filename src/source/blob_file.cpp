#include "source/blob_file.h"

#include "source/paradox_crypt.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quorv {

namespace {

constexpr int64_t kChunk = 4096; // .mb blocks are whole 4 KiB chunks
constexpr int kSingleHeader = 9; // type, chunks, length, modification number
constexpr int kSubHeader = 12;   // suballocated block header
constexpr int kSubEntries = 64;  // 5-byte entries after it
constexpr int kSubDataStart = kSubHeader + 5 * kSubEntries;

uint16_t le16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t le32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool readExact(int fd, void *dest, size_t len, int64_t offset) {
    size_t done = 0;
    auto *d = static_cast<uint8_t *>(dest);
    while (done < len) {
        ssize_t n = ::pread(fd, d + done, len - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool setError(std::string *error, const std::string &text) {
    if (error)
        *error = text;
    return false;
}

std::string lower(std::string s) {
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool hasUpper(const std::string &s) {
    return std::any_of(s.begin(), s.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

} // namespace

BlobFile::~BlobFile() {
    close();
}

void BlobFile::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    key_ = 0;
    fileSize_ = 0;
    path_.clear();
}

bool BlobFile::open(const std::string &mbPath, std::string *error) {
    return open(mbPath, error, 0);
}

// Reads plain bytes; an encrypted file is read and decrypted in whole 256-byte chunks around them.
bool BlobFile::readAt(int64_t offset, size_t length, void *dest) {
    if (key_ == 0)
        return readExact(fd_, dest, length, offset);
    const int64_t start = offset & ~int64_t{255};
    const int64_t end = (offset + static_cast<int64_t>(length) + 255) & ~int64_t{255};
    if (end > fileSize_)
        return false;
    std::vector<uint8_t> span(static_cast<size_t>(end - start));
    if (!readExact(fd_, span.data(), span.size(), start))
        return false;
    decryptBlobSpan(span.data(), span.size(), key_);
    std::memcpy(dest, span.data() + (offset - start), length);
    return true;
}

bool BlobFile::open(const std::string &mbPath, std::string *error, uint32_t encryptionKey) {
    close();
    const std::string prefix = "not a readable Paradox blob file: ";
    if (encryptionKey != 0 && !canDecryptParadox())
        return setError(error, prefix + "the table is encrypted and this build cannot decrypt");
    int fd = ::open(mbPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return setError(error, prefix + "cannot open " + mbPath + ": " + std::strerror(errno));
    auto bail = [&](const std::string &why) {
        ::close(fd);
        fd_ = -1;
        key_ = 0;
        fileSize_ = 0;
        return setError(error, prefix + why);
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return bail(mbPath + " is not a regular file");
    fd_ = fd;
    fileSize_ = st.st_size;
    key_ = encryptionKey;
    uint8_t head[3];
    if (st.st_size < kChunk || !readAt(0, sizeof head, head))
        return bail("file has " + std::to_string(st.st_size) +
                    " bytes, shorter than the 4096-byte header block");
    if (head[0] != 0)
        return bail("first block has type " + std::to_string(head[0]) +
                    (encryptionKey ? ", not a header block (wrong key?)"
                                   : ", not a header block (encrypted table's blob file?)"));
    const int chunks = le16(head + 1);
    if (chunks < 1 || chunks * kChunk > st.st_size)
        return bail("header block claims " + std::to_string(chunks) + " chunks");
    fd_ = fd;
    path_ = mbPath;
    return true;
}

bool BlobFile::read(const uint8_t *pointer10, std::string &out, std::string *error) {
    out.clear();
    if (fd_ < 0)
        return setError(error, "blob file is not open");
    const uint32_t where = le32(pointer10);
    const uint32_t length = le32(pointer10 + 4);
    const int64_t offset = where & 0xFFFFFF00u;
    const int index = static_cast<int>(where & 0xFFu);
    const std::string at =
        " (blob at " + std::to_string(offset) + " index " + std::to_string(index) + " in " + path_ + ")";
    if (offset == 0)
        return setError(error, "blob pointer names the header block" + at);
    if (offset + kSubHeader > fileSize_)
        return setError(error, "blob pointer lies past the end of the file" + at);
    if (length == 0)
        return setError(error, "blob pointer has length 0" + at);

    uint8_t head[kSubHeader];
    if (!readAt(offset, sizeof head, head))
        return setError(error, "cannot read blob block" + at);
    const int type = head[0];
    if (type != 2 && type != 3)
        return setError(error, "blob pointer names a block of type " + std::to_string(type) +
                                   (type == 4   ? " (free block)"
                                    : type == 0 ? " (header block)"
                                                : "") +
                                   at);
    const int64_t blockBytes = le16(head + 1) * kChunk;
    if (blockBytes == 0 || offset + blockBytes > fileSize_)
        return setError(error, "blob block of " + std::to_string(le16(head + 1)) +
                                   " chunks runs past the end of the file" + at);

    int64_t dataAt = 0;
    if (type == 2) {
        if (index != 0xFF)
            return setError(error, "single blob block addressed with index " + std::to_string(index) + at);
        const uint32_t stored = le32(head + 3);
        if (stored != length)
            return setError(error, "blob block holds " + std::to_string(stored) + " bytes, the record says " +
                                       std::to_string(length) + at);
        if (kSingleHeader + static_cast<int64_t>(length) > blockBytes)
            return setError(error,
                            "blob of " + std::to_string(length) + " bytes does not fit its block" + at);
        dataAt = offset + kSingleHeader;
    } else { // suballocated block
        if (index >= kSubEntries)
            return setError(error,
                            "suballocated block entry " + std::to_string(index) + " out of range" + at);
        uint8_t entry[5];
        if (!readAt(offset + kSubHeader + 5 * index, sizeof entry, entry))
            return setError(error, "cannot read suballocation entry" + at);
        const int start = entry[0] * 16;
        const int lastBytes = entry[4];
        if (start == 0 || entry[1] == 0 || lastBytes == 0 || lastBytes > 16)
            return setError(error, "suballocation entry is free or deleted" + at);
        const int64_t stored = (static_cast<int64_t>(entry[1]) - 1) * 16 + lastBytes;
        if (stored != length)
            return setError(error, "suballocated blob holds " + std::to_string(stored) +
                                       " bytes, the record says " + std::to_string(length) + at);
        if (start < kSubDataStart || start + stored > blockBytes)
            return setError(error, "suballocated blob lies outside its block" + at);
        dataAt = offset + start;
    }
    out.resize(length);
    if (!readAt(dataAt, length, out.data())) {
        out.clear();
        return setError(error, "cannot read blob data" + at);
    }
    return true;
}

MemoStatus readMemo(const uint8_t *field, int size, BlobFile *blob, std::string &out, std::string *error) {
    out.clear();
    if (!field || size < 10) {
        if (error)
            *error = "memo field of " + std::to_string(size) + " bytes is shorter than a blob pointer";
        return MemoStatus::Error;
    }
    const int leader = size - 10;
    const uint8_t *pointer = field + leader;
    const uint32_t length = le32(pointer + 4);
    if (length == 0)
        return MemoStatus::Empty;
    if (length <= static_cast<uint32_t>(leader)) {
        out.assign(reinterpret_cast<const char *>(field), length);
        return MemoStatus::Value;
    }
    if (!blob || !blob->isOpen())
        return MemoStatus::NeedsBlobFile;
    if (!blob->read(pointer, out, error))
        return MemoStatus::Error;
    return MemoStatus::Value;
}

bool stripBlobPrefix(std::string &blob) {
    if (blob.size() < 8)
        return false;
    const auto *p = reinterpret_cast<const uint8_t *>(blob.data());
    if (le32(p + 4) != blob.size() - 8)
        return false;
    blob.erase(0, 8);
    return true;
}

std::string findBlobFile(const std::string &dbPath) {
    const size_t slash = dbPath.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : dbPath.substr(0, slash));
    const std::string file = slash == std::string::npos ? dbPath : dbPath.substr(slash + 1);
    const size_t dot = file.find_last_of('.');
    const std::string base = dot == std::string::npos ? file : file.substr(0, dot);
    if (base.empty())
        return {};
    const std::string wanted = lower(base) + ".mb";
    // Preferred spelling: the base as written with the extension in the .db extension's case.
    const std::string ext = dot == std::string::npos ? std::string() : file.substr(dot + 1);
    const std::string preferred = base + (hasUpper(ext) ? ".MB" : ".mb");

    std::vector<std::string> matches;
    if (DIR *d = ::opendir(dir.c_str())) {
        while (const dirent *e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (lower(name) == wanted)
                matches.push_back(name);
        }
        ::closedir(d);
    }
    if (matches.empty())
        return {};
    std::sort(matches.begin(), matches.end());
    const auto it = std::find(matches.begin(), matches.end(), preferred);
    const std::string &chosen = it != matches.end() ? *it : matches.front();
    const std::string full = slash == std::string::npos ? chosen : dbPath.substr(0, slash + 1) + chosen;
    struct stat st {};
    if (::stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return full;
}

} // namespace quorv
