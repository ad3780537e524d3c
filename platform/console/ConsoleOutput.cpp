#include "ConsoleOutput.h"

#include <string>

namespace platform::console {

void ConsoleOutput::BeginItem(Stream stream)
{
    if (m_any) {
        m_terminal.Write(stream, "\n");
    }
    m_any = true;
}

void ConsoleOutput::Item(Stream stream, std::string_view text)
{
    BeginItem(stream);
    std::string line(text);
    line += '\n';
    m_terminal.Write(stream, line);
}

}  // namespace platform::console
