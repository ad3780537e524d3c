#pragma once

// The exit statuses of vrt58-dsp-update.
namespace cli {

inline constexpr int EXIT_DONE = 0;         // image sent, or test passed and the update may go ahead
inline constexpr int EXIT_FAILED = 1;       // the message on standard error says why
inline constexpr int EXIT_USAGE = 2;        // the command line was wrong
inline constexpr int EXIT_DECLINED = 3;     // a question was answered No: nothing was sent
inline constexpr int EXIT_INTERRUPTED = 130;  // Ctrl+C: the port was closed on the way out

}  // namespace cli
