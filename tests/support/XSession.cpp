#include "XSession.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testing_support {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

std::vector<char*> ArgvOf(const std::vector<std::string>& argv)
{
    std::vector<char*> pointers;
    for (const std::string& argument : argv) {
        pointers.push_back(const_cast<char*>(argument.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Waits up to `ms` for `pid` to end; its exit status, or -1 after killing it.
int Reap(int pid, int ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        int status = 0;
        const int done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (done < 0) {
            return -1;
        }
        if (MillisecondsLeft(deadline) == 0) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

}  // namespace

XvfbDisplay::XvfbDisplay()
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        m_error = "pipe failed";
        return;
    }
    // Xvfb picks a free display number and writes it to descriptor 3.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const std::vector<std::string> argv = {"Xvfb", "-displayfd", "3", "-screen", "0",
                                           "1280x1024x24", "-nolisten", "tcp"};
    auto pointers = ArgvOf(argv);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, "Xvfb", &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (failed != 0) {
        close(pipeFds[0]);
        m_error = "cannot start Xvfb (scripts/setup installs it)";
        return;
    }

    std::string number;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    pollfd waitFor = {pipeFds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && poll(&waitFor, 1, MillisecondsLeft(deadline)) > 0) {
        char buffer[16];
        const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        number.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeFds[0]);
    if (number.find('\n') == std::string::npos) {
        Reap(pid, 0);
        m_error = "Xvfb did not report a display within 10 s";
        return;
    }
    number.pop_back();
    m_pid = pid;
    setenv("DISPLAY", (":" + number).c_str(), 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GDK_BACKEND", "x11", 1);
}

XvfbDisplay::~XvfbDisplay()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        Reap(m_pid, 5000);
    }
}

