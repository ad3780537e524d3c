#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace test {

// The PC's end of a pseudo-terminal, opened through a port map link the way
// a serial device is: raw, non-blocking, every wait bounded.
class PtyPc {
public:
    PtyPc() = default;
    ~PtyPc() { Close(); }
    PtyPc(const PtyPc&) = delete;
    PtyPc& operator=(const PtyPc&) = delete;

    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    bool Write(const std::vector<std::uint8_t>& bytes);

    // Reads until `count` bytes came or `ms` passed, or the far side hung up.
    std::vector<std::uint8_t> Read(std::size_t count, int ms);

    // True once reads report that the far side has gone.
    bool HungUp() const { return m_hungUp; }

private:
    int m_fd = -1;
    bool m_hungUp = false;
};

// A fresh folder under the system's temporary folder, removed with the object.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// A fresh temporary folder made the user's configuration folder
// (XDG_CONFIG_HOME) for the object's lifetime, so the port map the product
// reads is the test's own. The previous value comes back afterwards.
class ScopedConfigHome {
public:
    ScopedConfigHome();
    ~ScopedConfigHome();
    ScopedConfigHome(const ScopedConfigHome&) = delete;
    ScopedConfigHome& operator=(const ScopedConfigHome&) = delete;
    // Empty when no folder could be made.
    const std::string& Path() const { return m_folder.Path(); }
    // The port map folder inside it (not created).
    std::string PortMapFolder() const { return Path() + "/vrt58-dsp-updater/ports"; }

private:
    TempFolder m_folder;
    std::optional<std::string> m_previous;
};

// Polls `done` every few milliseconds for at most `ms`.
bool WaitFor(const std::function<bool()>& done, int ms);

}  // namespace test
