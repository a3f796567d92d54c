#include "ui/dialogs_win32.h"

#include "core/diagnostic_log.h"
#include "core/text_encoding.h"
#include "session/session_time_format.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace zelmar::ui::win32 {

namespace {

using TaskDialogIndirectFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
static_assert(sizeof(TASKDIALOGCONFIG) == 160, "the task dialog's configuration is 160 bytes on x64");

bool forcedUnavailable = false;

TaskDialogIndirectFn taskDialogEntry()
{
    static const TaskDialogIndirectFn entry = []() -> TaskDialogIndirectFn {
        INITCOMMONCONTROLSEX controls { sizeof controls,
            ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES };
        InitCommonControlsEx(&controls);
        HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
        if (comctl == nullptr)
            comctl = LoadLibraryW(L"comctl32.dll");
        if (comctl == nullptr)
            return nullptr;
        return reinterpret_cast<TaskDialogIndirectFn>(
            reinterpret_cast<void*>(GetProcAddress(comctl, "TaskDialogIndirect")));
    }();
    return forcedUnavailable ? nullptr : entry;
}

PCWSTR iconResource(TaskDialogIcon icon)
{
    switch (icon) {
    case TaskDialogIcon::information:
        return TD_INFORMATION_ICON;
    case TaskDialogIcon::warning:
        return TD_WARNING_ICON;
    case TaskDialogIcon::error:
        return TD_ERROR_ICON;
    case TaskDialogIcon::shield:
        return TD_SHIELD_ICON;
    default:
        return nullptr;
    }
}

HRESULT CALLBACK forwardToSession(HWND hwnd, UINT notification, WPARAM wParam, LPARAM, LONG_PTR data)
{
    auto& session = *reinterpret_cast<TaskDialogSession*>(data);
    switch (notification) {
    case TDN_CREATED:
        session.hwnd = hwnd;
        if (session.shieldButton)
            SendMessageW(
                hwnd, TDM_SET_BUTTON_ELEVATION_REQUIRED_STATE, static_cast<WPARAM>(*session.shieldButton), TRUE);
        if (session.onCreated)
            session.onCreated(hwnd);
        return S_OK;
    case TDN_BUTTON_CLICKED:
        if (session.onButtonClicked && !session.onButtonClicked(static_cast<int>(wParam)))
            return S_FALSE;
        return S_OK;
    case TDN_DESTROYED:
        session.hwnd = nullptr;
        return S_OK;
    default:
        return S_OK;
    }
}

bool isDirectory(const std::optional<std::wstring>& path)
{
    if (!path || path->empty())
        return false;
    const DWORD attributes = GetFileAttributesW(path->c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Where a file dialog starts: the remembered folder while it exists, else
// the user's documents (never the process's working directory).
std::wstring startFolder(const std::optional<std::wstring>& remembered)
{
    if (isDirectory(remembered))
        return *remembered;
    wchar_t documents[MAX_PATH] {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)))
        return documents;
    return {};
}

// label \0 pattern \0 … \0
std::wstring filterText(FileDialogType type, AppLanguage language)
{
    std::wstring filter;
    for (const auto& f : fileFilters(type, language)) {
        filter += text::utf8ToWide(f.label);
        filter += L'\0';
        filter += text::utf8ToWide(f.pattern);
        filter += L'\0';
    }
    filter += L'\0';
    return filter;
}

using FileDialogFn = BOOL(WINAPI*)(OPENFILENAMEW*);

FileDialogFn fileDialogEntry(const char* name)
{
    HMODULE comdlg = GetModuleHandleW(L"comdlg32.dll");
    if (comdlg == nullptr)
        comdlg = LoadLibraryW(L"comdlg32.dll");
    if (comdlg == nullptr)
        return nullptr;
    return reinterpret_cast<FileDialogFn>(reinterpret_cast<void*>(GetProcAddress(comdlg, name)));
}

constexpr std::size_t fileNameUnits = 4096;

std::optional<std::wstring> runFileDialog(FileDialogFn entry, OPENFILENAMEW& ofn, std::wstring& buffer)
{
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(fileNameUnits);
    if (!entry(&ofn))
        return std::nullopt;
    return std::wstring(buffer.c_str());
}

} // namespace

