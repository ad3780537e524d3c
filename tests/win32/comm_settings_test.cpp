// The line-settings record and the time-outs as the Windows records hold
// them: every field reaches its own DCB field and nothing else, both ways.
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32CommDevice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using platform::LineSettings;
using platform::win32::FromDcb;
using platform::win32::ToDcb;

namespace {

// One field set to the largest value its DCB field holds, everything else 0.
struct Field {
    const char* name;
    std::function<void(LineSettings&)> setOurs;
    std::function<void(DCB&)> setDcb;
};

const Field kFields[] = {
    {"DCBlength", [](LineSettings& s) { s.DCBlength = 0xFFFFFFFF; }, [](DCB& d) { d.DCBlength = 0xFFFFFFFF; }},
    {"BaudRate", [](LineSettings& s) { s.BaudRate = 0xFFFFFFFF; }, [](DCB& d) { d.BaudRate = 0xFFFFFFFF; }},
    {"fBinary", [](LineSettings& s) { s.fBinary = 1; }, [](DCB& d) { d.fBinary = 1; }},
    {"fParity", [](LineSettings& s) { s.fParity = 1; }, [](DCB& d) { d.fParity = 1; }},
    {"fOutxCtsFlow", [](LineSettings& s) { s.fOutxCtsFlow = 1; }, [](DCB& d) { d.fOutxCtsFlow = 1; }},
    {"fOutxDsrFlow", [](LineSettings& s) { s.fOutxDsrFlow = 1; }, [](DCB& d) { d.fOutxDsrFlow = 1; }},
    {"fDtrControl", [](LineSettings& s) { s.fDtrControl = 3; }, [](DCB& d) { d.fDtrControl = 3; }},
    {"fDsrSensitivity", [](LineSettings& s) { s.fDsrSensitivity = 1; }, [](DCB& d) { d.fDsrSensitivity = 1; }},
    {"fTXContinueOnXoff", [](LineSettings& s) { s.fTXContinueOnXoff = 1; }, [](DCB& d) { d.fTXContinueOnXoff = 1; }},
    {"fOutX", [](LineSettings& s) { s.fOutX = 1; }, [](DCB& d) { d.fOutX = 1; }},
    {"fInX", [](LineSettings& s) { s.fInX = 1; }, [](DCB& d) { d.fInX = 1; }},
    {"fErrorChar", [](LineSettings& s) { s.fErrorChar = 1; }, [](DCB& d) { d.fErrorChar = 1; }},
    {"fNull", [](LineSettings& s) { s.fNull = 1; }, [](DCB& d) { d.fNull = 1; }},
    {"fRtsControl", [](LineSettings& s) { s.fRtsControl = 3; }, [](DCB& d) { d.fRtsControl = 3; }},
    {"fAbortOnError", [](LineSettings& s) { s.fAbortOnError = 1; }, [](DCB& d) { d.fAbortOnError = 1; }},
    {"fDummy2", [](LineSettings& s) { s.fDummy2 = 0x1FFFF; }, [](DCB& d) { d.fDummy2 = 0x1FFFF; }},
    {"wReserved", [](LineSettings& s) { s.wReserved = 0xFFFF; }, [](DCB& d) { d.wReserved = 0xFFFF; }},
    {"XonLim", [](LineSettings& s) { s.XonLim = 0xFFFF; }, [](DCB& d) { d.XonLim = 0xFFFF; }},
    {"XoffLim", [](LineSettings& s) { s.XoffLim = 0xFFFF; }, [](DCB& d) { d.XoffLim = 0xFFFF; }},
    {"ByteSize", [](LineSettings& s) { s.ByteSize = 0xFF; }, [](DCB& d) { d.ByteSize = 0xFF; }},
    {"Parity", [](LineSettings& s) { s.Parity = 0xFF; }, [](DCB& d) { d.Parity = 0xFF; }},
    {"StopBits", [](LineSettings& s) { s.StopBits = 0xFF; }, [](DCB& d) { d.StopBits = 0xFF; }},
    {"XonChar", [](LineSettings& s) { s.XonChar = -1; }, [](DCB& d) { d.XonChar = -1; }},
    {"XoffChar", [](LineSettings& s) { s.XoffChar = -1; }, [](DCB& d) { d.XoffChar = -1; }},
    {"ErrorChar", [](LineSettings& s) { s.ErrorChar = -1; }, [](DCB& d) { d.ErrorChar = -1; }},
    {"EofChar", [](LineSettings& s) { s.EofChar = -1; }, [](DCB& d) { d.EofChar = -1; }},
    {"EvtChar", [](LineSettings& s) { s.EvtChar = -1; }, [](DCB& d) { d.EvtChar = -1; }},
    {"wReserved1", [](LineSettings& s) { s.wReserved1 = 0xFFFF; }, [](DCB& d) { d.wReserved1 = 0xFFFF; }},
};

LineSettings ZeroSettings()
{
    LineSettings s;
    s.DCBlength = 0;
    return s;
}

DCB ZeroDcb()
{
    DCB d;
    std::memset(&d, 0, sizeof d);
    return d;
}

TEST(DcbMapping, EveryFieldReachesItsOwnDcbFieldBothWays)
{
    for (const Field& field : kFields) {
        SCOPED_TRACE(field.name);
        LineSettings ours = ZeroSettings();
        field.setOurs(ours);
        DCB expected = ZeroDcb();
        field.setDcb(expected);

        DCB dcb = ZeroDcb();
        ASSERT_TRUE(ToDcb(ours, dcb));
        EXPECT_EQ(std::memcmp(&dcb, &expected, sizeof dcb), 0);
        EXPECT_EQ(FromDcb(expected), ours);
    }
}

TEST(DcbMapping, AValueWiderThanItsBitFieldIsRefused)
{
    const std::function<void(LineSettings&)> tooWide[] = {
        [](LineSettings& s) { s.fBinary = 2; },
        [](LineSettings& s) { s.fDtrControl = 4; },
        [](LineSettings& s) { s.fRtsControl = 4; },
        [](LineSettings& s) { s.fDummy2 = 0x20000; },
    };
    for (const auto& set : tooWide) {
        LineSettings ours = ZeroSettings();
        set(ours);
        DCB dcb = ZeroDcb();
        EXPECT_FALSE(ToDcb(ours, dcb));
    }
}

TEST(DcbMapping, TimeoutsKeepTheirPlaces)
{
    COMMTIMEOUTS record{};
    platform::win32::ToCommTimeouts({1, 2, 3, 4, 5}, record);
    EXPECT_EQ(record.ReadIntervalTimeout, 1u);
    EXPECT_EQ(record.ReadTotalTimeoutMultiplier, 2u);
    EXPECT_EQ(record.ReadTotalTimeoutConstant, 3u);
    EXPECT_EQ(record.WriteTotalTimeoutMultiplier, 4u);
    EXPECT_EQ(record.WriteTotalTimeoutConstant, 5u);
}

}  // namespace
