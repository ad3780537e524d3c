#pragma once

#include "ScannerModel.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace sim {

// ${XDG_CONFIG_HOME:-$HOME/.config}/vrt58-dsp-updater/ports, where a link
// com<N> pins a device to a COM number; empty when neither variable helps.
std::string DefaultPortMapFolder();

// Serves a ScannerModel on the master side of a pseudo-terminal, in real
// time, with the slave side linked as com<N> in the port map folder, so the
// product opens it as COM<N>. The model's clock is milliseconds since Start.
//
// The PC side opening and closing the slave is seen on the master: while no
// slave is open the master polls POLLHUP. The server never keeps a slave open
// itself, which would hide exactly that.
class PtyServer {
public:
    struct Options {
        int port = 1;                   // COM number, 1..256
        bool force = false;             // replace a link to another live device
        std::string folder;             // port map folder; empty: the default
        bool exitAfterUpdate = false;   // stop once an image is complete and
        std::uint32_t quietMs = 1000;   // the PC closed or went quiet this long
    };

    enum class StopReason { Requested, HungUp, ImageDone, Failed };

    explicit PtyServer(ScannerModel& model);
    ~PtyServer();  // removes the link if it is still ours, closes the master

    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pseudo-terminal (raw, so the line discipline neither
    // echoes nor translates) and links it. False with `error` set.
    bool Start(const Options& options, std::string& error);

    // Serves until RequestStop, the model hangs up (the master is closed, so
    // the PC sees its device vanish) or, if asked, the image is complete.
    // Every wait inside is bounded.
    StopReason Serve();

    // Safe from a signal handler and from any thread.
    void RequestStop();

    const std::string& SlavePath() const { return m_slavePath; }
    const std::string& LinkPath() const { return m_linkPath; }
    std::uint64_t NowMs() const;

    // Runs `fn(model)` while the serving thread keeps its hands off.
    template <class F>
    auto WithModel(F&& fn)
    {
        std::lock_guard lock(m_mutex);
        return fn(m_model);
    }

    // The reason the last Serve failed, if it did.
    const std::string& Error() const { return m_error; }

private:
    void CloseMaster();
    void RemoveLink();
    bool Link(const Options& options, std::string& error);

    ScannerModel& m_model;
    std::mutex m_mutex;
    int m_master = -1;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_stop{false};
    std::string m_slavePath;
    std::string m_linkPath;
    std::string m_error;
    Options m_options;
    std::chrono::steady_clock::time_point m_origin;
};

}  // namespace sim