const wchar_t* WideStringPool::add(std::string_view utf8)
{
    const auto wide = text::utf8ToWide(utf8);
    auto buffer = std::make_unique<wchar_t[]>(wide.size() + 1);
    std::memcpy(buffer.get(), wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    buffers_.push_back(std::move(buffer));
    return buffers_.back().get();
}

namespace TaskDialogs {

bool available()
{
    return taskDialogEntry() != nullptr;
}

void setUnavailableForTesting(bool unavailable)
{
    forcedUnavailable = unavailable;
}

std::optional<int> show(const TaskDialogRequest& request, TaskDialogSession& session)
{
    const auto entry = taskDialogEntry();
    if (entry == nullptr) {
        log::write(log::Module::ui, "TaskDialogIndirect 不可用（ComCtl32 v6 未載入），改用訊息框後援");
        return std::nullopt;
    }
    WideStringPool pool;
    std::vector<TASKDIALOG_BUTTON> buttons;
    for (const auto& b : request.buttons)
        buttons.push_back({ b.id, pool.add(b.text) });

    TASKDIALOGCONFIG config {};
    config.cbSize = sizeof config;
    config.hwndParent = request.owner;
    config.dwFlags = TDF_POSITION_RELATIVE_TO_WINDOW | (request.cancellable ? TDF_ALLOW_DIALOG_CANCELLATION : 0)
        | (session.showProgressBar ? TDF_SHOW_PROGRESS_BAR : 0);
    config.pszWindowTitle = pool.add(request.title);
    config.pszMainInstruction = pool.add(request.mainInstruction);
    config.pszContent = pool.add(request.content);
    config.pszMainIcon = iconResource(request.mainIcon);
    config.pButtons = buttons.empty() ? nullptr : buttons.data();
    config.cButtons = static_cast<UINT>(buttons.size());
    config.nDefaultButton = request.defaultButton;
    if (request.footer) {
        config.pszFooter = pool.add(*request.footer);
        config.pszFooterIcon = iconResource(request.footerIcon);
    }
    config.pfCallback = &forwardToSession;
    config.lpCallbackData = reinterpret_cast<LONG_PTR>(&session);

    int pressed = 0;
    const HRESULT result = entry(&config, &pressed, nullptr, nullptr);
    session.hwnd = nullptr;
    if (FAILED(result)) {
        char code[16];
        std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(result));
        log::write(log::Module::ui, std::string("TaskDialogIndirect 失敗（HRESULT 0x") + code + "）");
        return std::nullopt;
    }
    return pressed;
}

} // namespace TaskDialogs

bool askUpdatePrompt(HWND owner, const UpdatePromptInfo& info, AppLanguage language)
{
    const auto texts = updatePromptTexts(info, language);
    TaskDialogRequest request;
    request.owner = owner;
    request.title = texts.title;
    request.mainInstruction = texts.mainInstruction;
    request.content = texts.content;
    request.mainIcon = TaskDialogIcon::information;
    request.buttons = { { updateNowButton, std::string(L10n::text(L10nKey::buttonUpdateNow, language)) },
        { remindLaterButton, std::string(L10n::text(L10nKey::buttonRemindLater, language)) } };
    request.defaultButton = updateNowButton;
    request.footer = texts.footer;
    request.footerIcon = info.mandatory ? TaskDialogIcon::warning : TaskDialogIcon::information;
    request.cancellable = !info.mandatory;
    TaskDialogSession session;
    if (info.requiresElevation)
        session.shieldButton = updateNowButton;
    if (const auto pressed = TaskDialogs::show(request, session))
        return *pressed != updateNowButton;

    const auto body = text::utf8ToWide(updatePromptFallbackText(info, language));
    const auto title = text::utf8ToWide(texts.title);
    return MessageBoxW(owner, body.c_str(), title.c_str(), MB_YESNO | MB_ICONINFORMATION) != IDYES;
}

TaskProgressDialog::TaskProgressDialog(
    HWND owner, std::string title, std::string mainInstruction, std::string content, std::string cancelText)
    : owner_(owner)
    , title_(std::move(title))
    , mainInstruction_(std::move(mainInstruction))
    , content_(std::move(content))
    , cancelText_(std::move(cancelText))
{
}

