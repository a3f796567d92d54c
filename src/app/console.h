#pragma once

// What a console program needs of its platform: a clean stop on Ctrl-C,
// SIGTERM, a hang-up (a closed terminal or SSH session) or a closed pipe
// (the console control handler on Windows), whether standard output and
// standard error are terminals, and UTF-8 output.

namespace zelmar::console {

// Installs the stop handler once; later stop requests set the flag. A
// write to a closed pipe then fails with an error instead of ending the
// process, and the caller asks for the stop itself (requestStop).
void installStopHandler();
void requestStop() noexcept;
[[nodiscard]] bool stopRequested() noexcept;
[[nodiscard]] bool stdoutIsTerminal() noexcept;
[[nodiscard]] bool stderrIsTerminal() noexcept;
// UTF-8 output, and escape sequences understood (Windows consoles).
void useUtf8Output() noexcept;
// Bytes written to standard output from now on arrive unchanged (Windows
// would otherwise turn each LF into CR LF, and CR LF into CR CR LF).
void useBinaryStandardOutput() noexcept;

} // namespace zelmar::console
