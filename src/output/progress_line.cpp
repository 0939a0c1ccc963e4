#include "output/progress_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/system.h"

namespace quorv {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// Only one line can be on the terminal; this is it.
ProgressLine *shownLine = nullptr;

size_t terminalColumns(int fd) {
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
        return size.ws_col;
    return 80;
}

// Cuts text to at most width bytes without splitting a UTF-8 character.
void fitWidth(std::string &text, size_t width) {
    if (text.size() <= width)
        return;
    size_t end = width;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
}

size_t columnsOf(const std::string &text) {
    size_t columns = 0;
    for (char c : text)
        columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return columns;
}

} // namespace

ProgressLine::ProgressLine(int fd) : fd_(fd), enabled_(isatty(fd) == 1) {}

ProgressLine::~ProgressLine() { clear(); }

void ProgressLine::startTable(const std::string &name, int index, int count) {
    table_ = name;
    if (count > 1)
        table_ += " (" + std::to_string(index) + " of " + std::to_string(count) + ")";
    tableStart_ = Clock::now();
    drawnOnce_ = false; // every table shows its line from its first record
}

void ProgressLine::update(int position, int loopCount) {
    // The clock is read for every 32nd record only: the rest cost one comparison.
    if (!enabled_ || (position % 32 != 0 && drawnOnce_))
        return;
    Clock::time_point now = Clock::now();
    if (drawnOnce_ && now - lastDraw_ < kRedrawInterval)
        return;
    lastDraw_ = now;
    drawnOnce_ = true;
    long long percent = loopCount > 0 ? static_cast<long long>(position) * 100 / loopCount : 100;
    std::string text = table_ + ": " + std::to_string(percent) + "%, " + std::to_string(position) + " of " +
                       std::to_string(loopCount) + " records";
    double seconds = std::chrono::duration<double>(now - tableStart_).count();
    if (seconds >= 0.1)
        text += ", " + std::to_string(static_cast<long long>(position / seconds)) + " records/s";
    draw(text);
}

void ProgressLine::draw(const std::string &line) {
    std::string text = line;
    fitWidth(text, terminalColumns(fd_) - 1);
    size_t width = columnsOf(text);
    // Blanks over what is left of a longer line before.
    std::string out = "\r" + text + std::string(shownWidth_ > width ? shownWidth_ - width : 0, ' ') + "\r";
    int errorNumber = 0;
    platform::writeAll(fd_, out.data(), out.size(), -1, errorNumber);
    shownWidth_ = width;
    shownLine = this;
}

void ProgressLine::clear() {
    if (shownWidth_ > 0) {
        std::string out = "\r" + std::string(shownWidth_, ' ') + "\r";
        int errorNumber = 0;
        platform::writeAll(fd_, out.data(), out.size(), -1, errorNumber);
        shownWidth_ = 0;
    }
    if (shownLine == this)
        shownLine = nullptr;
}

void clearProgressLine() {
    if (shownLine)
        shownLine->clear();
}

} // namespace quorv
