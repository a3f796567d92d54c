#pragma once

// Starting a detached thread with a name and a stack size, which the
// standard library cannot do. The body owns everything it touches (shared
// ownership), so the thread may safely outlive whoever started it.

#include <cstddef>
#include <functional>
#include <string>

namespace zelmar {

// False when the platform refused to create the thread; the body is then
// never run.
[[nodiscard]] bool startDetachedThread(const std::string& name, std::size_t stackSize, std::function<void()> body);

} // namespace zelmar
