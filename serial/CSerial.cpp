#include "CSerial.h"

#include "SerialTrace.h"
#include "platform/Services.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

using platform::IoStart;
using platform::WaitResult;

namespace {

// The line time of `count` characters in whole milliseconds, truncated. A
// negative count, or a rate that gives no usable character time (zero or
// negative baud: infinite, NaN or negative), paces nothing; a time beyond
// the 32-bit tick counter is held at its largest value. Either way the
// conversion to an unsigned count stays defined.
std::uint32_t LineTimeMs(std::int32_t count, double msPerChar)
{
    const double ms = static_cast<double>(count) * msPerChar;
    if (!std::isfinite(ms) || ms <= 0.0) {
        return 0;
    }
    if (ms >= static_cast<double>(UINT32_MAX)) {
        return UINT32_MAX;
    }
    return static_cast<std::uint32_t>(ms);
}

}  // namespace

CSerial::CSerial(const char* path, std::int32_t baud, std::int32_t parity, std::int32_t dataBits,
                 std::int32_t stopBits, bool dtr, bool rts)
{
    if (!Open(path, baud, parity, dataBits, stopBits, dtr, rts)) {
        Close();
        throw 1;
    }
}

CSerial::~CSerial()
{
    Close();
}

bool CSerial::Open(const char* path, std::int32_t baud, std::int32_t parity, std::int32_t dataBits,
                   std::int32_t stopBits, bool dtr, bool rts)
{
    std::uint32_t error = 0;
    m_hPort = platform::CurrentPorts().Open(path, error);
    if (!m_hPort) {
        SerialTrace("CSerial::Open - CreateFile(%s) failed, GetLastError()==0x%08X", path, error);
        return false;
    }
    m_overlapped = platform::Overlapped{};
    m_hPort->CreateEvent();
    m_bOpen = true;
    return SetParams(baud, parity, dataBits, stopBits, dtr, rts);
}

bool CSerial::SetParams(std::int32_t baud, std::int32_t parity, std::int32_t dataBits, std::int32_t stopBits,
                        bool dtr, bool rts)
{
    if (!m_bOpen) {
        return false;
    }
    m_dMsPerChar = 1.0;
    if (!m_hPort) {
        return false;
    }

    platform::LineSettings dcb;
    if (!m_hPort->GetState(dcb)) {
        SerialTrace("CSerial::SetParams - GetCommState() failed, GetLastError()==0x%08X", m_hPort->LastError());
        return false;
    }

    dcb.BaudRate = static_cast<std::uint32_t>(baud);
    dcb.fBinary = 1;
    dcb.fParity = parity != 'N' ? 1 : 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = dtr ? platform::DTR_CONTROL_ENABLE : platform::DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 1;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = rts ? platform::RTS_CONTROL_ENABLE : platform::RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = 0;
    dcb.wReserved = 0;
    dcb.XonLim = 0;
    dcb.XoffLim = 0;
    dcb.ByteSize = static_cast<std::uint8_t>(dataBits & 0xFF);
    dcb.Parity = parity == 'E' ? platform::EVENPARITY : parity == 'O' ? platform::ODDPARITY : platform::NOPARITY;
    dcb.StopBits = stopBits == 1 ? platform::ONESTOPBIT : platform::TWOSTOPBITS;
    dcb.XonChar = 0;
    dcb.XoffChar = 1;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
    if (!m_hPort->SetState(dcb)) {
        SerialTrace("CSerial::SetParams - SetCommState() failed, GetLastError()==0x%08X", m_hPort->LastError());
        return false;
    }

    const double bitsPerChar = 1.0 + dataBits + stopBits + (parity != 'N' ? 1 : 0);
    m_dMsPerChar = 1000.0 / (static_cast<double>(baud) / bitsPerChar);

    const platform::CommTimeouts timeouts{};  // the device never ends a transfer itself
    if (!m_hPort->SetTimeouts(timeouts)) {
        SerialTrace("CSerial::SetParams - SetCommTimeouts() failed, GetLastError()==0x%08X", m_hPort->LastError());
        return false;
    }
    return true;
}

bool CSerial::Close()
{
    if (!m_bOpen) {
        return false;
    }
    m_hPort->CloseEvent();
    m_hPort.reset();
    m_bOpen = false;
    return true;
}

std::int32_t CSerial::BytesWaiting()
{
    if (!m_bOpen || !m_hPort) {
        return 0;
    }
    std::uint32_t errors = 0;
    std::uint32_t inQueue = 0;
    if (!m_hPort->ClearError(errors, inQueue)) {
        return 0;
    }
    return static_cast<std::int32_t>(std::min<std::uint32_t>(inQueue, INT32_MAX));
}

