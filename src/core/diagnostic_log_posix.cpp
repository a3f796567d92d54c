#include "core/diagnostic_log.h"

#include <unistd.h>

namespace zelmar::log::detail {

void emit(std::string_view line)
{
    // One write call per line keeps lines from different threads whole.
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, data, left);
        if (n <= 0)
            return;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
}

} // namespace zelmar::log::detail
