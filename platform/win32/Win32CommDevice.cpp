#include "Win32CommDevice.h"

#include "Win32Api.h"

#include <algorithm>

namespace platform::win32 {

namespace {

constexpr bool Fits(std::uint32_t value, unsigned bits)
{
    return (value >> bits) == 0;
}

}  // namespace

bool ToDcb(const LineSettings& s, DCB& dcb)
{
    const bool fits = Fits(s.fBinary, 1) && Fits(s.fParity, 1) && Fits(s.fOutxCtsFlow, 1) &&
                      Fits(s.fOutxDsrFlow, 1) && Fits(s.fDtrControl, 2) && Fits(s.fDsrSensitivity, 1) &&
                      Fits(s.fTXContinueOnXoff, 1) && Fits(s.fOutX, 1) && Fits(s.fInX, 1) &&
                      Fits(s.fErrorChar, 1) && Fits(s.fNull, 1) && Fits(s.fRtsControl, 2) &&
                      Fits(s.fAbortOnError, 1) && Fits(s.fDummy2, 17);
    if (!fits) {
        return false;
    }
    dcb.DCBlength = s.DCBlength;
    dcb.BaudRate = s.BaudRate;
    dcb.fBinary = s.fBinary;
    dcb.fParity = s.fParity;
    dcb.fOutxCtsFlow = s.fOutxCtsFlow;
    dcb.fOutxDsrFlow = s.fOutxDsrFlow;
    dcb.fDtrControl = s.fDtrControl;
    dcb.fDsrSensitivity = s.fDsrSensitivity;
    dcb.fTXContinueOnXoff = s.fTXContinueOnXoff;
    dcb.fOutX = s.fOutX;
    dcb.fInX = s.fInX;
    dcb.fErrorChar = s.fErrorChar;
    dcb.fNull = s.fNull;
    dcb.fRtsControl = s.fRtsControl;
    dcb.fAbortOnError = s.fAbortOnError;
    dcb.fDummy2 = s.fDummy2;
    dcb.wReserved = s.wReserved;
    dcb.XonLim = s.XonLim;
    dcb.XoffLim = s.XoffLim;
    dcb.ByteSize = s.ByteSize;
    dcb.Parity = s.Parity;
    dcb.StopBits = s.StopBits;
    dcb.XonChar = s.XonChar;
    dcb.XoffChar = s.XoffChar;
    dcb.ErrorChar = s.ErrorChar;
    dcb.EofChar = s.EofChar;
    dcb.EvtChar = s.EvtChar;
    dcb.wReserved1 = s.wReserved1;
    return true;
}

LineSettings FromDcb(const DCB& dcb)
{
    LineSettings s;
    s.DCBlength = dcb.DCBlength;
    s.BaudRate = dcb.BaudRate;
    s.fBinary = dcb.fBinary;
    s.fParity = dcb.fParity;
    s.fOutxCtsFlow = dcb.fOutxCtsFlow;
    s.fOutxDsrFlow = dcb.fOutxDsrFlow;
    s.fDtrControl = dcb.fDtrControl;
    s.fDsrSensitivity = dcb.fDsrSensitivity;
    s.fTXContinueOnXoff = dcb.fTXContinueOnXoff;
    s.fOutX = dcb.fOutX;
    s.fInX = dcb.fInX;
    s.fErrorChar = dcb.fErrorChar;
    s.fNull = dcb.fNull;
    s.fRtsControl = dcb.fRtsControl;
    s.fAbortOnError = dcb.fAbortOnError;
    s.fDummy2 = dcb.fDummy2;
    s.wReserved = dcb.wReserved;
    s.XonLim = dcb.XonLim;
    s.XoffLim = dcb.XoffLim;
    s.ByteSize = dcb.ByteSize;
    s.Parity = dcb.Parity;
    s.StopBits = dcb.StopBits;
    s.XonChar = dcb.XonChar;
    s.XoffChar = dcb.XoffChar;
    s.ErrorChar = dcb.ErrorChar;
    s.EofChar = dcb.EofChar;
    s.EvtChar = dcb.EvtChar;
    s.wReserved1 = dcb.wReserved1;
    return s;
}

void ToCommTimeouts(const CommTimeouts& timeouts, COMMTIMEOUTS& record)
{
    record.ReadIntervalTimeout = timeouts.ReadIntervalTimeout;
    record.ReadTotalTimeoutMultiplier = timeouts.ReadTotalTimeoutMultiplier;
    record.ReadTotalTimeoutConstant = timeouts.ReadTotalTimeoutConstant;
    record.WriteTotalTimeoutMultiplier = timeouts.WriteTotalTimeoutMultiplier;
    record.WriteTotalTimeoutConstant = timeouts.WriteTotalTimeoutConstant;
}

struct Win32CommDevice::Completion {
    OVERLAPPED record{};
};

std::unique_ptr<Win32CommDevice> Win32CommDevice::Open(const std::string& path, std::uint32_t& error)
{
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return nullptr;
    }
    error = 0;
    return std::unique_ptr<Win32CommDevice>(new Win32CommDevice(handle));
}

Win32CommDevice::Win32CommDevice(void* handle) : m_handle(handle), m_completion(std::make_unique<Completion>()) {}

