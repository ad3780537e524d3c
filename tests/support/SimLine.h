#pragma once

#include "platform/fake/FakeCommDevice.h"
#include "platform/fake/VirtualClock.h"
#include "sim/ScannerModel.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace test {

// The fake line with the scanner model on its far side, driven straight
// through the comm device operations, in virtual time.
class SimLine {
public:
    explicit SimLine(sim::ScannerConfig config = {}, int portNumber = 1);

    platform::fake::VirtualClock clock;
    sim::ScannerModel model;
    platform::fake::FakeCommPorts ports;
    std::unique_ptr<platform::CommDevice> device;

    // Opens COM<portNumber>; false when the fake refused.
    bool Open();
    void Close() { device.reset(); }

    // Writes the bytes; true when the write completed at once.
    bool Send(const std::vector<std::uint8_t>& bytes);

    // Everything that reaches the PC within `ms` of virtual time.
    std::vector<std::uint8_t> Collect(std::uint32_t ms);

    // The first byte that arrives within `ms`, if any; the clock stops there.
    std::optional<std::uint8_t> First(std::uint32_t ms);

private:
    int m_portNumber;
};

// "05 06" for {0x05, 0x06}: readable in a failed expectation.
std::string HexBytes(const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> Bytes(const std::string& hex);

}  // namespace test
