// Started by the window program where its installer would be: writes the
// command line it got and the folder it started in (UTF-8, one per line) to
// the file that ZELMAR_E2E_INSTALLER_RECORD names, and ends. The update's
// end-to-end runs read that file to see exactly what the program handed
// over.

#include <windows.h>

#include <string>

namespace {

std::string utf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(
        CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(
        CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t record[MAX_PATH * 2] {};
    if (GetEnvironmentVariableW(L"ZELMAR_E2E_INSTALLER_RECORD", record, MAX_PATH * 2) == 0)
        return 2;
    wchar_t folder[MAX_PATH * 2] {};
    GetCurrentDirectoryW(MAX_PATH * 2, folder);
    const std::string text
        = "command line: " + utf8(GetCommandLineW()) + "\r\nworking folder: " + utf8(folder) + "\r\n";
    HANDLE file = CreateFileW(record, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0;
    CloseHandle(file);
    return ok ? 0 : 1;
}
