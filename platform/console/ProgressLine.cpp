#include "ProgressLine.h"

#include "ConsoleOutput.h"
#include "platform/Services.h"

#include <algorithm>
#include <cstdio>

namespace platform::console {

namespace {

constexpr int BAR_WIDTH = 30;

// Tenths of the range reached at `position` (10 at its end, also for an
// empty range).
int Tenths(int lower, int upper, int position)
{
    if (upper <= lower) {
        return 10;
    }
    const long long done = std::clamp(position, lower, upper) - lower;
    return static_cast<int>(done * 10 / (upper - lower));
}

int Percent(int lower, int upper, int position)
{
    if (upper <= lower) {
        return 100;
    }
    const long long done = std::clamp(position, lower, upper) - lower;
    return static_cast<int>(done * 100 / (upper - lower));
}

const std::string& TitleOr(const std::string& title)
{
    static const std::string none = "Progress";
    return title.empty() ? none : title;
}

}  // namespace

ProgressLine::ProgressLine(ConsoleOutput& output) : m_output(output) {}

ProgressLine::~ProgressLine()
{
    if (m_drawn && m_output.GetTerminal().IsTerminal(Stream::Err)) {
        m_output.Write(Stream::Err, "\n");  // the bar's line stays as last drawn
    }
}

void ProgressLine::SetRange(std::uint16_t lower, std::uint16_t upper)
{
    m_lower = lower;
    m_upper = upper;
    m_start = CurrentClock().TickCount();
    m_tenthsShown = 0;
}

void ProgressLine::SetPos(int position)
{
    if (m_output.GetTerminal().IsTerminal(Stream::Err)) {
        const std::string text =
            BarText(m_title, m_lower, m_upper, position, CurrentClock().TickCount() - m_start);
        if (!m_drawn) {
            m_output.BeginItem(Stream::Err);
            m_drawn = true;
        }
        // Blanks over what a longer line drew before.
        std::string line = "\r" + text;
        if (text.size() < m_lineLength) {
            line.append(m_lineLength - text.size(), ' ');
        }
        m_lineLength = text.size();
        m_output.Write(Stream::Err, line);
        return;
    }
    const int tenths = Tenths(m_lower, m_upper, position);
    if (tenths > m_tenthsShown) {
        m_tenthsShown = tenths;
        if (!m_drawn) {
            m_output.BeginItem(Stream::Err);
            m_drawn = true;
        }
        m_output.Write(Stream::Err, StepText(m_title, m_lower, m_upper, position) + "\n");
    }
}

std::string ProgressLine::BarText(const std::string& title, int lower, int upper, int position,
                                  std::uint32_t elapsedMs)
{
    const int clamped = upper > lower ? std::clamp(position, lower, upper) : upper;
    const int percent = Percent(lower, upper, position);
    const int filled = percent * BAR_WIDTH / 100;

    std::string text = TitleOr(title) + " [";
    text.append(static_cast<std::size_t>(filled), '#');
    text.append(static_cast<std::size_t>(BAR_WIDTH - filled), '-');
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "] %3d%%  %d/%d bytes", percent, clamped - lower, upper - lower);
    text += numbers;

    const long long done = clamped - lower;
    if (done > 0 && elapsedMs > 0) {
        // The rate so far, rounded up to whole seconds.
        const long long leftMs = (static_cast<long long>(upper - clamped) * elapsedMs + done - 1) / done;
        const long long seconds = (leftMs + 999) / 1000;
        std::snprintf(numbers, sizeof numbers, "  %lld:%02lld left", seconds / 60, seconds % 60);
        text += numbers;
    }
    return text;
}

std::string ProgressLine::StepText(const std::string& title, int lower, int upper, int position)
{
    const int clamped = upper > lower ? std::clamp(position, lower, upper) : upper;
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, ": %d%% (%d of %d bytes)", Percent(lower, upper, position),
                  clamped - lower, upper - lower);
    return TitleOr(title) + numbers;
}

}  // namespace platform::console
