#include "StandardTerminal.h"

#include <cstdio>

#ifdef _WIN32
#include "platform/win32/Win32Api.h"
#else
#include <unistd.h>
#endif

namespace platform::console {

namespace {

std::FILE* FileOf(Stream stream)
{
    switch (stream) {
    case Stream::In:
        return stdin;
    case Stream::Out:
        return stdout;
    case Stream::Err:
        return stderr;
    }
    return stderr;
}

}  // namespace

void StandardTerminal::Write(Stream stream, std::string_view text)
{
    std::FILE* file = FileOf(stream);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
}

bool StandardTerminal::IsTerminal(Stream stream) const
{
#ifdef _WIN32
    // The C runtime calls the null device a terminal too; only a console
    // has a console mode.
    const DWORD which = stream == Stream::In    ? STD_INPUT_HANDLE
                        : stream == Stream::Out ? STD_OUTPUT_HANDLE
                                                : STD_ERROR_HANDLE;
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
#else
    return isatty(fileno(FileOf(stream))) == 1;
#endif
}

std::optional<std::string> StandardTerminal::ReadLine()
{
    std::string line;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
        line += buffer;
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return line;
        }
    }
    // The end of the input, or a read cut short by a signal: either way no
    // answer came. The error is cleared so that a later read tries again.
    std::clearerr(stdin);
    if (!line.empty()) {
        return line;  // a last line without a line break
    }
    return std::nullopt;
}

}  // namespace platform::console