Win32CommDevice::~Win32CommDevice()
{
    CloseEvent();
    CloseHandle(m_handle);
}

void Win32CommDevice::KeepLastError()
{
    m_lastError = GetLastError();
}

bool Win32CommDevice::CreateEvent()
{
    CloseEvent();
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        KeepLastError();
        return false;
    }
    m_completion->record.hEvent = event;
    return true;
}

void Win32CommDevice::CloseEvent()
{
    // The system must never signal an event handle after it was closed
    // (the number may already name another object).
    EndTransfer();
    HANDLE& event = m_completion->record.hEvent;
    if (event != nullptr) {
        CloseHandle(event);
        event = nullptr;
    }
}

void Win32CommDevice::ResetEvent()
{
    if (!::ResetEvent(m_completion->record.hEvent)) {
        KeepLastError();
    }
}

bool Win32CommDevice::GetState(LineSettings& settings)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(m_handle, &dcb)) {
        KeepLastError();
        return false;
    }
    settings = FromDcb(dcb);
    return true;
}

bool Win32CommDevice::SetState(const LineSettings& settings)
{
    DCB dcb{};
    if (!ToDcb(settings, dcb)) {
        m_lastError = ERROR_INVALID_PARAMETER;
        return false;
    }
    if (!SetCommState(m_handle, &dcb)) {
        KeepLastError();
        return false;
    }
    return true;
}

bool Win32CommDevice::SetTimeouts(const CommTimeouts& timeouts)
{
    COMMTIMEOUTS record{};
    ToCommTimeouts(timeouts, record);
    if (!SetCommTimeouts(m_handle, &record)) {
        KeepLastError();
        return false;
    }
    return true;
}

bool Win32CommDevice::ClearError(std::uint32_t& errors, std::uint32_t& inQueue)
{
    DWORD mask = 0;
    COMSTAT status{};
    if (!ClearCommError(m_handle, &mask, &status)) {
        KeepLastError();
        errors = 0;
        inQueue = 0;
        return false;
    }
    errors = mask;
    inQueue = status.cbInQue;
    return true;
}

IoStart Win32CommDevice::StartRead(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& done,
                                   Overlapped& overlapped)
{
    EndTransfer();  // one transfer at a time on the one record
    OVERLAPPED& record = m_completion->record;
    record.Offset = overlapped.Offset;
    record.OffsetHigh = overlapped.OffsetHigh;
    DWORD moved = 0;
    const bool ok = ReadFile(m_handle, buffer, count, &moved, &record);
    return Started(ok, moved, done);
}

IoStart Win32CommDevice::StartWrite(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& done,
                                    Overlapped& overlapped)
{
    EndTransfer();
    OVERLAPPED& record = m_completion->record;
    record.Offset = overlapped.Offset;
    record.OffsetHigh = overlapped.OffsetHigh;
    DWORD moved = 0;
    const bool ok = WriteFile(m_handle, buffer, count, &moved, &record);
    return Started(ok, moved, done);
}

IoStart Win32CommDevice::Started(bool ok, std::uint32_t count, std::uint32_t& done)
{
    if (ok) {
        done = count;
        return IoStart::Completed;
    }
    done = 0;
    KeepLastError();
    if (m_lastError == platform::ERROR_IO_PENDING) {
        m_pending = true;
        return IoStart::Pending;
    }
    return IoStart::Failed;
}

WaitResult Win32CommDevice::Wait(std::uint32_t ms)
{
    // INFINITE would be a wait without a bound.
    const DWORD result = WaitForSingleObject(m_completion->record.hEvent, std::min<DWORD>(ms, INFINITE - 1));
    switch (result) {
    case WAIT_OBJECT_0:
        return WaitResult::Signalled;
    case WAIT_TIMEOUT:
        return WaitResult::TimedOut;
    case WAIT_FAILED:
        KeepLastError();
        return WaitResult::Failed;
    default:
        m_lastError = result;
        return WaitResult::Failed;
    }
}

bool Win32CommDevice::GetResult(std::uint32_t& done)
{
    DWORD moved = 0;
    const bool ok = GetOverlappedResult(m_handle, &m_completion->record, &moved, FALSE);
    done = moved;
    if (ok) {
        m_pending = false;
        return true;
    }
    KeepLastError();
    if (m_lastError != ERROR_IO_INCOMPLETE) {
        m_pending = false;  // it ended, with a failure
    }
    return false;
}

void Win32CommDevice::EndTransfer()
{
    if (!m_pending) {
        return;
    }
    OVERLAPPED& record = m_completion->record;
    // ERROR_NOT_FOUND here means it completed meanwhile; the wait below
    // collects it either way, and only then may the buffer and the record
    // be reused.
    if (!CancelIoEx(m_handle, &record)) {
        KeepLastError();
    }
    DWORD moved = 0;
    if (!GetOverlappedResult(m_handle, &record, &moved, TRUE)) {
        KeepLastError();
    }
    m_pending = false;
    if (record.hEvent != nullptr) {
        ::ResetEvent(record.hEvent);
    }
}

bool Win32CommDevice::IsSimulator() const
{
    char value[4] = {};
    const DWORD n = GetEnvironmentVariableA("VRT58_SIMULATOR", value, sizeof value);
    return n == 1 && value[0] == '1';
}

}  // namespace platform::win32
