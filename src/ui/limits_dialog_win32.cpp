#include "ui/limits_dialog_win32.h"

#include "core/text_encoding.h"
#include "ui/dialog_texts.h"

#include <string>
#include <vector>

namespace zelmar::ui::win32 {

namespace {

constexpr WORD buttonClass = 0x0080;
constexpr WORD editClass = 0x0081;
constexpr WORD staticClass = 0x0082;

// A dialog template in memory: the header, then each control aligned to a
// double word, all in dialog units.
class DialogTemplate {
public:
    DialogTemplate(std::wstring_view title, std::wstring_view font, WORD points, short cx, short cy)
    {
        add(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
        add(DWORD { 0 });
        countAt_ = words_.size();
        words_.push_back(0); // controls, counted as they are added
        for (short v : { short { 0 }, short { 0 }, cx, cy })
            words_.push_back(static_cast<WORD>(v));
        words_.push_back(0); // no menu
        words_.push_back(0); // the standard class
        addText(title);
        words_.push_back(points);
        addText(font);
    }

    void control(WORD cls, DWORD style, int id, short x, short y, short cx, short cy, std::wstring_view text)
    {
        if (words_.size() % 2 != 0)
            words_.push_back(0);
        add(WS_CHILD | WS_VISIBLE | style);
        add(DWORD { 0 });
        for (short v : { x, y, cx, cy })
            words_.push_back(static_cast<WORD>(v));
        words_.push_back(static_cast<WORD>(id));
        words_.push_back(0xFFFF);
        words_.push_back(cls);
        addText(text);
        words_.push_back(0); // no creation data
        ++words_[countAt_];
    }

    [[nodiscard]] const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void add(DWORD v)
    {
        words_.push_back(LOWORD(v));
        words_.push_back(HIWORD(v));
    }
    void addText(std::wstring_view text)
    {
        words_.insert(words_.end(), text.begin(), text.end());
        words_.push_back(0);
    }

    std::vector<WORD> words_;
    std::size_t countAt_ = 0;
};

struct DialogState {
    AppLanguage language;
    Limits current;
    std::optional<Limits> result;
};

std::string fieldText(HWND dialog, int id)
{
    wchar_t buffer[64] {};
    GetDlgItemTextW(dialog, id, buffer, 64);
    return text::wideToUtf8(buffer);
}

INT_PTR CALLBACK limitsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        state = reinterpret_cast<DialogState*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetDlgItemTextW(dialog, limitsLowField, text::utf8ToWide(limitFieldText(state->current.low)).c_str());
        SetDlgItemTextW(dialog, limitsHighField, text::utf8ToWide(limitFieldText(state->current.high)).c_str());
        CheckDlgButton(dialog, limitsBeepBox, state->current.beep ? BST_CHECKED : BST_UNCHECKED);
        return TRUE; // the first field takes the focus
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            const auto parsed = parseLimitsForm(fieldText(dialog, limitsLowField), fieldText(dialog, limitsHighField),
                IsDlgButtonChecked(dialog, limitsBeepBox) == BST_CHECKED);
            if (!parsed) {
                const std::wstring body = text::utf8ToWide(L10n::text(parsed.error(), state->language));
                const std::wstring title = text::utf8ToWide(L10n::text(L10nKey::dialogLimitsTitle, state->language));
                MessageBoxW(dialog, body.c_str(), title.c_str(), MB_OK | MB_ICONWARNING);
                SetFocus(GetDlgItem(dialog, limitsLowField));
                return TRUE;
            }
            state->result = *parsed;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

std::optional<Limits> askLimits(HWND owner, AppLanguage language, std::string_view forWhat, const Limits& current)
{
    const auto t = [language](L10nKey key) { return text::utf8ToWide(L10n::text(key, language)); };
    DialogTemplate dialog(t(L10nKey::dialogLimitsTitle), L"Microsoft JhengHei UI", 9, 240, 132);
    dialog.control(staticClass, SS_LEFT | SS_NOPREFIX, -1, 8, 8, 224, 10, text::utf8ToWide(forWhat));
    dialog.control(staticClass, SS_LEFT, -1, 8, 26, 72, 10, t(L10nKey::limitsLow));
    dialog.control(editClass, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, limitsLowField, 84, 24, 148, 13, L"");
    dialog.control(staticClass, SS_LEFT, -1, 8, 44, 72, 10, t(L10nKey::limitsHigh));
    dialog.control(editClass, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, limitsHighField, 84, 42, 148, 13, L"");
    dialog.control(buttonClass, BS_AUTOCHECKBOX | WS_TABSTOP, limitsBeepBox, 8, 62, 224, 12, t(L10nKey::limitsBeep));
    dialog.control(staticClass, SS_LEFT | SS_NOPREFIX, -1, 8, 80, 224, 26, t(L10nKey::limitsHint));
    dialog.control(buttonClass, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, 126, 112, 50, 14, t(L10nKey::buttonOK));
    dialog.control(buttonClass, BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, 182, 112, 50, 14, t(L10nKey::buttonCancel));
    DialogState state { language, current, std::nullopt };
    const INT_PTR answer = DialogBoxIndirectParamW(
        GetModuleHandleW(nullptr), dialog.get(), owner, &limitsProc, reinterpret_cast<LPARAM>(&state));
    return answer == IDOK ? state.result : std::nullopt;
}

} // namespace zelmar::ui::win32
