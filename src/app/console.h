#pragma once

// What a console program needs of its platform: a clean stop on Ctrl-C or
// SIGTERM (the console control handler on Windows), whether standard output
// is a terminal, and UTF-8 output.

namespace zelmar::console {

// Installs the stop handler once; later stop requests set the flag.
void installStopHandler();
[[nodiscard]] bool stopRequested() noexcept;
[[nodiscard]] bool stdoutIsTerminal() noexcept;
void useUtf8Output() noexcept;

} // namespace zelmar::console
