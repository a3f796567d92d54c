#include "core/win32_error.h"
#include "core/text_encoding.h"

namespace zelmar::win32 {

std::string errorText(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD length
        = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring message = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : std::wstring();
    if (buffer != nullptr)
        LocalFree(buffer);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
        message.pop_back();
    std::string text = text::wideToUtf8(message);
    if (!text.empty())
        text += ' ';
    return text + "(" + std::to_string(code) + ")";
}

} // namespace zelmar::win32
