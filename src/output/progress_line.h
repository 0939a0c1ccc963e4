// The progress of a long run on a terminal: one line on standard error that rewrites itself.
#pragma once

#include <chrono>
#include <string>

namespace quorv {

// Shows nothing at all unless its file descriptor is a terminal, so that logs, pipes and files
// see nothing of it. Redraws at most ten times a second; the line is cleared when a table is done
// and before any other text goes to standard error (reportProblem).
class ProgressLine {
public:
    explicit ProgressLine(int fd = 2);
    ~ProgressLine();
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    bool enabled() const { return enabled_; }
    // A new table: its name and, in a batch, its place (index from 1, of count).
    void startTable(const std::string &name, int index, int count);
    // The export is at record position of loopCount.
    void update(int position, int loopCount);
    // Removes the line from the terminal.
    void clear();

private:
    using Clock = std::chrono::steady_clock;
    void draw(const std::string &text);

    int fd_;
    bool enabled_;
    std::string table_;
    Clock::time_point tableStart_;
    Clock::time_point lastDraw_;
    bool drawnOnce_ = false;
    size_t shownWidth_ = 0; // columns of the line now on the terminal, 0 when none
};

// Clears the progress line now on the terminal, if there is one.
void clearProgressLine();

} // namespace quorv