bool TaskProgressDialog::show()
{
    TaskDialogRequest request;
    request.owner = owner_;
    request.title = title_;
    request.mainInstruction = mainInstruction_;
    request.content = content_;
    request.buttons = { { IDCANCEL, cancelText_ } };
    request.defaultButton = IDCANCEL;
    session_.showProgressBar = true;
    session_.onCreated = [this](HWND hwnd) {
        SendMessageW(hwnd, TDM_SET_PROGRESS_BAR_RANGE, 0, MAKELPARAM(0, 100));
        SendMessageW(hwnd, TDM_SET_PROGRESS_BAR_POS, 0, 0);
        if (closeRequested_) {
            SendMessageW(hwnd, TDM_CLICK_BUTTON, IDCANCEL, 0); // closed before it was shown
        } else if (cancelRequested_) {
            SendMessageW(hwnd, TDM_ENABLE_BUTTON, IDCANCEL, FALSE);
        }
        if (onShown && !closeRequested_)
            onShown();
    };
    session_.onButtonClicked = [this](int id) {
        if (id != IDCANCEL || closeRequested_)
            return true;
        // The download stops on its own thread; the owner closes the dialog
        // when it has.
        SendMessageW(session_.hwnd, TDM_ENABLE_BUTTON, IDCANCEL, FALSE);
        if (!cancelRequested_) {
            cancelRequested_ = true;
            if (onCancel)
                onCancel();
        }
        return false;
    };
    return TaskDialogs::show(request, session_).has_value();
}

void TaskProgressDialog::setProgress(int percent)
{
    if (session_.hwnd != nullptr)
        SendMessageW(session_.hwnd, TDM_SET_PROGRESS_BAR_POS, static_cast<WPARAM>(std::clamp(percent, 0, 100)), 0);
}

void TaskProgressDialog::setContent(std::string_view text)
{
    content_ = std::string(text);
    if (session_.hwnd != nullptr)
        SendMessageW(
            session_.hwnd, TDM_SET_ELEMENT_TEXT, TDE_CONTENT, reinterpret_cast<LPARAM>(contentTexts_.add(content_)));
}

void TaskProgressDialog::close()
{
    closeRequested_ = true;
    if (session_.hwnd != nullptr) {
        SendMessageW(session_.hwnd, TDM_ENABLE_BUTTON, IDCANCEL, TRUE);
        SendMessageW(session_.hwnd, TDM_CLICK_BUTTON, IDCANCEL, 0);
    }
}

std::optional<std::wstring> askOpenPath(
    HWND owner, const std::optional<std::wstring>& initialDirectory, AppLanguage language)
{
    static const auto entry = fileDialogEntry("GetOpenFileNameW");
    if (entry == nullptr) {
        log::write(log::Module::ui, "comdlg32.dll 載入失敗，開啟檔案對話框不可用");
        return std::nullopt;
    }
    const auto filter = filterText(FileDialogType::zmd, language);
    std::wstring buffer(fileNameUnits, L'\0');
    OPENFILENAMEW ofn {};
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrDefExt = L"zmd";
    const std::wstring folder = startFolder(initialDirectory);
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    return runFileDialog(entry, ofn, buffer);
}

std::optional<std::wstring> askSavePath(HWND owner, std::optional<std::string_view> proposedName,
    const std::optional<std::wstring>& initialDirectory, FileDialogType type, AppLanguage language)
{
    static const auto entry = fileDialogEntry("GetSaveFileNameW");
    if (entry == nullptr) {
        log::write(log::Module::ui, "comdlg32.dll 載入失敗，存檔對話框不可用");
        return std::nullopt;
    }
    const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    auto name = text::utf8ToWide(proposedSaveName(proposedName, type, now));
    name.resize(std::min(name.size(), fileNameUnits - 1));
    std::wstring buffer(fileNameUnits, L'\0');
    std::copy(name.begin(), name.end(), buffer.begin());

    const auto filter = filterText(type, language);
    const auto defaultExtension = text::utf8ToWide(extension(type));
    OPENFILENAMEW ofn {};
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrDefExt = defaultExtension.c_str();
    const std::wstring folder = startFolder(initialDirectory);
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    const auto title = saveDialogTitle(type, language);
    const std::wstring wideTitle = title ? text::utf8ToWide(*title) : std::wstring();
    ofn.lpstrTitle = title ? wideTitle.c_str() : nullptr;
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    return runFileDialog(entry, ofn, buffer);
}

} // namespace zelmar::ui::win32
