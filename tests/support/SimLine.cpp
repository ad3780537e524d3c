#include "SimLine.h"

#include <cstdio>

namespace test {

SimLine::SimLine(sim::ScannerConfig config, int portNumber)
    : model(std::move(config)), ports(clock, model, portNumber), m_portNumber(portNumber)
{
}

bool SimLine::Open()
{
    std::uint32_t error = 0;
    device = ports.Open("\\\\.\\COM" + std::to_string(m_portNumber), error);
    return device != nullptr;
}

bool SimLine::Send(const std::vector<std::uint8_t>& bytes)
{
    std::uint32_t done = 0;
    platform::Overlapped overlapped;
    return device->StartWrite(bytes.data(), static_cast<std::uint32_t>(bytes.size()), done, overlapped) ==
               platform::IoStart::Completed &&
           done == bytes.size();
}

std::vector<std::uint8_t> SimLine::Collect(std::uint32_t ms)
{
    const std::uint64_t deadline = clock.Now() + ms;
    std::vector<std::uint8_t> out;
    platform::Overlapped overlapped;
    for (;;) {
        std::uint32_t errors = 0;
        std::uint32_t waiting = 0;
        if (!device->ClearError(errors, waiting)) {
            return out;
        }
        std::uint32_t done = 0;
        if (waiting > 0) {
            const std::size_t at = out.size();
            out.resize(at + waiting);
            device->StartRead(out.data() + at, waiting, done, overlapped);
            out.resize(at + done);
            continue;
        }
        if (clock.Now() >= deadline) {
            return out;
        }
        std::uint8_t byte = 0;
        if (device->StartRead(&byte, 1, done, overlapped) != platform::IoStart::Pending) {
            return out;
        }
        const auto waited = device->Wait(static_cast<std::uint32_t>(deadline - clock.Now()));
        if (waited == platform::WaitResult::Signalled && device->GetResult(done) && done == 1) {
            device->ResetEvent();
            out.push_back(byte);
            continue;
        }
        device->EndTransfer();
        return out;
    }
}

std::optional<std::uint8_t> SimLine::First(std::uint32_t ms)
{
    std::uint8_t byte = 0;
    std::uint32_t done = 0;
    platform::Overlapped overlapped;
    const auto start = device->StartRead(&byte, 1, done, overlapped);
    if (start == platform::IoStart::Completed) {
        return byte;
    }
    if (start == platform::IoStart::Pending && device->Wait(ms) == platform::WaitResult::Signalled &&
        device->GetResult(done) && done == 1) {
        device->ResetEvent();
        return byte;
    }
    device->EndTransfer();
    return std::nullopt;
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes)
{
    std::string out;
    char three[4];
    for (const std::uint8_t b : bytes) {
        std::snprintf(three, sizeof(three), "%02X ", b);
        out += three;
    }
    if (!out.empty()) {
        out.pop_back();
    }
    return out;
}

std::vector<std::uint8_t> Bytes(const std::string& hex)
{
    std::vector<std::uint8_t> out;
    unsigned value = 0;
    int digits = 0;
    for (const char c : hex) {
        int v = -1;
        if (c >= '0' && c <= '9') v = c - '0';
        if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        if (v < 0) {
            continue;
        }
        value = value * 16 + static_cast<unsigned>(v);
        if (++digits == 2) {
            out.push_back(static_cast<std::uint8_t>(value));
            value = 0;
            digits = 0;
        }
    }
    return out;
}

}  // namespace test
