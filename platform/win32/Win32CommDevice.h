#pragma once

#include "../CommDevice.h"

#include <cstdint>
#include <memory>
#include <string>

// The Windows records, by their tag names, so this header needs no
// <windows.h>.
struct _DCB;
struct _COMMTIMEOUTS;

namespace platform::win32 {

// Our line-settings record and the system's DCB hold the same fields; the
// DCB keeps its flags in bit-fields. False when a value does not fit its
// bit-field: the system would see a different setting than was asked for.
bool ToDcb(const LineSettings& settings, _DCB& dcb);
LineSettings FromDcb(const _DCB& dcb);
void ToCommTimeouts(const CommTimeouts& timeouts, _COMMTIMEOUTS& record);

// A serial device opened for overlapped use: each operation of the seam is
// the one Win32 call of the same purpose on the device and the completion
// record it owns. Error codes are GetLastError() values.
class Win32CommDevice final : public CommDevice {
public:
    // CreateFileA(path) for reading and writing, shared with nobody,
    // overlapped. Null with `error` set when the device is missing or held.
    static std::unique_ptr<Win32CommDevice> Open(const std::string& path, std::uint32_t& error);

    // Ends a transfer still pending, then closes the event and the device.
    ~Win32CommDevice() override;
    Win32CommDevice(const Win32CommDevice&) = delete;
    Win32CommDevice& operator=(const Win32CommDevice&) = delete;

    bool CreateEvent() override;
    void CloseEvent() override;
    void ResetEvent() override;

    bool GetState(LineSettings& settings) override;
    bool SetState(const LineSettings& settings) override;
    bool SetTimeouts(const CommTimeouts& timeouts) override;

    bool ClearError(std::uint32_t& errors, std::uint32_t& inQueue) override;

    IoStart StartRead(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& done,
                      Overlapped& overlapped) override;
    IoStart StartWrite(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& done,
                       Overlapped& overlapped) override;
    WaitResult Wait(std::uint32_t ms) override;
    bool GetResult(std::uint32_t& done) override;
    void EndTransfer() override;

    std::uint32_t LastError() const override { return m_lastError; }

    // A COM port cannot tell whether a scanner or the simulator is behind
    // it: only the environment that serves the simulator says so, with
    // VRT58_SIMULATOR=1 (the test harness and scripts/run set it).
    bool IsSimulator() const override;

private:
    // The system's OVERLAPPED record with its completion event; on the heap
    // so its address stays put while the system holds it.
    struct Completion;

    explicit Win32CommDevice(void* handle);

    // Notes the calling thread's last error as ours.
    void KeepLastError();
    // How a started transfer went, from the call's result.
    IoStart Started(bool ok, std::uint32_t count, std::uint32_t& done);

    void* m_handle;
    std::unique_ptr<Completion> m_completion;
    // A transfer was started and its outcome not yet collected: the system
    // may still write into its buffer or signal the event.
    bool m_pending = false;
    std::uint32_t m_lastError = 0;
};

}  // namespace platform::win32
