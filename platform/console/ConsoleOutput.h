#pragma once

#include "Terminal.h"

#include <string_view>

namespace platform::console {

// The console as the window system writes to it: each thing shown (a
// message box, a text that changed, a progress bar) is an item, and items
// are set apart by an empty line, whichever stream they go to.
class ConsoleOutput {
public:
    explicit ConsoleOutput(Terminal& terminal) : m_terminal(terminal) {}

    // Starts an item on `stream`: the empty line that sets it apart from
    // the one before, if any.
    void BeginItem(Stream stream);

    // Writes `text` as an item of its own, with a line break after it.
    void Item(Stream stream, std::string_view text);

    // Writes `text` as it stands, inside the current item.
    void Write(Stream stream, std::string_view text) { m_terminal.Write(stream, text); }

    Terminal& GetTerminal() { return m_terminal; }

private:
    Terminal& m_terminal;
    bool m_any = false;
};

}  // namespace platform::console
