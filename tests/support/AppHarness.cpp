#include "AppHarness.h"

#include "protocol/Protocol.h"

namespace testing_support {

AppHarness::AppHarness(std::uint32_t startTick, int portNumber)
    : clock(startTick), ports(clock, peer, portNumber)
{
}

void AppHarness::Run(CUpdaterDlg& dialog, std::function<void(platform::testwin::TestDialog&)> user)
{
    windows.OnModal(IDD_MAIN, std::move(user));
    windows.QueueAnswer(platform::IDYES);
    dialog.DoModal();
}

void AppHarness::NormalScanner(std::uint8_t byte1, std::uint8_t byte2)
{
    peer.onReceive = [byte1, byte2](ScriptedPeer& p, std::span<const std::uint8_t> bytes, std::uint64_t now) {
        if (bytes.size() != 1) {
            return;
        }
        if (bytes[0] == ENQ) {
            p.Send({ACK}, now + 2);
        } else if (bytes[0] == 0x56) {
            p.Send({ACK}, now + 2);
            p.Send({STX, byte1, byte2, ETX, static_cast<std::uint8_t>(byte1 + byte2 + ETX)}, now + 5);
        }
    };
}

const platform::testwin::DialogRecord& AppHarness::Main() const
{
    return *windows.DialogsFrom(IDD_MAIN).back();
}

}  // namespace testing_support
