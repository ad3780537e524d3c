#pragma once

#include "../CommDevice.h"
#include "VirtualClock.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace platform::fake {

class FakeCommDevice;

// The far end of the fake line: the programming cable and whatever is
// plugged into it. Times are milliseconds of virtual time (VirtualClock::Now).
class LinePeer {
public:
    virtual ~LinePeer() = default;

    // Bytes the PC has put on the line at `now`.
    virtual void FromPc(std::span<const std::uint8_t> bytes, std::uint64_t now) = 0;

    // Bytes that have reached the PC's receive line by `now`, in order
    // (the cable's echo included). Each byte is handed over once.
    virtual std::vector<std::uint8_t> ToPc(std::uint64_t now) = 0;

    // True once the far side has gone away (cable pulled, device gone).
    virtual bool HungUp(std::uint64_t /*now*/) const { return false; }

    // The earliest time after `now` at which ToPc may deliver something new,
    // or UINT64_MAX when nothing is scheduled. Lets waits skip dead time.
    virtual std::uint64_t NextEvent(std::uint64_t now) const = 0;

    // The PC opened or closed its end of the line. A device hears nothing
    // of a closed port: what it sent meanwhile is lost.
    virtual void PortOpened(std::uint64_t /*now*/) {}
    virtual void PortClosed(std::uint64_t /*now*/) {}
};

// Knobs that push a transfer down a chosen branch, for tests of the serial
// port object against the in-memory line.
struct FakeFaults {
    bool openFails = false;           // Open reports an error (2: not found)
    bool getStateFails = false;
    bool setStateFails = false;
    bool setTimeoutsFails = false;
    bool writeStartFails = false;     // StartWrite reports Failed
    bool readStartFails = false;      // StartRead reports Failed
    bool waitFails = false;           // Wait reports Failed
    bool resultFails = false;         // GetResult reports failure
    bool writesPend = false;          // every write is Pending, completing
                                      // after the line time of its bytes
    std::uint32_t writeAcceptLimit = UINT32_MAX;  // bytes a write takes at most;
                                                  // 0: the line takes nothing
    std::uint32_t shortWriteLimit = UINT32_MAX;   // a write of more bytes completes
                                                  // at once having taken only these
    std::uint32_t lineErrors = 0;     // mask ClearError reports once
    bool clearErrorFails = false;     // ClearError reports failure
    std::uint32_t errorCode = 31;     // what a knob's failure reports
                                      // (ERROR_GEN_FAILURE)
};

// Error a device reports once the far side has hung up.
inline constexpr std::uint32_t FAKE_ERROR_HUNG_UP = 31;  // ERROR_GEN_FAILURE
// Error of Open when the port number has no device, or it is held.
inline constexpr std::uint32_t FAKE_ERROR_NOT_FOUND = 2;      // ERROR_FILE_NOT_FOUND
inline constexpr std::uint32_t FAKE_ERROR_ACCESS_DENIED = 5;  // ERROR_ACCESS_DENIED

// What the fake saw of the serial port object.
struct FakeRecord {
    std::vector<std::uint8_t> written;  // every byte the PC wrote, in order
    std::vector<std::uint32_t> reads;   // the count every read asked for, in order
    LineSettings settings;              // the last settings applied
    CommTimeouts timeouts;              // the last time-outs applied
    int opens = 0;
    int closes = 0;                     // devices destroyed
    int eventsOpen = 0;                 // completion events not yet closed
    bool open = false;                  // a device is open now
    std::vector<std::string> calls;     // names of the device operations, in order
    int misuse = 0;                     // operations made in a state that does
                                        // not allow them (a second transfer
                                        // while one is pending, a wait or a
                                        // result with no transfer, ...)
};

// Serial ports backed by the in-memory line: Open("\\.\COMn") succeeds for
// the one port number the test attaches the peer to.
class FakeCommPorts final : public CommPorts {
public:
    FakeCommPorts(VirtualClock& clock, LinePeer& peer, int portNumber = 1);

    std::unique_ptr<CommDevice> Open(const std::string& path, std::uint32_t& error) override;

    FakeFaults& Faults() { return m_faults; }
    FakeRecord& Record() { return m_record; }

    // Marks the port as held by another program: Open fails with 5.
    void SetHeld(bool held) { m_held = held; }

    // Whether the devices say they lead to the simulator (they do: the far
    // side is a model); false makes them stand for a real serial line.
    void SetSimulator(bool simulator) { m_simulator = simulator; }

    // The paths that Open was asked for, in order.
    const std::vector<std::string>& OpenedPaths() const { return m_paths; }

    // The settings the device holds now; a fresh port starts with a
    // distinctive record so tests can tell kept fields from written ones.
    LineSettings& DeviceSettings() { return m_deviceSettings; }

private:
    friend class FakeCommDevice;

    VirtualClock& m_clock;
    LinePeer& m_peer;
    int m_portNumber;
    bool m_held = false;
    bool m_simulator = true;
    FakeFaults m_faults;
    FakeRecord m_record;
    std::vector<std::string> m_paths;
    LineSettings m_deviceSettings;
};

}  // namespace platform::fake
