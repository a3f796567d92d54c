#include "core/diagnostic_log.h"
#include "core/text_encoding.h"

#include <windows.h>

namespace zelmar::log::detail {

void emit(std::string_view line)
{
    const std::wstring wide = text::utf8ToWide(line);
    OutputDebugStringW(wide.c_str());
}

} // namespace zelmar::log::detail
