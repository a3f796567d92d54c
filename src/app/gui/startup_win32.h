#pragma once

// The window program from start to exit code (Windows build only).

namespace zelmar {

// Reads the environment and the command line, decides single instance,
// runs the controller and the message loop; returns the exit code.
[[nodiscard]] int runWindowProgram(int showCommand);

} // namespace zelmar