ChildProgram::ChildProgram(const std::vector<std::string>& argv)
{
    int pipeFds[2];
    if (argv.empty() || pipe2(pipeFds, O_CLOEXEC) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    auto pointers = ArgvOf(argv);
    pid_t pid = -1;
    const int failed =
        posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (failed != 0) {
        close(pipeFds[0]);
        return;
    }
    m_pid = pid;
    m_out = pipeFds[0];
    fcntl(m_out, F_SETFL, fcntl(m_out, F_GETFL) | O_NONBLOCK);
}

ChildProgram::~ChildProgram()
{
    Finish(0);
}

bool ChildProgram::ReadSome(int ms)
{
    if (m_out < 0) {
        return false;
    }
    pollfd waitFor = {m_out, POLLIN, 0};
    if (poll(&waitFor, 1, ms) <= 0) {
        return true;
    }
    char buffer[4096];
    const ssize_t got = read(m_out, buffer, sizeof buffer);
    if (got <= 0) {
        close(m_out);
        m_out = -1;
        return false;
    }
    m_partial.append(buffer, static_cast<std::size_t>(got));
    for (std::size_t end; (end = m_partial.find('\n')) != std::string::npos;) {
        m_lines.push_back(m_partial.substr(0, end));
        m_partial.erase(0, end + 1);
    }
    return true;
}

bool ChildProgram::WaitForLine(const std::string& line, int ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    std::size_t checked = 0;
    for (;;) {
        for (; checked < m_lines.size(); ++checked) {
            if (m_lines[checked] == line) {
                return true;
            }
        }
        const int left = MillisecondsLeft(deadline);
        if (left == 0 || !ReadSome(left)) {
            return std::find(m_lines.begin() + checked, m_lines.end(), line) != m_lines.end();
        }
    }
}

const std::vector<std::string>& ChildProgram::Lines()
{
    while (m_out >= 0) {
        const std::size_t before = m_lines.size() + m_partial.size();
        if (!ReadSome(0) || m_lines.size() + m_partial.size() == before) {
            break;
        }
    }
    return m_lines;
}

int ChildProgram::Finish(int ms)
{
    if (m_pid <= 0) {
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (m_out >= 0 && MillisecondsLeft(deadline) > 0) {
        ReadSome(MillisecondsLeft(deadline));
    }
    const int status = Reap(m_pid, MillisecondsLeft(deadline));
    m_pid = -1;
    Lines();
    if (m_out >= 0) {
        close(m_out);
        m_out = -1;
    }
    return status;
}

std::vector<std::string> RunProgram(const std::vector<std::string>& argv, int seconds, int* status)
{
    ChildProgram program(argv);
    const int result = program.Finish(seconds * 1000);
    if (status != nullptr) {
        *status = result;
    }
    return program.Lines();
}

std::string FindWindow(const std::string& title, int seconds)
{
    // `search --sync` would wait for ever: the time limit is ours.
    const auto lines = RunProgram({"timeout", std::to_string(seconds), "xdotool", "search",
                                   "--sync", "--onlyvisible", "--name", title},
                                  seconds + 2);
    return lines.empty() ? std::string() : lines.front();
}

int CountWindows(const std::string& windowClass)
{
    return static_cast<int>(
        RunProgram({"xdotool", "search", "--onlyvisible", "--class", windowClass}).size());
}

bool PressKeys(const std::string& window, const std::vector<std::string>& keys)
{
    for (const std::string& key : keys) {
        int status = 0;
        RunProgram({"timeout", "10", "xdotool", "windowfocus", "--sync", window, "key", key}, 12,
                   &status);
        if (status != 0) {
            return false;
        }
    }
    return true;
}

bool PressKeysGrabbed(const std::vector<std::string>& keys)
{
    std::vector<std::string> argv = {"timeout", "10", "xdotool", "key"};
    argv.insert(argv.end(), keys.begin(), keys.end());
    int status = 0;
    RunProgram(argv, 12, &status);
    return status == 0;
}

Geometry GeometryOf(const std::string& window)
{
    Geometry g;
    for (const std::string& line : RunProgram({"xdotool", "getwindowgeometry", "--shell", window})) {
        std::sscanf(line.c_str(), "X=%d", &g.x);
        std::sscanf(line.c_str(), "Y=%d", &g.y);
        std::sscanf(line.c_str(), "WIDTH=%d", &g.width);
        std::sscanf(line.c_str(), "HEIGHT=%d", &g.height);
    }
    return g;
}

bool ClickControl(const std::string& window, int x, int y, int cx, int cy)
{
    const Geometry g = GeometryOf(window);
    return ClickAt(g.x + g.width * (2 * x + cx) / (2 * 343), g.y + g.height * (2 * y + cy) / (2 * 274));
}

bool Visible(const std::string& title)
{
    return !RunProgram({"xdotool", "search", "--onlyvisible", "--name", title}).empty();
}

bool WaitGone(const std::string& title, int seconds)
{
    for (int i = 0; i < seconds * 10; ++i) {
        if (!Visible(title)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

bool Any(const std::vector<std::string>& lines, const std::string& part)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != l.npos; });
}

bool ClickAt(int x, int y, int button)
{
    int status = 0;
    RunProgram({"timeout", "10", "xdotool", "mousemove", "--sync", std::to_string(x),
                std::to_string(y), "click", std::to_string(button)},
               12, &status);
    return status == 0;
}

bool Screenshot(const std::string& window, const std::string& path)
{
    int status = 0;
    RunProgram({"timeout", "20", "import", "-window", window, path}, 22, &status);
    return status == 0;
}

double ColouredShare(const std::string& path)
{
    const auto lines = RunProgram({"timeout", "20", "convert", path, "-colorspace", "HSL",
                                   "-channel", "G", "-separate", "+channel", "-threshold", "25%",
                                   "-format", "%[fx:mean]\n", "info:"},
                                  22);
    return lines.empty() ? -1.0 : std::strtod(lines.front().c_str(), nullptr);
}

}  // namespace testing_support