std::int32_t CSerial::Read(std::uint8_t* buffer, std::int32_t count, std::uint32_t waitMs)
{
    if (!m_bOpen) {
        return 0;
    }
    std::uint32_t received = 0;
    m_overlapped.Offset = 0;
    m_overlapped.OffsetHigh = 0;

    std::uint32_t errors = 0;
    std::uint32_t inQueue = 0;
    m_hPort->ClearError(errors, inQueue);
    if (errors != 0) {
        SerialTrace("CSerial::Read - ClearCommError returns 0x%08X", errors);
    }

    const auto wanted = static_cast<std::uint32_t>(std::max<std::int32_t>(count, 0));
    switch (m_hPort->StartRead(buffer, wanted, received, m_overlapped)) {
    case IoStart::Completed:
        return static_cast<std::int32_t>(received);
    case IoStart::Failed:
        SerialTrace("CSerial::Read - ReadFile() failed, GetLastError()==0x%08X", m_hPort->LastError());
        return 0;
    case IoStart::Pending:
        break;
    }

    switch (m_hPort->Wait(waitMs)) {
    case WaitResult::Signalled:
        if (!m_hPort->GetResult(received)) {
            SerialTrace("CSerial::Read - GetOverlappedResult() failed, GetLastError()==0x%08X",
                        m_hPort->LastError());
        }
        m_hPort->ResetEvent();
        return static_cast<std::int32_t>(received);
    case WaitResult::TimedOut:
        SerialTrace("CSerial::Read - WaitForSingleObject() timed out");
        m_hPort->EndTransfer();
        return 0;
    case WaitResult::Failed:
        break;
    }
    m_hPort->EndTransfer();
    return 0;
}

std::int32_t CSerial::Write(const std::uint8_t* buffer, std::int32_t count, std::uint32_t waitMs)
{
    if (!m_bOpen) {
        return 0;
    }
    platform::Clock& clock = platform::CurrentClock();
    std::uint32_t written = 0;
    const std::uint32_t start = clock.TickCount();
    m_overlapped.Offset = 0;
    m_overlapped.OffsetHigh = 0;

    std::uint32_t errors = 0;
    std::uint32_t inQueue = 0;
    m_hPort->ClearError(errors, inQueue);

    const auto wanted = static_cast<std::uint32_t>(std::max<std::int32_t>(count, 0));
    switch (m_hPort->StartWrite(buffer, wanted, written, m_overlapped)) {
    case IoStart::Completed:
        break;
    case IoStart::Failed:
        SerialTrace("CSerial::Write - WriteFile() failed, GetLastError()==0x%08X", m_hPort->LastError());
        return 0;
    case IoStart::Pending:
        switch (m_hPort->Wait(waitMs)) {
        case WaitResult::Signalled:
            if (!m_hPort->GetResult(written)) {
                SerialTrace("CSerial::Write (writing data) - GetOverlappedResult() failed, GetLastError()==0x%08X",
                            m_hPort->LastError());
                return 0;
            }
            m_hPort->ResetEvent();
            break;
        case WaitResult::TimedOut:
            SerialTrace("CSerial::Write (writing data) - WaitForSingleObject() timed out");
            m_hPort->EndTransfer();
            return 0;
        case WaitResult::Failed:
            // No line; the line time is still waited out and nothing is reported written.
            m_hPort->EndTransfer();
            written = 0;
            break;
        }
        break;
    }

    // Pace to the line rate: never return before the requested bytes' line
    // time has passed since the write began.
    const std::uint32_t expected = LineTimeMs(count, m_dMsPerChar);
    const std::uint32_t elapsed = clock.TickCount() - start;
    if (elapsed < expected) {
        clock.Sleep(expected - elapsed);
    }
    return static_cast<std::int32_t>(written);
}

bool CSerial::ReadBack(const std::uint8_t* expected, std::int32_t length, std::int32_t verify, std::uint32_t waitMs)
{
    if (verify == 0) {
        PurgeInput();
        return true;
    }
    platform::Clock& clock = platform::CurrentClock();
    std::vector<std::uint8_t> scratch(static_cast<std::size_t>(std::max<std::int32_t>(length, 0)));
    std::int32_t matched = 0;
    bool mismatch = false;
    const std::uint32_t start = clock.TickCount();
    while (matched < length) {
        if (clock.TickCount() - start >= waitMs) {
            break;
        }
        const std::int32_t waiting = BytesWaiting();
        if (waiting == 0) {
            clock.Sleep(2);
            continue;
        }
        const std::int32_t n = std::min(waiting, length - matched);
        const std::int32_t got = Read(scratch.data(), n, waitMs);
        if (!std::equal(scratch.data(), scratch.data() + got, expected + matched)) {
            mismatch = true;
            break;
        }
        matched += got;
    }
    return matched >= length && !mismatch;
}

void CSerial::PurgeInput()
{
    std::uint8_t scratch[100];
    std::int32_t waiting = BytesWaiting();
    // Bounded: a line that keeps babbling could otherwise hold the caller
    // here for ever. The bound is far above anything a scanner sends at
    // once (a full READ reply is under 33 KiB).
    std::int32_t rounds = 0;
    constexpr std::int32_t maxRounds = 1000;  // 100 KB
    while (waiting != 0 && rounds++ < maxRounds) {
        Read(scratch, std::min<std::int32_t>(waiting, static_cast<std::int32_t>(sizeof scratch)), 1000);
        waiting = BytesWaiting();
    }
}
