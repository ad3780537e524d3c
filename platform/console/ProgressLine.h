#pragma once

#include "Terminal.h"

#include <cstdint>
#include <string>

namespace platform::console {

class ConsoleOutput;

// A progress bar drawn on standard error. On a terminal one line is redrawn
// at each position: the title, a bar, the percentage, the bytes and the time
// left, estimated from the rate so far. Elsewhere (a file, a pipe) a line is
// written each time another tenth of the range is reached.
class ProgressLine {
public:
    explicit ProgressLine(ConsoleOutput& output);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void SetTitle(std::string title) { m_title = std::move(title); }
    // Starts the measurement for the time left.
    void SetRange(std::uint16_t lower, std::uint16_t upper);
    void SetPos(int position);

    // What the terminal line shows at `position` of [lower, upper] after
    // `elapsedMs` since the range was set.
    static std::string BarText(const std::string& title, int lower, int upper, int position,
                               std::uint32_t elapsedMs);
    // The line written when `position` reaches another tenth.
    static std::string StepText(const std::string& title, int lower, int upper, int position);

private:
    ConsoleOutput& m_output;
    std::string m_title;
    int m_lower = 0;
    int m_upper = 100;
    std::uint32_t m_start = 0;
    int m_tenthsShown = 0;
    bool m_drawn = false;         // something was written
    std::size_t m_lineLength = 0;  // of the terminal line as last drawn
};

}  // namespace platform::console
