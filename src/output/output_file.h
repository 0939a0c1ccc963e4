// The output file of one export. Writers hand over finished pieces; the layer buffers them and
// remembers the first failure, which the driver reports when the file is closed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quorv {

// Where the bytes go. The file sink is the normal one; tests put in sinks that fail on demand.
class Sink {
public:
    virtual ~Sink() = default;
    virtual bool write(const char *data, size_t size, int &errorNumber) = 0;
    // Moves to an absolute position (fromEnd: relative to the end); -1 on failure.
    virtual int64_t seek(int64_t distance, bool fromEnd, int &errorNumber) = 0;
    virtual bool close(int &errorNumber) = 0;
    virtual bool truncate(int64_t size, int &errorNumber) = 0;
};

class OutputFile {
public:
    OutputFile();
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Creates (or truncates) the file; with append, keeps its content and moves to its end.
    bool open(const std::string &path, bool append, std::string *error);
    // Uses a sink of the caller's (tests).
    void openSink(std::unique_ptr<Sink> sink, int64_t startSize = 0);
    // Closes the current file and creates the named one (HTML page files).
    bool reopen(const std::string &path, std::string *error);

    void writeText(std::string_view text) { writeBytes(text.data(), text.size()); }
    void writeBytes(const void *data, size_t size);
    void writeByteOrderMark();
    // With utf8, the line is converted from the single-byte code page to UTF-8 first.
    void writeRecordLine(std::string_view line, bool utf8, int codePage);
    // Absolute position from the start (or the end); -1 on failure.
    int64_t seek(int64_t distance, bool fromEnd = false);

    // Flushes and closes. False when any write failed; *error then names the first failure.
    bool close(std::string *error);
    // Closes and throws away what this run wrote: a new file is removed, an appended one is cut
    // back to its old length, so no half-written output is left behind.
    void discard();

    bool isOpen() const { return sink_ != nullptr; }
    bool failed() const { return errorNumber_ != 0; }
    std::string errorText() const;
    const std::string &path() const { return path_; }
    // Bytes the file held when it was opened (append mode), and its size now.
    int64_t startSize() const { return startSize_; }
    int64_t position() const { return position_; }

private:
    bool flush();
    void fail(int errorNumber);

    std::unique_ptr<Sink> sink_;
    std::string path_;
    std::string buffer_;
    std::string utf8Line_;
    int64_t position_ = 0;
    int64_t startSize_ = 0;
    bool createdNew_ = true;
    int errorNumber_ = 0;
};

} // namespace quorv
