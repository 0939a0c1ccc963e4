#include "export/dbf/memo_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/system.h"

namespace quorv {

namespace {

constexpr size_t kFlushSize = 256 * 1024;

void putLittle32(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void putBig32(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * (3 - i)));
}

int64_t blocksIn(int64_t bytes, uint32_t blockSize) {
    return (bytes + blockSize - 1) / blockSize;
}


} // namespace

MemoFile::~MemoFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::string MemoFile::pathFor(const std::string &tablePath, MemoForm form) {
    const char *extension = form == MemoForm::FoxPro ? "fpt" : "dbt";
    size_t slash = tablePath.rfind('/');
    size_t dot = tablePath.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return tablePath + "." + extension;
    return tablePath.substr(0, dot + 1) + extension;
}

bool MemoFile::create(const std::string &path, MemoForm form, std::string *error) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (error)
            *error = platform::systemMessage(errno);
        return false;
    }
    path_ = path; // from here on discard() undoes what this run did to the file
    form_ = form;
    fd_ = fd;
    created_ = true;
    startSize_ = written_ = flushed_ = 0;
    errorNumber_ = 0;
    uint8_t header[kMemoHeaderSize] = {};
    if (form == MemoForm::FoxPro) {
        blockSize_ = kFoxProMemoBlock;
        putBig32(header, kMemoHeaderSize / kFoxProMemoBlock); // the header fills blocks 0-7
        header[6] = static_cast<uint8_t>(kFoxProMemoBlock >> 8);
        header[7] = static_cast<uint8_t>(kFoxProMemoBlock & 0xFF);
    } else {
        blockSize_ = kDBaseMemoBlock;
        putLittle32(header, 1);
        header[20] = static_cast<uint8_t>(kDBaseMemoBlock & 0xFF);
        header[21] = static_cast<uint8_t>(kDBaseMemoBlock >> 8);
    }
    pending_.assign(reinterpret_cast<const char *>(header), sizeof header);
    written_ = sizeof header;
    return true;
}

bool MemoFile::openExisting(const std::string &path, MemoForm form, std::string *error) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = platform::systemMessage(errno);
        return false;
    }
    struct stat st {};
    uint8_t header[8] = {};
    std::string problem;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < static_cast<off_t>(kMemoHeaderSize) ||
        pread(fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header))
        problem = "it is not a memo file (shorter than a memo file's header)";
    uint32_t blockSize = kDBaseMemoBlock;
    if (problem.empty() && form == MemoForm::FoxPro) {
        blockSize = static_cast<uint32_t>(header[6]) << 8 | header[7];
        if (blockSize == 0)
            problem = "it is not a FoxPro memo file (its block size is 0)";
    }
    if (!problem.empty()) {
        ::close(fd);
        if (error)
            *error = problem;
        return false;
    }
    path_ = path;
    form_ = form;
    fd_ = fd;
    created_ = false;
    blockSize_ = blockSize;
    std::memcpy(startHeader_, header, sizeof header);
    startSize_ = written_ = flushed_ = st.st_size;
    pending_.clear();
    errorNumber_ = 0;
    return true;
}

void MemoFile::fail(int errorNumber) {
    if (errorNumber_ == 0)
        errorNumber_ = errorNumber ? errorNumber : EIO;
}

bool MemoFile::writeAt(int64_t offset, const void *data, size_t size) {
    int err = 0;
    if (!platform::writeAll(fd_, static_cast<const char *>(data), size, offset, err)) {
        fail(err);
        return false;
    }
    return true;
}

bool MemoFile::flush() {
    if (fd_ < 0 || errorNumber_ != 0) {
        pending_.clear();
        return errorNumber_ == 0;
    }
    if (!pending_.empty() && writeAt(flushed_, pending_.data(), pending_.size()))
        flushed_ += static_cast<int64_t>(pending_.size());
    pending_.clear();
    return errorNumber_ == 0;
}

uint32_t MemoFile::append(std::string_view text) {
    if (text.empty() || fd_ < 0 || errorNumber_ != 0)
        return 0;
    // dBase: the text goes in the block after the one the file ends in (its first text in block 2);
    // FoxPro: in the first block after the content.
    const int64_t block =
        form_ == MemoForm::FoxPro ? blocksIn(written_, blockSize_) : written_ / blockSize_ + 1;
    if (block > 0xFFFFFFFFll) {
        fail(EFBIG);
        return 0;
    }
    const int64_t start = block * blockSize_;
    pending_.append(static_cast<size_t>(start - written_), '\0');
    int64_t length = 0;
    if (form_ == MemoForm::FoxPro) {
        uint8_t head[8] = {0, 0, 0, 1};
        putBig32(head + 4, static_cast<uint32_t>(text.size()));
        pending_.append(reinterpret_cast<const char *>(head), sizeof head);
        pending_.append(text);
        length = static_cast<int64_t>(text.size()) + 8;
    } else {
        pending_.append(text);
        pending_.append("\x1A\x1A", 2);
        length = static_cast<int64_t>(text.size()) + 2;
    }
    const int64_t padded = blocksIn(length, blockSize_) * blockSize_;
    pending_.append(static_cast<size_t>(padded - length), '\0');
    written_ = start + padded;
    if (pending_.size() >= kFlushSize && !flush())
        return 0;
    return static_cast<uint32_t>(block);
}

bool MemoFile::close(std::string *error) {
    if (fd_ < 0)
        return errorNumber_ == 0;
    flush();
    if (errorNumber_ == 0 && (created_ || written_ != startSize_)) {
        // The next free block, so that a program that adds memos later writes behind ours.
        uint8_t counter[4];
        const uint32_t next = static_cast<uint32_t>(blocksIn(written_, blockSize_));
        if (form_ == MemoForm::FoxPro)
            putBig32(counter, next);
        else
            putLittle32(counter, next);
        writeAt(0, counter, sizeof counter);
    }
    if (::close(fd_) != 0)
        fail(errno);
    fd_ = -1;
    if (errorNumber_ != 0 && error)
        *error = errorText();
    return errorNumber_ == 0;
}

void MemoFile::discard() {
    if (path_.empty())
        return;
    pending_.clear();
    if (created_) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        ::unlink(path_.c_str());
    } else {
        int fd = fd_ >= 0 ? fd_ : ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
        fd_ = -1;
        if (fd >= 0) {
            int err = 0;
            if (ftruncate(fd, startSize_) == 0)
                platform::writeAll(fd, reinterpret_cast<const char *>(startHeader_), 4, 0, err);
            ::close(fd);
        }
    }
    path_.clear();
}

std::string MemoFile::errorText() const {
    return errorNumber_ ? platform::systemMessage(errorNumber_) : std::string();
}

} // namespace quorv
