#pragma once

#include "platform/CommDevice.h"

#include <gmock/gmock.h>

#include <memory>
#include <string>

namespace testing_support {

class MockCommDevice : public platform::CommDevice {
public:
    MOCK_METHOD(bool, CreateEvent, (), (override));
    MOCK_METHOD(void, CloseEvent, (), (override));
    MOCK_METHOD(void, ResetEvent, (), (override));
    MOCK_METHOD(bool, GetState, (platform::LineSettings&), (override));
    MOCK_METHOD(bool, SetState, (const platform::LineSettings&), (override));
    MOCK_METHOD(bool, SetTimeouts, (const platform::CommTimeouts&), (override));
    MOCK_METHOD(bool, ClearError, (std::uint32_t&, std::uint32_t&), (override));
    MOCK_METHOD(platform::IoStart, StartRead,
                (std::uint8_t*, std::uint32_t, std::uint32_t&, platform::Overlapped&), (override));
    MOCK_METHOD(platform::IoStart, StartWrite,
                (const std::uint8_t*, std::uint32_t, std::uint32_t&, platform::Overlapped&), (override));
    MOCK_METHOD(platform::WaitResult, Wait, (std::uint32_t), (override));
    MOCK_METHOD(bool, GetResult, (std::uint32_t&), (override));
    MOCK_METHOD(void, EndTransfer, (), (override));
    MOCK_METHOD(std::uint32_t, LastError, (), (const, override));
    MOCK_METHOD(void, Die, ());
    ~MockCommDevice() override { Die(); }
};

// Hands out one prepared mock device, or fails with an error code.
class MockCommPorts : public platform::CommPorts {
public:
    std::unique_ptr<platform::CommDevice> Open(const std::string& path, std::uint32_t& error) override
    {
        lastPath = path;
        if (!device) {
            error = openError;
            return nullptr;
        }
        return std::move(device);
    }

    std::unique_ptr<testing::NiceMock<MockCommDevice>> device;
    std::uint32_t openError = 2;
    std::string lastPath;
};

}  // namespace testing_support
