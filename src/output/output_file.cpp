#include "output/output_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/system.h"

namespace quorv {

namespace {

constexpr size_t kBufferSize = 256 * 1024;

class FileSink : public Sink {
public:
    explicit FileSink(int fd) : fd_(fd) {}
    ~FileSink() override {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool write(const char *data, size_t size, int &errorNumber) override {
        return platform::writeAll(fd_, data, size, -1, errorNumber);
    }
    int64_t seek(int64_t distance, bool fromEnd, int &errorNumber) override {
        off_t at = lseek(fd_, distance, fromEnd ? SEEK_END : SEEK_SET);
        if (at < 0)
            errorNumber = errno;
        return at;
    }
    bool close(int &errorNumber) override {
        int fd = fd_;
        fd_ = -1;
        if (fd >= 0 && ::close(fd) != 0) {
            errorNumber = errno;
            return false;
        }
        return true;
    }
    bool truncate(int64_t size, int &errorNumber) override {
        if (ftruncate(fd_, size) != 0) {
            errorNumber = errno;
            return false;
        }
        return true;
    }

private:
    int fd_;
};

} // namespace

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() {
    if (sink_) {
        std::string ignored;
        close(&ignored);
    }
}

bool OutputFile::open(const std::string &path, bool append, std::string *error) {
    errorNumber_ = 0;
    buffer_.clear();
    bool existed = platform::fileExists(path);
    int flags = O_RDWR | O_CREAT | O_CLOEXEC | (append ? 0 : O_TRUNC);
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        if (error)
            *error = platform::systemMessage(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = platform::systemMessage(EISDIR);
        return false;
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    int64_t size = 0;
    if (append) {
        size = lseek(fd, 0, SEEK_END);
        if (size < 0)
            size = 0;
    }
    sink_ = std::make_unique<FileSink>(fd);
    path_ = path; // only a file this object opened is ever removed by discard()
    startSize_ = size;
    position_ = size;
    createdNew_ = !existed || !append; // a replaced file is gone either way
    return true;
}

void OutputFile::openSink(std::unique_ptr<Sink> sink, int64_t startSize) {
    sink_ = std::move(sink);
    path_.clear();
    buffer_.clear();
    errorNumber_ = 0;
    startSize_ = position_ = startSize;
    createdNew_ = false;
}

bool OutputFile::reopen(const std::string &path, std::string *error) {
    std::string closeError;
    bool closed = close(&closeError);
    if (!open(path, false, error))
        return false;
    if (!closed && error)
        *error = closeError;
    return closed;
}

void OutputFile::fail(int errorNumber) {
    if (errorNumber_ == 0)
        errorNumber_ = errorNumber ? errorNumber : EIO;
}

bool OutputFile::flush() {
    if (!sink_ || buffer_.empty() || errorNumber_ != 0) {
        buffer_.clear();
        return errorNumber_ == 0;
    }
    int err = 0;
    if (!sink_->write(buffer_.data(), buffer_.size(), err))
        fail(err);
    buffer_.clear();
    return errorNumber_ == 0;
}

void OutputFile::writeBytes(const void *data, size_t size) {
    if (!sink_ || errorNumber_ != 0)
        return;
    position_ += static_cast<int64_t>(size);
    if (buffer_.size() + size > kBufferSize) {
        flush();
        if (size >= kBufferSize) {
            int err = 0;
            if (errorNumber_ == 0 && !sink_->write(static_cast<const char *>(data), size, err))
                fail(err);
            return;
        }
    }
    buffer_.append(static_cast<const char *>(data), size);
}

void OutputFile::writeByteOrderMark() { writeBytes("\xEF\xBB\xBF", 3); }

void OutputFile::writeRecordLine(std::string_view line, bool utf8, int codePage) {
    if (!utf8) {
        writeText(line);
        return;
    }
    utf8Line_.clear();
    platform::appendUtf8(utf8Line_, line, codePage);
    writeText(utf8Line_);
}

int64_t OutputFile::seek(int64_t distance, bool fromEnd) {
    if (!sink_ || !flush())
        return -1;
    int err = 0;
    int64_t at = sink_->seek(distance, fromEnd, err);
    if (at < 0)
        fail(err);
    else
        position_ = at;
    return at;
}

bool OutputFile::close(std::string *error) {
    if (!sink_)
        return errorNumber_ == 0;
    flush();
    int err = 0;
    if (!sink_->close(err))
        fail(err);
    sink_.reset();
    if (errorNumber_ != 0 && error)
        *error = errorText();
    return errorNumber_ == 0;
}

void OutputFile::discard() {
    if (sink_) {
        buffer_.clear();
        int err = 0;
        if (!createdNew_)
            sink_->truncate(startSize_, err);
        sink_->close(err);
        sink_.reset();
        if (!createdNew_)
            return;
    }
    if (path_.empty())
        return;
    if (createdNew_)
        ::unlink(path_.c_str());
    else
        ::truncate(path_.c_str(), startSize_);
}

std::string OutputFile::errorText() const { return errorNumber_ ? platform::systemMessage(errorNumber_) : std::string(); }

} // namespace quorv
