// Without libFuzzer: replays the seed corpus, then a fixed number of
// pseudo-random streams, through the same entry point.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path dir(argv[i]);
        if (!std::filesystem::is_directory(dir)) {
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++runs;
        }
    }
    std::mt19937 rng(20261211);
    // Plausible conversations with one thing wrong, so runs reach the
    // reply, retry and acknowledgement paths.
    for (int i = 0; i < 400; ++i) {
        std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(rng() & 0xFC), static_cast<std::uint8_t>(rng() % 4 == 0 ? rng() : 0)};
        for (int step = 0; step < 8; ++step) {
            const std::uint8_t delay = static_cast<std::uint8_t>((1 + rng() % 7) << 5);
            switch (rng() % 4) {
            case 0:
            case 1:
                bytes.insert(bytes.end(), {static_cast<std::uint8_t>(delay | 1), 0x06});
                break;
            case 2:
                bytes.insert(bytes.end(), {static_cast<std::uint8_t>(delay | 5), 0x02, 0x01, 0x94, 0x03, 0x98});
                break;
            default:
                bytes.insert(bytes.end(), {static_cast<std::uint8_t>(delay | 1), 0x15});
                break;
            }
        }
        bytes[2 + rng() % (bytes.size() - 2)] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        ++runs;
    }
    for (int i = 0; i < 400; ++i) {
        std::vector<std::uint8_t> bytes(rng() % 300);
        for (auto& b : bytes) {
            // Lean towards the protocol's own bytes so that runs get deep.
            const std::uint8_t pick = static_cast<std::uint8_t>(rng());
            static const std::uint8_t kProtocol[] = {0x02, 0x03, 0x06, 0x07, 0x15, 0x01, 0x94, 0x98, 0x21, 0x45};
            b = (pick & 1) ? kProtocol[pick % sizeof kProtocol] : static_cast<std::uint8_t>(rng());
        }
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        ++runs;
    }
    std::printf("%d runs, no failure\n", runs);
    return 0;
}
