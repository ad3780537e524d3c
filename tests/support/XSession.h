#pragma once

#include <string>
#include <vector>

// What a gui test needs around the program it drives: an X display of its
// own, the program as a child whose output is read line by line, and the
// user's keys and clicks through xdotool. Every wait is bounded.
namespace testing_support {

// Xvfb on the first free display number, stopped with the object. It sets
// DISPLAY (and NO_AT_BRIDGE, which keeps the accessibility bus out) for the
// programs the test starts, so parallel tests never share a keyboard focus.
class XvfbDisplay {
public:
    XvfbDisplay();
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    bool Ok() const { return m_pid > 0; }
    // Why the display could not be started.
    const std::string& Error() const { return m_error; }

private:
    int m_pid = -1;
    std::string m_error;
};

// A program started with `argv` (searched in PATH), its standard output read
// as lines; standard error stays the test's. Killed with the object if it
// still runs.
class ChildProgram {
public:
    explicit ChildProgram(const std::vector<std::string>& argv);
    ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    bool Started() const { return m_pid > 0; }

    // Waits up to `ms` until the program has printed the line `line`
    // (counting lines printed before the call). False on timeout or exit.
    bool WaitForLine(const std::string& line, int ms);

    // Every line printed so far.
    const std::vector<std::string>& Lines();

    // Waits up to `ms` for the program to end, kills it after that. Returns
    // its exit status, or -1 when it had to be killed or did not start.
    int Finish(int ms);

private:
    // Reads what is waiting, waiting at most `ms` for something; false once
    // the output has ended.
    bool ReadSome(int ms);

    int m_pid = -1;
    int m_out = -1;
    std::string m_partial;
    std::vector<std::string> m_lines;
};

// Runs `argv` to its end within `seconds` and returns its output lines;
// `status` gets the exit status (-1: killed).
std::vector<std::string> RunProgram(const std::vector<std::string>& argv, int seconds = 10,
                                    int* status = nullptr);

// xdotool and ImageMagick on the current display.
// The first visible window whose title matches the regular expression
// `title`, waiting up to `seconds`; "" when none appeared.
std::string FindWindow(const std::string& title, int seconds = 10);
// The number of visible windows of the X class `windowClass`.
int CountWindows(const std::string& windowClass);
// Gives `window` the keyboard focus, then presses each key (xdotool
// names: "Tab", "alt+F4"). With no window manager, the focus must be set
// before each key, and keys sent to a window directly are ignored by GTK.
bool PressKeys(const std::string& window, const std::vector<std::string>& keys);
// Presses keys wherever the keyboard goes now (a popup menu's grab).
bool PressKeysGrabbed(const std::vector<std::string>& keys);
// Clicks mouse `button` at screen position (x, y).
bool ClickAt(int x, int y, int button = 1);
// Where `window` is on the screen and how big, in pixels.
struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};
Geometry GeometryOf(const std::string& window);
// Clicks the centre of a control's template rectangle (x, y, cx, cy in
// dialog units) in `window`, the client area of the main dialog, which is
// 343 x 274 units: a click at that proportion of the window hits it.
bool ClickControl(const std::string& window, int x, int y, int cx, int cy);
// Whether a visible window's title matches `title`.
bool Visible(const std::string& title);
// Waits up to `seconds` until no visible window's title matches `title`.
bool WaitGone(const std::string& title, int seconds = 10);
// Whether any of `lines` contains `part`.
bool Any(const std::vector<std::string>& lines, const std::string& part);
// Saves a picture of `window` ("root": the whole screen) as a PNG.
bool Screenshot(const std::string& window, const std::string& path);
// The share of a picture's pixels that are coloured (saturation
// over a quarter): grey window furniture and text count nothing.
double ColouredShare(const std::string& path);

}  // namespace testing_support
