#pragma once

#include <string>
#include <vector>

// The Windows build under the Wine prefix that the windows tests of a run
// share (made by the windows.prefix fixture, tests/windows/wine-prefix).
namespace testing_support {

class WinePrefix {
public:
    // Finds the run's prefix; Ok() is false (with Error()) when the fixture
    // has not made one.
    WinePrefix();

    bool Ok() const { return !m_folder.empty(); }
    // The run's folder: the prefix is Folder()/wine.
    const std::string& Folder() const { return m_folder; }
    const std::string& Error() const { return m_error; }

    // The folder of the Windows build (build-windows/).
    static std::string WindowsBuild();

    // XDG_CONFIG_HOME for a Linux program whose port map folder is the one
    // Wine's COM1..COM32 follow: vrt58-sim run with it attaches its scanner
    // as Wine's COM<n>.
    std::string ConfigHome() const;

    // The link that Wine's COM<n> (1..32) follows.
    std::string PortLink(int comNumber) const;

    // Makes Wine's COM<n> lead to `device` (a pseudo-terminal); false when
    // the link cannot be made.
    bool AttachPort(int comNumber, const std::string& device) const;
    void DetachPort(int comNumber) const;

    // The command line that runs the Windows program `exe` (a path) with
    // `args` under the prefix and passes its exit status on.
    std::vector<std::string> Command(const std::string& exe, const std::vector<std::string>& args = {}) const;

private:
    std::string m_folder;
    std::string m_error;
};

}  // namespace testing_support
