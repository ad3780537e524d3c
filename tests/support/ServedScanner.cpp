#include "ServedScanner.h"

#include "platform/posix/PosixCommDevice.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace testing_support {

namespace fs = std::filesystem;

ServedScanner::ServedScanner(sim::ScannerConfig config, int comNumber)
    : m_comNumber(comNumber), m_model(std::move(config))
{
    if (m_home.Path().empty()) {
        m_error = "no temporary folder";
        return;
    }
    m_model.OnEvent([this](std::uint64_t now, const std::string& text) {
        m_log.push_back({now, text});
    });
    sim::PtyServer::Options options;
    options.port = comNumber;
    options.folder = m_home.PortMapFolder();
    if (!m_server.Start(options, m_error)) {
        return;
    }
    m_linkPath = m_server.LinkPath();
    m_started = true;
    m_thread = std::thread([this] {
        const auto reason = m_server.Serve();
        const auto now = SteadyClock::now();
        if (reason == sim::PtyServer::StopReason::HungUp) {
            std::lock_guard lock(m_mutex);
            m_hungUpAt = now;
        }
    });
}

ServedScanner::~ServedScanner()
{
    Stop();
}

void ServedScanner::Stop()
{
    m_server.RequestStop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool ServedScanner::WaitUntil(const std::function<bool(sim::ScannerModel&)>& done, int ms)
{
    return test::WaitFor([&] { return With([&](sim::ScannerModel& model) { return done(model); }); }, ms);
}

void ServedScanner::RemoveLink()
{
    std::error_code ignored;
    fs::remove(m_linkPath, ignored);
}

std::optional<ServedScanner::SteadyClock::time_point> ServedScanner::HungUpAt()
{
    std::lock_guard lock(m_mutex);
    return m_hungUpAt;
}

int ServedScanner::HeldHere() const
{
    const std::string& slave = SlavePath();
    int count = 0;
    std::error_code ec;
    for (fs::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code linkError;
        const std::string target = fs::read_symlink(it->path(), linkError).string();
        // A line whose device went away reads "<path> (deleted)".
        if (linkError || (target != slave && !target.starts_with(slave + " "))) {
            continue;
        }
        // The locks a descriptor holds are listed with it.
        std::ifstream info("/proc/self/fdinfo/" + it->path().filename().string());
        for (std::string line; std::getline(info, line);) {
            if (line.starts_with("lock:") && line.find("FLOCK") != std::string::npos) {
                ++count;
                break;
            }
        }
    }
    return count;
}

bool ServedScanner::CanOpenExclusively() const
{
    std::uint32_t error = 0;
    return platform::posix::PosixCommDevice::Open(SlavePath(), error) != nullptr;
}

std::string ServedScanner::Log()
{
    return With([this](sim::ScannerModel& model) {
        std::string text;
        for (const Event& event : m_log) {
            text += "  " + std::to_string(event.ms) + " ms: " + event.text + "\n";
        }
        for (const std::string& line : model.Summary()) {
            text += "  " + line + "\n";
        }
        return text;
    });
}

std::vector<ServedScanner::SteadyClock::time_point> ServedScanner::EventTimes(const std::string& prefix)
{
    // The model counts milliseconds from the server's start.
    const auto origin = SteadyClock::now() - std::chrono::milliseconds(m_server.NowMs());
    return With([&](sim::ScannerModel&) {
        std::vector<SteadyClock::time_point> times;
        for (const Event& event : m_log) {
            if (event.text.starts_with(prefix)) {
                times.push_back(origin + std::chrono::milliseconds(event.ms));
            }
        }
        return times;
    });
}

}  // namespace testing_support
