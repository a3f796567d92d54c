// The window program's entry: environment and hooks, data directory, launch
// path, settings and language, the single-instance decision (a second start
// hands its file to the first, or brings it to the front, and ends), the
// controller, the message loop and the exit code.

#include "app/gui/startup_win32.h"

#include "app/gui/window_app_view_win32.h"
#include "app/launch_arguments.h"
#include "core/diagnostic_log.h"
#include "core/text_encoding.h"
#include "core/win32_error.h"
#include "core/win32_handle.h"
#include "ui/accessible_win32.h"

#include <windows.h>

#include <sddl.h>
#include <shellapi.h>

#include <chrono>
#include <thread>

namespace zelmar {

namespace {

void logApp(std::string_view line)
{
    log::write(log::Module::app, line);
}

constexpr wchar_t localMutexName[] = L"Local\\ZELMAR_DMM5174K_SingleInstance";
constexpr wchar_t globalMutexName[] = L"Global\\ZELMAR_DMM5174K_SingleInstance";
constexpr wchar_t globalMutexSddl[] = L"D:(A;;GA;;;OW)(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00120000;;;WD)";
constexpr wchar_t mainWindowClass[] = L"DMM5174KMainWindowClass";

Environment readEnvironment()
{
    Environment environment;
    wchar_t* block = GetEnvironmentStringsW();
    if (block == nullptr)
        return environment;
    for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        const std::wstring_view text(entry);
        const auto equals = text.find(L'=', 1); // "=C:" style entries start with '='
        if (equals == std::wstring_view::npos)
            continue;
        environment[text::wideToUtf8(text.substr(0, equals))] = text::wideToUtf8(text.substr(equals + 1));
    }
    FreeEnvironmentStringsW(block);
    return environment;
}

std::optional<std::string> launchPath()
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr)
        return std::nullopt;
    std::vector<std::u16string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    LocalFree(argv);
    wchar_t current[32768] {};
    GetCurrentDirectoryW(32768, current);
    const auto path = LaunchArguments::documentPath(arguments, reinterpret_cast<const char16_t*>(current));
    if (!path)
        return std::nullopt;
    return text::utf16ToUtf8(*path);
}

AppLanguage chooseLanguage(AppSettings& settings, const SettingsStore& store)
{
    if (const auto stored = parseLanguageCode(settings.language))
        return *stored;
    const LANGID ui = GetUserDefaultUILanguage();
    const AppLanguage language = (ui & 0x3FF) == LANG_CHINESE ? AppLanguage::zhTW : AppLanguage::enUS;
    settings.language = std::string(languageCode(language));
    if (auto saved = store.save(settings); !saved)
        logApp("settings.json 寫入失敗：" + saved.error().text());
    return language;
}

// The first instance's main window, looked for every 100 ms for up to 5 s:
// it may still be creating it.
HWND findFirstWindow()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        if (HWND window = FindWindowW(mainWindowClass, nullptr))
            return window;
        if (std::chrono::steady_clock::now() >= deadline)
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

void bringForward(HWND window)
{
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
}

void activateExistingInstance()
{
    if (HWND window = findFirstWindow()) {
        bringForward(window);
        logApp("單一執行個體：已切換至既有視窗");
    } else {
        logApp("單一執行個體：找不到既有視窗");
    }
}

bool forwardOpenRequest(const std::string& path)
{
    HWND window = findFirstWindow();
    if (window == nullptr) {
        logApp("單一執行個體：找不到既有視窗，無法轉交 " + path);
        return false;
    }
    const auto message = OpenDocumentMessage::encode(text::utf8ToUtf16(path));
    if (!message) {
        logApp("單一執行個體：路徑無法轉交（空白、過長或含 NUL）：" + path);
        bringForward(window);
        return false;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != 0)
        AllowSetForegroundWindow(process);
    COPYDATASTRUCT data { OpenDocumentMessage::identifier, static_cast<DWORD>(message->size()),
        const_cast<std::uint8_t*>(message->data()) };
    DWORD_PTR result = 0;
    const LRESULT sent
        = SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000, &result);
    const DWORD error = sent == 0 ? GetLastError() : 0;
    bringForward(window);
    const bool accepted = sent != 0 && result != 0;
    logApp("單一執行個體：轉交 " + path + " → "
        + (accepted ? std::string("既有視窗已受理") : "轉交失敗（錯誤 " + std::to_string(error) + "）"));
    return accepted;
}

// Only reports that another user session runs the program too.
win32::UniqueKernelHandle createGlobalMutex()
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_ATTRIBUTES attributes { sizeof attributes, nullptr, FALSE };
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(globalMutexSddl, SDDL_REVISION_1, &descriptor, nullptr))
        attributes.lpSecurityDescriptor = descriptor;
    win32::UniqueKernelHandle mutex(
        CreateMutexW(attributes.lpSecurityDescriptor != nullptr ? &attributes : nullptr, FALSE, globalMutexName));
    const DWORD error = GetLastError();
    if (!mutex) {
        logApp("單一執行個體：Global 互斥鎖建立失敗（錯誤 " + std::to_string(error) + "），不影響啟動");
    } else if (error == ERROR_ALREADY_EXISTS) {
        DWORD session = 0;
        if (ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0)
            logApp("單一執行個體：Session 0 下 Local 與 Global 為同一命名空間，Global 互斥鎖即 Local 鎖");
        else
            logApp("單一執行個體：Global 互斥鎖已存在（其他工作階段也在執行本程式）");
    }
    if (descriptor != nullptr)
        LocalFree(descriptor);
    return mutex;
}

} // namespace

int runWindowProgram(int showCommand)
{
    AppStartup startup;
    startup.environment = readEnvironment();
    startup.hooks = TestHooks::read(startup.environment);
    std::optional<std::filesystem::path> dataOverride;
    if (startup.hooks.dataDirectory)
        dataOverride = std::filesystem::path(text::utf8ToWide(*startup.hooks.dataDirectory));
    const PathProvider paths(dataOverride);
    startup.dataDirectory = paths.baseDirectory();
    startup.launchPath = launchPath();
    const SettingsStore store(paths);
    startup.settings = store.load();
    startup.language = chooseLanguage(startup.settings, store);

    win32::UniqueKernelHandle localMutex(CreateMutexW(nullptr, TRUE, localMutexName));
    if (!localMutex || GetLastError() == ERROR_ALREADY_EXISTS) {
        localMutex.reset();
        if (startup.launchPath)
            (void)forwardOpenRequest(*startup.launchPath);
        else
            activateExistingInstance();
        return 0;
    }
    const auto globalMutex = createGlobalMutex();

    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (instance == nullptr) {
        logApp("取得 HINSTANCE 失敗");
        return 1;
    }
    // Screen readers reach the windows' accessible objects through COM.
    const ui::win32::ComApartment apartment;
    auto program = createWindowProgram(std::move(startup), instance, showCommand);
    if (!program) {
        logApp("主視窗建立失敗：" + program.error());
        return 1;
    }
    const int exitCode = program->window->runMessageLoop();
    program->controller->shutdownKeepingJournal();
    logApp("結束，代碼 " + std::to_string(exitCode));
    return exitCode;
}

} // namespace zelmar
