#include "BenchScanner.h"

#include "platform/System.h"

#ifndef _WIN32
#include "support/ServedScanner.h"
#endif

#include <algorithm>
#include <thread>

namespace {

constexpr double kMsPerByte = 10'000.0 / 19'200.0;

// Forwards every operation to the system's device and notes when a read
// hands the PC a 'U'.
class WatchedDevice final : public platform::CommDevice {
public:
    WatchedDevice(std::unique_ptr<platform::CommDevice> device,
                  std::vector<BenchScanner::SteadyClock::time_point>& syncReads)
        : m_device(std::move(device)), m_syncReads(syncReads)
    {
    }

    bool CreateEvent() override { return m_device->CreateEvent(); }
    void CloseEvent() override { m_device->CloseEvent(); }
    void ResetEvent() override { m_device->ResetEvent(); }
    bool GetState(platform::LineSettings& s) override { return m_device->GetState(s); }
    bool SetState(const platform::LineSettings& s) override { return m_device->SetState(s); }
    bool SetTimeouts(const platform::CommTimeouts& t) override { return m_device->SetTimeouts(t); }
    bool ClearError(std::uint32_t& errors, std::uint32_t& inQueue) override
    {
        return m_device->ClearError(errors, inQueue);
    }

    platform::IoStart StartRead(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& done,
                                platform::Overlapped& overlapped) override
    {
        m_readBuffer = buffer;
        const platform::IoStart start = m_device->StartRead(buffer, count, done, overlapped);
        if (start == platform::IoStart::Completed) {
            Saw(done);
        }
        return start;
    }
    platform::IoStart StartWrite(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& done,
                                 platform::Overlapped& overlapped) override
    {
        m_readBuffer = nullptr;
        return m_device->StartWrite(buffer, count, done, overlapped);
    }
    platform::WaitResult Wait(std::uint32_t ms) override { return m_device->Wait(ms); }
    bool GetResult(std::uint32_t& done) override
    {
        const bool ok = m_device->GetResult(done);
        if (ok) {
            Saw(done);
        }
        return ok;
    }
    void EndTransfer() override
    {
        m_readBuffer = nullptr;
        m_device->EndTransfer();
    }
    std::uint32_t LastError() const override { return m_device->LastError(); }
    bool IsSimulator() const override { return m_device->IsSimulator(); }

private:
    void Saw(std::uint32_t count)
    {
        if (m_readBuffer != nullptr && std::find(m_readBuffer, m_readBuffer + count, 'U') != m_readBuffer + count) {
            m_syncReads.push_back(BenchScanner::SteadyClock::now());
        }
        m_readBuffer = nullptr;
    }

    std::unique_ptr<platform::CommDevice> m_device;
    std::vector<BenchScanner::SteadyClock::time_point>& m_syncReads;
    const std::uint8_t* m_readBuffer = nullptr;
};

}  // namespace

std::unique_ptr<platform::CommDevice> BenchScanner::WatchedPorts::Open(const std::string& path, std::uint32_t& error)
{
    auto device = platform::SystemPorts().Open(path, error);
    if (!device) {
        return nullptr;
    }
    return std::make_unique<WatchedDevice>(std::move(device), syncReads);
}

BenchScanner::BenchScanner(const sim::ScannerConfig& config, int defaultCom, std::optional<int> externalCom)
    : m_com(externalCom.value_or(defaultCom)), m_services(platform::RealClock(), m_ports)
{
    if (externalCom) {
        return;
    }
#ifdef _WIN32
    (void)config;
    m_error = "the scanner model cannot be served here: start vrt58-sim and name its port with --com";
#else
    m_served = std::make_unique<testing_support::ServedScanner>(config, m_com);
    if (!m_served->Started()) {
        m_error = m_served->Error();
    }
#endif
}

BenchScanner::~BenchScanner() = default;

std::string BenchScanner::Where() const
{
#ifndef _WIN32
    if (m_served) {
        return "the scanner model on " + m_served->SlavePath() + " (COM" + std::to_string(m_com) + ")";
    }
#endif
    return "the scanner on COM" + std::to_string(m_com);
}

bool BenchScanner::WaitForUpdateMode()
{
#ifndef _WIN32
    if (m_served) {
        return m_served->WaitUntil([](sim::ScannerModel& m) { return m.InUpdateMode(); }, 5000);
    }
#endif
    std::this_thread::sleep_for(std::chrono::seconds(1));
    return true;
}

std::optional<BenchScanner::SteadyClock::time_point> BenchScanner::SyncArrival(SteadyClock::time_point since)
{
    std::vector<SteadyClock::time_point> times = m_ports.syncReads;
    auto lineTime = std::chrono::nanoseconds(0);
#ifndef _WIN32
    if (m_served) {
        times = m_served->EventTimes("sync 'U' sent");
        // The 'U' is on the line for one character after it was sent.
        lineTime = std::chrono::nanoseconds(static_cast<long long>(kMsPerByte * 1e6));
    }
#endif
    const auto first = std::find_if(times.begin(), times.end(), [&](auto t) { return t >= since; });
    if (first == times.end()) {
        return std::nullopt;
    }
    return *first + lineTime;
}

bool BenchScanner::ImageIntact(std::span<const std::uint8_t> image)
{
#ifndef _WIN32
    if (m_served) {
        return m_served->With(
            [&](sim::ScannerModel& m) { return m.ImageComplete() && !m.FirstDifference(image).has_value(); });
    }
#endif
    (void)image;
    return true;
}

std::string BenchScanner::Log()
{
#ifndef _WIN32
    if (m_served) {
        return m_served->Log();
    }
#endif
    return "(see the scanner's own output)\n";
}
