#include "ui/main_window_win32.h"

#include "core/diagnostic_log.h"
#include "core/text_encoding.h"
#include "core/win32_error.h"
#include "ui/chart_view_win32.h"
#include "ui/dialogs_win32.h"
#include "ui/gdi_objects_win32.h"
#include "ui/help_about_win32.h"
#include "ui/icon_card_button_win32.h"
#include "ui/gdiplus_canvas_win32.h"
#include "ui/lcd_panel_win32.h"
#include "ui/png_encode.h"
#include "ui/record_table_view_win32.h"
#include "ui/theme_win32.h"
#include "ui/toolbar_tooltips_win32.h"
#include "ui/window_binding_win32.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <climits>
#include <cstring>

namespace zelmar::ui::win32 {

namespace {

constexpr wchar_t mainWindowClass[] = L"DMM5174KMainWindowClass";
constexpr DWORD mainWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr int statusConnectionPart = 0;
constexpr int statusChannelPart = 1;
constexpr int statusRecordingPart = 2;
constexpr int statusNoticePart = 3;

std::wstring wide(std::string_view utf8)
{
    return text::utf8ToWide(utf8);
}

UINT menuFlags(bool enabled)
{
    return MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED);
}

void makeProcessDpiAware()
{
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    static const bool done = [] {
        if (HMODULE user = GetModuleHandleW(L"user32.dll")) {
            if (auto set = reinterpret_cast<SetContextFn>(
                    reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDpiAwarenessContext"))))
                set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
        }
        INITCOMMONCONTROLSEX controls { sizeof controls,
            ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES };
        InitCommonControlsEx(&controls);
        return true;
    }();
    (void)done;
}

// The work area of the monitor that holds most of a screen rectangle.
Rect workAreaNear(const RECT& screenRect)
{
    MONITORINFO info {};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromRect(&screenRect, MONITOR_DEFAULTTONEAREST), &info))
        return fromRECT(screenRect);
    return fromRECT(info.rcWork);
}

// Window placements are in workspace coordinates: screen coordinates less
// the primary monitor's taskbar at its left or top.
POINT workspaceOffset()
{
    MONITORINFO info {};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromPoint({ 0, 0 }, MONITOR_DEFAULTTOPRIMARY), &info))
        return { 0, 0 };
    return { info.rcWork.left - info.rcMonitor.left, info.rcWork.top - info.rcMonitor.top };
}

// The interval field's rounded frame; plain GDI where GDI+ is missing.
void drawIntervalFrame(HDC dc, const Rect& frame, Rgb fill, Rgb border, int dpi)
{
    const int line = scaleAtLeastOne(1, dpi);
    const int radius = scale(8, dpi);
    if (auto canvas = GdiPlusCanvas::create(dc)) {
        // Two filled shapes, the border's and the fill's a line inside it:
        // fills are smoothed everywhere GDI+ is, outlines not always.
        const double r = radius / 2.0;
        if (canvas->roundedRect(frame.left, frame.top, frame.right, frame.bottom, r, border, false)
            && canvas->roundedRect(frame.left + line, frame.top + line, frame.right - line, frame.bottom - line,
                std::max(r - line, 1.0), fill, false))
            return;
    }
    UniqueBrush brush(CreateSolidBrush(fill.colorRef()));
    UniquePen pen(CreatePen(PS_INSIDEFRAME, line, border.colorRef()));
    const SelectGuard selectBrush(dc, brush.get());
    const SelectGuard selectPen(dc, pen.get());
    RoundRect(dc, frame.left, frame.top, frame.right, frame.bottom, radius, radius);
}

SIZE windowSizeForClient(int width, int height)
{
    RECT r { 0, 0, width, height };
    AdjustWindowRectEx(&r, mainWindowStyle, TRUE, 0);
    return { r.right - r.left, r.bottom - r.top };
}

int textWidth(HFONT font, const std::wstring& text)
{
    WindowDc dc(nullptr);
    const SelectGuard selected(dc.get(), font);
    SIZE size {};
    GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

int fontHeight(HFONT font)
{
    WindowDc dc(nullptr);
    const SelectGuard selected(dc.get(), font);
    TEXTMETRICW tm {};
    GetTextMetricsW(dc.get(), &tm);
    return tm.tmHeight;
}

// The status bar draws the notice's focus: it repaints when the focus
// comes or goes (the common control itself does not).
LRESULT CALLBACK statusBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETFOCUS || message == WM_KILLFOCUS)
        InvalidateRect(hwnd, nullptr, FALSE);
    const auto base = reinterpret_cast<WNDPROC>(GetClassLongPtrW(hwnd, GCLP_WNDPROC));
    return CallWindowProcW(base, hwnd, message, wParam, lParam);
}

} // namespace

MainWindow::MainWindow()
    : dispatcher_(
        [](UIDispatcher::Target target) { PostMessageW(reinterpret_cast<HWND>(target), dispatcherMessage, 0, 0); })
{
}

std::expected<std::unique_ptr<MainWindow>, std::string> MainWindow::create(
    HINSTANCE instance, int showCommand, AppLanguage language)
{
    makeProcessDpiAware();
    (void)lcdFaceName(); // loads the seven-segment font once and logs it

    static const bool registered = [instance] {
        WNDCLASSEXW wc {};
        wc.cbSize = sizeof wc;
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = &boundWindowProc<MainWindow>;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = nullptr; // WM_ERASEBKGND paints in the palette's colours
        wc.lpszClassName = mainWindowClass;
        return RegisterClassExW(&wc) != 0;
    }();
    if (!registered)
        return std::unexpected("main window class: " + zelmar::win32::lastErrorText());

    std::unique_ptr<MainWindow> self(new MainWindow);
    self->hInstance_ = instance;
    self->language_ = language;
    self->rebuildBrushes();

    const int dpi = uiDpi();
    SIZE size = windowSizeForClient(scale(1200, dpi), scale(820, dpi));
    RECT work {};
    if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        size.cx = std::min<LONG>(size.cx, work.right - work.left);
        size.cy = std::min<LONG>(size.cy, work.bottom - work.top);
    }
    const auto title = wide(L10n::text(L10nKey::appName, language));
    if (CreateWindowExW(0, mainWindowClass, title.c_str(), mainWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, size.cx,
            size.cy, nullptr, nullptr, instance, self.get())
        == nullptr)
        return std::unexpected("main window: " + zelmar::win32::lastErrorText());
    self->dispatcher_.setTarget(reinterpret_cast<UIDispatcher::Target>(self->hwnd_));
    // The default position may leave the bottom below the work area.
    if (RECT placed {}; GetWindowRect(self->hwnd_, &placed)) {
        const Rect fitted = fitIntoWorkArea(fromRECT(placed), workAreaNear(placed));
        if (fitted != fromRECT(placed))
            SetWindowPos(self->hwnd_, nullptr, fitted.left, fitted.top, fitted.width(), fitted.height(),
                SWP_NOZORDER | SWP_NOACTIVATE);
    }
    (void)applyAppIcon(self->hwnd_, dpi);
    ChangeWindowMessageFilterEx(self->hwnd_, WM_COPYDATA, MSGFLT_ALLOW, nullptr);

    if (auto made = self->createChildren(); !made)
        return std::unexpected(made.error());
    self->buildMenus();
    self->buildAccelerators();

    SendMessageW(self->hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    self->applyEnablingRules();
    self->refreshStatus();
    ShowWindow(self->hwnd_, showCommand);
    UpdateWindow(self->hwnd_);
    self->layout();
    // Only a window that was made ends the message loop when it goes; a
    // failed creation must not post a quit into the caller's error box.
    self->quitOnDestroy_ = true;
    return self;
}

MainWindow::~MainWindow()
{
    destroy();
    if (accelerators_ != nullptr)
        DestroyAcceleratorTable(accelerators_);
    for (HGDIOBJ object : { static_cast<HGDIOBJ>(noticeFont_), static_cast<HGDIOBJ>(bandBrush_),
             static_cast<HGDIOBJ>(disabledFieldBrush_) }) {
        if (object != nullptr)
            DeleteObject(object);
    }
}

std::expected<void, std::string> MainWindow::createChildren()
{
    struct CardSpec {
        std::unique_ptr<IconCardButton>* card;
        CommandId id;
        ButtonIconKind icon;
        L10nKey label;
    };
    const CardSpec cards[] = {
        { &newFileCard_, CommandId::newFileCard, ButtonIconKind::newFile, L10nKey::buttonNewFile },
        { &openCard_, CommandId::openCard, ButtonIconKind::open, L10nKey::buttonOpen },
        { &saveCard_, CommandId::saveCard, ButtonIconKind::save, L10nKey::buttonSave },
        { &startCard_, CommandId::startCard, ButtonIconKind::play, L10nKey::buttonStart },
        { &stopCard_, CommandId::stopCard, ButtonIconKind::stop, L10nKey::buttonStop },
    };
    for (const auto& spec : cards) {
        auto card = IconCardButton::create(
            hwnd_, hInstance_, commandNumber(spec.id), spec.icon, std::nullopt, text(spec.label));
        if (!card)
            return std::unexpected(card.error());
        *spec.card = std::move(*card);
    }

    const HFONT font = themeFont(ThemeFont::interface);
    auto child = [&](const wchar_t* cls, DWORD style, const std::wstring& caption, int id) {
        HWND h = CreateWindowExW(0, cls, caption.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), hInstance_, nullptr);
        if (h != nullptr)
            SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return h;
    };
    intervalLabel_
        = child(L"STATIC", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, wide(text(L10nKey::labelRecordInterval)), -1);
    intervalEdit_
        = child(L"EDIT", WS_TABSTOP | ES_CENTER | ES_AUTOHSCROLL, L"10", commandNumber(CommandId::intervalField));
    secondsLabel_ = child(L"STATIC", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, wide(text(L10nKey::labelSeconds)), -1);
    if (intervalLabel_ == nullptr || intervalEdit_ == nullptr || secondsLabel_ == nullptr)
        return std::unexpected("toolbar field: " + zelmar::win32::lastErrorText());
    SendMessageW(intervalEdit_, EM_SETLIMITTEXT, intervalFieldMaxChars, 0);

    auto lcd = LcdPanel::create(hwnd_, commandNumber(CommandId::lcdPanel));
    if (!lcd)
        return std::unexpected(lcd.error());
    lcdPanel_ = std::move(*lcd);
    lcdPanel_->setLanguage(language_);
    auto chart = ChartView::create(hwnd_, commandNumber(CommandId::chartView));
    if (!chart)
        return std::unexpected(chart.error());
    chartView_ = std::move(*chart);
    chartView_->setLanguage(language_);
    chartView_->onViewChanged = [this] { invalidateStatistics(); };
    auto table = RecordTableView::create(hwnd_, hInstance_, commandNumber(CommandId::recordTable), language_);
    if (!table)
        return std::unexpected(table.error());
    recordTable_ = std::move(*table);

    statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(commandNumber(CommandId::statusBar))), hInstance_, nullptr);
    if (statusBar_ == nullptr)
        return std::unexpected("status bar: " + zelmar::win32::lastErrorText());
    SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowLongPtrW(statusBar_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&statusBarProc));
    rebuildNoticeFont();

    tooltips_ = ToolbarTooltips::create(hwnd_);
    for (auto card :
        { ToolbarCard::newFile, ToolbarCard::open, ToolbarCard::save, ToolbarCard::start, ToolbarCard::stop }) {
        HWND window = cardWindow(card);
        tooltips_->add(GetDlgCtrlID(window), window, cardTooltip(card, isRecording_, language_));
    }
    onSystemColorsChanged(); // high contrast may be on from the start
    return {};
}

IconCardButton* MainWindow::cardButton(ToolbarCard card) const noexcept
{
    switch (card) {
    case ToolbarCard::newFile:
        return newFileCard_.get();
    case ToolbarCard::open:
        return openCard_.get();
    case ToolbarCard::save:
        return saveCard_.get();
    case ToolbarCard::start:
        return startCard_.get();
    case ToolbarCard::stop:
        return stopCard_.get();
    }
    return nullptr;
}

HWND MainWindow::cardWindow(ToolbarCard card) const noexcept
{
    const IconCardButton* button = cardButton(card);
    return button != nullptr ? button->hwnd() : nullptr;
}

HWND MainWindow::tooltipWindow() const noexcept
{
    return tooltips_ ? tooltips_->hwnd() : nullptr;
}

std::string MainWindow::text(L10nKey key) const
{
    return std::string(L10n::text(key, language_));
}

void MainWindow::buildMenus()
{
    auto item = [this](HMENU menu, L10nKey key, CommandId id) {
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(commandNumber(id)), wide(text(key)).c_str());
    };
    HMENU file = CreatePopupMenu();
    item(file, L10nKey::fileNew, CommandId::newFile);
    item(file, L10nKey::fileOpen, CommandId::open);
    item(file, L10nKey::fileSave, CommandId::save);
    item(file, L10nKey::fileSaveAs, CommandId::saveAs);
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    item(file, L10nKey::fileExportCsv, CommandId::exportCsv);
    item(file, L10nKey::menuExportChartImage, CommandId::exportChartImage);
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    item(file, L10nKey::fileExit, CommandId::exit);

    HMENU edit = CreatePopupMenu();
    item(edit, L10nKey::editCopySelectedRows, CommandId::copyRows);
    item(edit, L10nKey::editSelectAll, CommandId::selectAll);
    AppendMenuW(edit, MF_SEPARATOR, 0, nullptr);
    item(edit, L10nKey::editDeleteSelectedRows, CommandId::deleteRows);
    item(edit, L10nKey::editClearAllRecords, CommandId::clearAll);
    AppendMenuW(edit, MF_SEPARATOR, 0, nullptr);
    item(edit, L10nKey::menuLimits, CommandId::limits);

    HMENU view = CreatePopupMenu();
    item(view, L10nKey::viewChart, CommandId::chart);
    item(view, L10nKey::viewAlwaysOnTop, CommandId::alwaysOnTop);
    AppendMenuW(view, MF_SEPARATOR, 0, nullptr);
    HMENU languages = CreatePopupMenu();
    item(languages, L10nKey::viewLanguageZhTW, CommandId::languageZhTW);
    item(languages, L10nKey::viewLanguageEnUS, CommandId::languageEnUS);
    AppendMenuW(view, MF_POPUP, reinterpret_cast<UINT_PTR>(languages), wide(text(L10nKey::viewLanguage)).c_str());

    HMENU help = CreatePopupMenu();
    item(help, L10nKey::helpUsage, CommandId::usageHelp);
    item(help, L10nKey::helpCheckForUpdates, CommandId::checkForUpdates);
    AppendMenuW(help, MF_SEPARATOR, 0, nullptr);
    item(help, L10nKey::helpLicense, CommandId::license);
    item(help, L10nKey::helpAbout, CommandId::about);

    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), wide(text(L10nKey::menuFile)).c_str());
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), wide(text(L10nKey::menuEdit)).c_str());
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), wide(text(L10nKey::menuView)).c_str());
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), wide(text(L10nKey::menuHelp)).c_str());

    HMENU old = menuBar_;
    menuBar_ = bar;
    viewMenu_ = view;
    SetMenu(hwnd_, bar);
    if (old != nullptr)
        DestroyMenu(old);
    CheckMenuItem(bar, commandNumber(CommandId::chart), MF_BYCOMMAND | (isChartVisible_ ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(
        bar, commandNumber(CommandId::alwaysOnTop), MF_BYCOMMAND | (isAlwaysOnTop_ ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuRadioItem(bar, commandNumber(CommandId::languageZhTW), commandNumber(CommandId::languageEnUS),
        commandNumber(language_ == AppLanguage::zhTW ? CommandId::languageZhTW : CommandId::languageEnUS),
        MF_BYCOMMAND);
    for (auto id : { CommandId::newFile, CommandId::open, CommandId::save, CommandId::saveAs, CommandId::exportCsv,
             CommandId::deleteRows, CommandId::clearAll })
        EnableMenuItem(bar, commandNumber(id), menuFlags(!isRecording_));
    DrawMenuBar(hwnd_);
}

void MainWindow::buildAccelerators()
{
    ACCEL table[] = {
        { FCONTROL | FVIRTKEY, 'N', static_cast<WORD>(commandNumber(CommandId::newFile)) },
        { FCONTROL | FVIRTKEY, 'O', static_cast<WORD>(commandNumber(CommandId::open)) },
        { FCONTROL | FVIRTKEY, 'S', static_cast<WORD>(commandNumber(CommandId::save)) },
        { FCONTROL | FVIRTKEY, 'C', static_cast<WORD>(commandNumber(CommandId::copyRows)) },
        { FCONTROL | FVIRTKEY, 'A', static_cast<WORD>(commandNumber(CommandId::selectAll)) },
        { FVIRTKEY, VK_DELETE, static_cast<WORD>(commandNumber(CommandId::deleteRows)) },
        { FCONTROL | FSHIFT | FVIRTKEY, 'S', static_cast<WORD>(commandNumber(CommandId::saveAs)) },
        { FVIRTKEY, VK_F1, static_cast<WORD>(commandNumber(CommandId::usageHelp)) },
        // Start and Stop, as the cards would (the cards' own rules apply).
        { FVIRTKEY, VK_F5, static_cast<WORD>(commandNumber(CommandId::startCard)) },
        { FSHIFT | FVIRTKEY, VK_F5, static_cast<WORD>(commandNumber(CommandId::stopCard)) },
    };
    accelerators_ = CreateAcceleratorTableW(table, static_cast<int>(std::size(table)));
}

std::string MainWindow::tooltipText(ToolbarCard card) const
{
    return cardTooltip(card, isRecording_, language_);
}

void MainWindow::updateTooltips()
{
    for (auto card :
        { ToolbarCard::newFile, ToolbarCard::open, ToolbarCard::save, ToolbarCard::start, ToolbarCard::stop })
    {
        tooltips_->setText(GetDlgCtrlID(cardWindow(card)), tooltipText(card));
        if (IconCardButton* button = cardButton(card))
            button->setAccessibleTexts(tooltipText(card), text(L10nKey::accessiblePress));
    }
}

void MainWindow::applyEnablingRules()
{
    HWND focused = GetFocus();
    const bool recording = isRecording_;
    for (auto card :
        { ToolbarCard::newFile, ToolbarCard::open, ToolbarCard::save, ToolbarCard::start, ToolbarCard::stop })
        EnableWindow(cardWindow(card), cardEnabled(card, recording) ? TRUE : FALSE);
    EnableWindow(intervalEdit_, recording ? FALSE : TRUE);
    for (auto id : { CommandId::newFile, CommandId::open, CommandId::save, CommandId::saveAs, CommandId::exportCsv,
             CommandId::deleteRows, CommandId::clearAll })
        EnableMenuItem(menuBar_, commandNumber(id), menuFlags(!recording));
    updateTooltips();

    if (focused != nullptr && IsChild(hwnd_, focused) && !IsWindowEnabled(focused)) {
        HWND target = cardWindow(recording ? ToolbarCard::stop : ToolbarCard::start);
        SetFocus(IsWindowEnabled(target) ? target : hwnd_);
    }
    InvalidateRect(intervalLabel_, nullptr, TRUE);
    InvalidateRect(secondsLabel_, nullptr, TRUE);
    InvalidateRect(intervalEdit_, nullptr, TRUE);
    RECT frame { toolbar_.intervalFrame.left, toolbar_.intervalFrame.top, toolbar_.intervalFrame.right,
        toolbar_.intervalFrame.bottom };
    InvalidateRect(hwnd_, &frame, TRUE);
}

void MainWindow::layout()
{
    if (hwnd_ == nullptr || statusBar_ == nullptr)
        return;
    const int dpi = uiDpi();
    RECT client {};
    GetClientRect(hwnd_, &client);
    SendMessageW(statusBar_, WM_SIZE, 0, 0);
    RECT status {};
    GetWindowRect(statusBar_, &status);
    const int statusHeight = status.bottom - status.top;
    updateStatusParts();

    const HFONT font = themeFont(ThemeFont::interface);
    toolbar_ = toolbarLayout(dpi, textWidth(font, wide(text(L10nKey::labelRecordInterval))),
        textWidth(font, wide(text(L10nKey::labelSeconds))), fontHeight(font) + scale(2, dpi));
    // A moved child is painted anew, never from its old bits: a sibling it
    // overlapped on the way (the interval field moving over the seconds
    // label on a language switch) may have drawn into them.
    auto place = [](HWND h, const Rect& r) {
        SetWindowPos(h, nullptr, r.left, r.top, r.width(), r.height(), SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
    };
    const ToolbarCard order[]
        = { ToolbarCard::newFile, ToolbarCard::open, ToolbarCard::save, ToolbarCard::start, ToolbarCard::stop };
    for (std::size_t i = 0; i < std::size(order); ++i)
        place(cardWindow(order[i]), toolbar_.cards[i]);
    place(intervalLabel_, toolbar_.intervalLabel);
    place(intervalEdit_, toolbar_.intervalEdit);
    place(secondsLabel_, toolbar_.secondsLabel);
    tooltips_->updateRects();

    content_ = ui::contentLayout(client.right, client.bottom, statusHeight, isChartVisible_, dpi);
    if (content_) {
        place(lcdPanel_->hwnd(), content_->lcd);
        if (isChartVisible_)
            place(chartView_->hwnd(), content_->chart);
        place(recordTable_->hwnd(), content_->table);
        recordTable_->layoutColumns();
    }
    ShowWindow(chartView_->hwnd(), isChartVisible_ ? SW_SHOWNA : SW_HIDE);
    RECT band { 0, 0, client.right, toolbar_.bandHeight };
    InvalidateRect(hwnd_, &band, TRUE);
}

void MainWindow::updateStatusParts()
{
    std::optional<int> noticeWidth;
    if (updateNotice_) {
        const HFONT font = updateNotice_->clickable ? noticeFont_ : themeFont(ThemeFont::interface);
        noticeWidth = textWidth(font, wide(updateNotice_->text));
    }
    RECT client {};
    GetClientRect(hwnd_, &client);
    const auto edges = statusPartEdges(client.right, noticeWidth, uiDpi());
    SendMessageW(statusBar_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    refreshStatus();
}

std::string MainWindow::statusText(int part) const
{
    switch (part) {
    case statusConnectionPart:
        switch (connection_.kind) {
        case ConnectionStatus::Kind::connected:
            return L10n::statusConnected(language_, connection_.model);
        case ConnectionStatus::Kind::readError:
            return text(L10nKey::statusReadError);
        default:
            return text(L10nKey::statusDisconnected);
        }
    case statusChannelPart:
        return alarm_ ? *alarm_ : channelText_;
    case statusRecordingPart:
        return isRecording_ ? L10n::statusRecording(language_, recordCount_, recordCount_ >= nearLimitRecords)
                            : std::string();
    case statusNoticePart:
        return updateNotice_ ? updateNotice_->text : std::string();
    default:
        return {};
    }
}

void MainWindow::refreshStatus()
{
    if (statusBar_ == nullptr)
        return;
    SendMessageW(statusBar_, SB_SETTEXTW, statusConnectionPart, reinterpret_cast<LPARAM>(wide(statusText(0)).c_str()));
    if (alarm_)
        SendMessageW(statusBar_, SB_SETTEXTW, statusChannelPart | SBT_OWNERDRAW, 0);
    else
        SendMessageW(
            statusBar_, SB_SETTEXTW, statusChannelPart, reinterpret_cast<LPARAM>(wide(statusText(1)).c_str()));
    SendMessageW(statusBar_, SB_SETTEXTW, statusRecordingPart | SBT_OWNERDRAW, 0);
    if (updateNotice_)
        SendMessageW(statusBar_, SB_SETTEXTW, statusNoticePart | SBT_OWNERDRAW, 0);
    InvalidateRect(statusBar_, nullptr, TRUE);
}

void MainWindow::drawStatusPart(const DRAWITEMSTRUCT& item)
{
    const int part = static_cast<int>(item.itemID);
    const auto content = wide(statusText(part));
    if (content.empty())
        return;
    HDC dc = item.hDC;
    SetBkMode(dc, TRANSPARENT);
    RECT r = item.rcItem;
    const int dpi = uiDpi();
    const Palette::Window colors = activePalette().window;
    if (part == statusChannelPart && alarm_) {
        // The alarm takes the channel's part, in the alarm's colours.
        fillRect(dc, fromRECT(item.rcItem), colors.alarm);
        SetTextColor(dc, colors.alarmText.colorRef());
        const SelectGuard font(dc, themeFont(ThemeFont::interfaceBold));
        r.left += scale(4, dpi);
        DrawTextW(dc, content.c_str(), static_cast<int>(content.size()), &r,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    } else if (part == statusRecordingPart) {
        SetTextColor(dc, (recordCount_ >= nearLimitRecords ? colors.statusNearLimit : colors.statusText).colorRef());
        const SelectGuard font(dc, themeFont(ThemeFont::interface));
        r.left += scale(4, dpi);
        DrawTextW(dc, content.c_str(), static_cast<int>(content.size()), &r,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    } else if (part == statusNoticePart && updateNotice_) {
        const bool clickable = updateNotice_->clickable;
        SetTextColor(dc, (clickable ? colors.statusLink : colors.statusMuted).colorRef());
        const SelectGuard font(dc, clickable ? noticeFont_ : themeFont(ThemeFont::interface));
        const Rect part = fromRECT(r);
        r.left += scale(6, dpi);
        DrawTextW(dc, content.c_str(), static_cast<int>(content.size()), &r,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        if (clickable && showsKeyboardFocus(statusBar_))
            drawFocusFrame(dc, { part.left - scale(2, dpi), part.top - scale(2, dpi), part.right, part.bottom + scale(2, dpi) },
                colors.statusText, dpi);
    }
}

void MainWindow::rebuildBrushes()
{
    const Palette palette = activePalette();
    for (HBRUSH* brush : { &bandBrush_, &disabledFieldBrush_ }) {
        if (*brush != nullptr)
            DeleteObject(*brush);
    }
    bandBrush_ = CreateSolidBrush(palette.window.band.colorRef());
    disabledFieldBrush_ = CreateSolidBrush(palette.window.frameFillRecording.colorRef());
}

void MainWindow::onSystemColorsChanged()
{
    rebuildBrushes();
    // The status bar draws its own parts through the visual style, whose
    // colours are not the system's: under high contrast it draws classic,
    // in the system's pair, as Windows does for every control then (a
    // style name of one space matches no style; an empty one means the
    // default under Wine).
    const bool highContrast = highContrastIsOn();
    if (highContrast != statusBarClassic_) {
        statusBarClassic_ = highContrast;
        SetWindowTheme(statusBar_, highContrast ? L" " : nullptr, highContrast ? L" " : nullptr);
    }
    // The common controls keep their own copies of the system colours.
    for (HWND control : { recordTable_->hwnd(), statusBar_, tooltips_ ? tooltips_->hwnd() : nullptr }) {
        if (control != nullptr)
            SendMessageW(control, WM_SYSCOLORCHANGE, 0, 0);
    }
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

void MainWindow::rebuildNoticeFont()
{
    LOGFONTW lf {};
    GetObjectW(themeFont(ThemeFont::interface), sizeof lf, &lf);
    lf.lfUnderline = TRUE;
    if (noticeFont_ != nullptr)
        DeleteObject(noticeFont_);
    noticeFont_ = CreateFontIndirectW(&lf);
}

bool MainWindow::cursorOverNotice() const
{
    if (!updateNotice_ || !updateNotice_->clickable)
        return false;
    RECT part {};
    if (!SendMessageW(statusBar_, SB_GETRECT, statusNoticePart, reinterpret_cast<LPARAM>(&part)))
        return false;
    POINT p {};
    GetCursorPos(&p);
    ScreenToClient(statusBar_, &p);
    return PtInRect(&part, p) != FALSE;
}

void MainWindow::paintBackground(HDC dc)
{
    RECT client {};
    GetClientRect(hwnd_, &client);
    const int dpi = uiDpi();
    const int line = scaleAtLeastOne(1, dpi);
    const int band = toolbar_.bandHeight > 0 ? toolbar_.bandHeight : scale(44, dpi);
    const Palette::Window colors = activePalette().window;
    fillRect(dc, { 0, band, client.right, client.bottom }, colors.background);
    fillRect(dc, { 0, 0, client.right, band - line }, colors.band);
    fillRect(dc, { 0, band - line, client.right, band }, colors.bandLine);
    for (int x : toolbar_.separators)
        fillRect(dc, { x, toolbar_.separatorTop, x + line, toolbar_.separatorBottom }, colors.separator);
    paintStatistics(dc, colors);

    const Rect& frame = toolbar_.intervalFrame;
    if (frame.empty())
        return;
    Rgb fill = colors.band;
    Rgb border = colors.frameBorder;
    if (isRecording_) {
        fill = colors.frameFillRecording;
        border = colors.frameBorderRecording;
    } else if (intervalHasFocus()) {
        border = colors.link;
    }
    // Antialiased like the cards, which needs a 32-bit bitmap to draw into
    // (under Wine GDI+ smooths nothing on the screen or a device bitmap).
    const int width = frame.width();
    const int height = frame.height();
    UniqueMemoryDc memory(CreateCompatibleDC(dc));
    BITMAPINFO info {};
    info.bmiHeader = { sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0 };
    void* bits = nullptr;
    UniqueBitmap bitmap(memory ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr);
    if (!bitmap) {
        drawIntervalFrame(dc, frame, fill, border, dpi);
        return;
    }
    SelectGuard selected(memory.get(), bitmap.get());
    fillRect(memory.get(), { 0, 0, width, height }, colors.band);
    drawIntervalFrame(memory.get(), { 0, 0, width, height }, fill, border, dpi);
    BitBlt(dc, frame.left, frame.top, width, height, memory.get(), 0, 0, SRCCOPY);
}

void MainWindow::paintStatistics(HDC dc, const Palette::Window& colors)
{
    if (!content_ || content_->statistics.empty())
        return;
    const std::wstring line = wide(statisticsText());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colors.text.colorRef());
    const SelectGuard font(dc, themeFont(ThemeFont::interface));
    RECT r = toRECT(content_->statistics);
    DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &r,
        DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

std::string MainWindow::statisticsText() const
{
    return chartView_ ? chartView_->statisticsText(language_) : std::string();
}

void MainWindow::invalidateStatistics()
{
    if (!content_)
        return;
    const RECT r = toRECT(content_->statistics);
    InvalidateRect(hwnd_, &r, TRUE);
}

void MainWindow::setLimits(std::vector<LimitsFor> limits)
{
    chartView_->setLimits(limits);
    if (limits.empty()) {
        recordTable_->setValueMarker(nullptr);
        return;
    }
    recordTable_->setValueMarker([limits = std::move(limits)](const Reading& reading) {
        const std::optional<double> value = reading.value();
        if (!value)
            return false;
        for (const LimitsFor& l : limits) {
            if (l.function == reading.function().code() && l.unit == reading.unit())
                return l.limits.outside(*value);
        }
        return false;
    });
}

void MainWindow::setAlarm(std::optional<std::string> status)
{
    alarm_ = std::move(status);
    lcdPanel_->setAlarm(alarm_);
    refreshStatus();
}

std::vector<std::uint8_t> MainWindow::chartPicture()
{
    const auto image = chartView_->picture();
    if (!image)
        return {};
    return encodePng(image->width, image->height, image->pixels);
}

bool MainWindow::intervalHasFocus() const noexcept
{
    return intervalEdit_ != nullptr && GetFocus() == intervalEdit_;
}

// ---- setters ----

void MainWindow::setTitle(std::optional<std::string> fileName, bool unsaved)
{
    fileName_ = std::move(fileName);
    unsaved_ = unsaved;
    SetWindowTextW(hwnd_, wide(L10n::windowTitle(fileName_, unsaved_)).c_str());
}

void MainWindow::setConnection(ConnectionStatus status)
{
    // Nothing is measured while the meter is away: the trace breaks.
    if (status.kind != ConnectionStatus::Kind::connected)
        chartView_->breakTrace();
    connection_ = std::move(status);
    refreshStatus();
}

void MainWindow::setChannelText(std::string channel)
{
    channelText_ = std::move(channel);
    refreshStatus();
}

void MainWindow::setRecording(bool recording)
{
    if (recording == isRecording_)
        return;
    isRecording_ = recording;
    applyEnablingRules();
    if (recording) {
        recordTable_->followLatest();
        chartView_->breakTrace(); // a new recording is a new trace
    }
    refreshStatus();
}

void MainWindow::appendRecord(const Reading& reading, std::int64_t totalCount)
{
    recordCount_ = totalCount;
    recordTable_->setItemCountAppending(static_cast<std::size_t>(std::max<std::int64_t>(totalCount, 0)));
    chartView_->append(reading);
    invalidateStatistics();
    RECT part {};
    if (SendMessageW(statusBar_, SB_GETRECT, statusRecordingPart, reinterpret_cast<LPARAM>(&part)))
        InvalidateRect(statusBar_, &part, TRUE);
}

void MainWindow::reloadRecords(std::int64_t count)
{
    recordCount_ = count;
    const auto rows = static_cast<std::size_t>(std::max<std::int64_t>(count, 0));
    recordTable_->setItemCountResetting(rows);
    chartView_->rebuild(rowProvider_, rows);
    invalidateStatistics();
    refreshStatus();
}

void MainWindow::resetRecords()
{
    recordCount_ = 0;
    recordTable_->setItemCountResetting(0);
    chartView_->clear();
    invalidateStatistics();
    refreshStatus();
}

void MainWindow::setRowProvider(RowProvider provider)
{
    rowProvider_ = provider;
    recordTable_->setRowProvider(std::move(provider));
}

void MainWindow::setInterval(int interval)
{
    committedInterval_ = clampInterval(interval);
    SetWindowTextW(intervalEdit_, std::to_wstring(committedInterval_).c_str());
}

int MainWindow::currentInterval() const
{
    wchar_t buffer[16] {};
    GetWindowTextW(intervalEdit_, buffer, 16);
    return ui::currentInterval(text::wideToUtf8(buffer), committedInterval_);
}

void MainWindow::commitIntervalField()
{
    wchar_t buffer[16] {};
    GetWindowTextW(intervalEdit_, buffer, 16);
    const auto commit = commitInterval(text::wideToUtf8(buffer), committedInterval_);
    if (commit.fieldNeedsText)
        SetWindowTextW(intervalEdit_, std::to_wstring(commit.interval).c_str());
    if (commit.changed) {
        committedInterval_ = commit.interval;
        if (onIntervalChanged)
            onIntervalChanged(commit.interval);
    }
}

void MainWindow::setChartVisible(bool visible)
{
    isChartVisible_ = visible;
    CheckMenuItem(menuBar_, commandNumber(CommandId::chart), MF_BYCOMMAND | (visible ? MF_CHECKED : MF_UNCHECKED));
    layout();
}

void MainWindow::setAlwaysOnTop(bool topmost)
{
    isAlwaysOnTop_ = topmost;
    SetWindowPos(hwnd_, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    CheckMenuItem(
        menuBar_, commandNumber(CommandId::alwaysOnTop), MF_BYCOMMAND | (topmost ? MF_CHECKED : MF_UNCHECKED));
}

void MainWindow::setUpdateNotice(std::optional<UpdateNotice> notice)
{
    updateNotice_ = std::move(notice);
    // A notice that can be clicked is a Tab stop, answered by Enter or Space.
    const bool stop = updateNotice_ && updateNotice_->clickable;
    const LONG_PTR style = GetWindowLongPtrW(statusBar_, GWL_STYLE);
    SetWindowLongPtrW(statusBar_, GWL_STYLE, stop ? (style | WS_TABSTOP) : (style & ~LONG_PTR { WS_TABSTOP }));
    if (!stop && GetFocus() == statusBar_)
        SetFocus(recordTable_->hwnd());
    updateStatusParts();
}

void MainWindow::setLanguage(AppLanguage language)
{
    if (language == language_)
        return;
    language_ = language;
    relabel();
}

void MainWindow::relabel()
{
    buildMenus();
    SetWindowTextW(intervalLabel_, wide(text(L10nKey::labelRecordInterval)).c_str());
    SetWindowTextW(secondsLabel_, wide(text(L10nKey::labelSeconds)).c_str());
    newFileCard_->setLabel(text(L10nKey::buttonNewFile));
    openCard_->setLabel(text(L10nKey::buttonOpen));
    saveCard_->setLabel(text(L10nKey::buttonSave));
    startCard_->setLabel(text(L10nKey::buttonStart));
    stopCard_->setLabel(text(L10nKey::buttonStop));
    updateTooltips();
    SetWindowTextW(hwnd_, wide(L10n::windowTitle(fileName_, unsaved_)).c_str());
    recordTable_->relabel(language_);
    chartView_->setLanguage(language_);
    lcdPanel_->setLanguage(language_);
    InvalidateRect(chartView_->hwnd(), nullptr, FALSE);
    invalidateStatistics();
    refreshStatus();
    layout();
}

void MainWindow::bringToFront()
{
    if (IsIconic(hwnd_))
        ShowWindow(hwnd_, SW_RESTORE);
    SetForegroundWindow(hwnd_);
}

void MainWindow::startTimer(UINT_PTR id, UINT milliseconds)
{
    SetTimer(hwnd_, id, milliseconds, nullptr);
}

void MainWindow::stopTimer(UINT_PTR id)
{
    KillTimer(hwnd_, id);
}

std::optional<WindowPlacement> MainWindow::capturePlacement() const
{
    if (hwnd_ == nullptr)
        return std::nullopt;
    WINDOWPLACEMENT wp {};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(hwnd_, &wp))
        return std::nullopt;
    const RECT& r = wp.rcNormalPosition;
    return WindowPlacement { r.left, r.top, r.right - r.left, r.bottom - r.top, wp.showCmd == SW_SHOWMAXIMIZED };
}

void MainWindow::restorePlacement(const WindowPlacement& p)
{
    if (hwnd_ == nullptr || p.width <= 0 || p.height <= 0)
        return;
    const long long right = static_cast<long long>(p.x) + p.width;
    const long long bottom = static_cast<long long>(p.y) + p.height;
    if (right > INT_MAX || bottom > INT_MAX)
        return; // cannot be a rectangle on any screen
    RECT rect { p.x, p.y, static_cast<LONG>(right), static_cast<LONG>(bottom) };
    if (MonitorFromRect(&rect, MONITOR_DEFAULTTONULL) == nullptr) {
        log::write(log::Module::app,
            "視窗位置 (x=" + std::to_string(p.x) + ", y=" + std::to_string(p.y) + ", width=" + std::to_string(p.width)
                + ", height=" + std::to_string(p.height) + ", isMaximized=" + (p.isMaximized ? "true" : "false")
                + ") 不在任何螢幕範圍內，改用預設版面");
        return;
    }
    // A placement saved on a larger screen, or at another scale, is made to
    // fit the work area of the monitor it is on.
    const POINT offset = workspaceOffset();
    RECT onScreen = rect;
    OffsetRect(&onScreen, offset.x, offset.y);
    const Rect fitted = fitIntoWorkArea(fromRECT(onScreen), workAreaNear(onScreen));
    rect = toRECT(fitted);
    OffsetRect(&rect, -offset.x, -offset.y);
    WINDOWPLACEMENT wp {};
    wp.length = sizeof wp;
    GetWindowPlacement(hwnd_, &wp);
    wp.rcNormalPosition = rect;
    wp.showCmd = p.isMaximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    SetWindowPlacement(hwnd_, &wp);
}

// ---- message boxes and dialogs ----

int MainWindow::messageBox(std::string_view body, std::optional<std::string_view> title, UINT flags)
{
    tooltips_->dismiss();
    const auto caption = wide(title ? *title : L10n::text(L10nKey::appName, language_));
    return MessageBoxW(hwnd_, wide(body).c_str(), caption.c_str(), flags);
}

void MainWindow::showInformation(std::string_view body, std::optional<std::string_view> title)
{
    messageBox(body, title, MB_OK | MB_ICONINFORMATION);
}

void MainWindow::showWarning(std::string_view body, std::optional<std::string_view> title)
{
    messageBox(body, title, MB_OK | MB_ICONWARNING);
}

void MainWindow::showError(std::string_view body, std::optional<std::string_view> title)
{
    messageBox(body, title, MB_OK | MB_ICONERROR);
}

bool MainWindow::confirm(std::string_view body, std::optional<std::string_view> title)
{
    return messageBox(body, title, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

std::optional<bool> MainWindow::askYesNo(std::string_view body, std::optional<std::string_view> title)
{
    switch (messageBox(body, title, MB_YESNO | MB_ICONQUESTION)) {
    case IDYES:
        return true;
    case IDNO:
        return false;
    default:
        return std::nullopt;
    }
}

SaveChoice MainWindow::askUnsaved(std::string_view body, std::optional<std::string_view> title)
{
    switch (messageBox(body, title, MB_YESNOCANCEL | MB_ICONWARNING)) {
    case IDYES:
        return SaveChoice::save;
    case IDNO:
        return SaveChoice::dontSave;
    default:
        return SaveChoice::cancel;
    }
}

bool MainWindow::askUpdate(const UpdatePromptInfo& info)
{
    tooltips_->dismiss();
    return askUpdatePrompt(hwnd_, info, language_);
}

void MainWindow::dismissTooltips()
{
    tooltips_->dismiss();
}

std::optional<std::wstring> MainWindow::askOpenPath(const std::optional<std::wstring>& initialDirectory)
{
    tooltips_->dismiss();
    return win32::askOpenPath(hwnd_, initialDirectory, language_);
}

std::optional<std::wstring> MainWindow::askSavePath(std::optional<std::string_view> proposedName,
    const std::optional<std::wstring>& initialDirectory, FileDialogType type)
{
    tooltips_->dismiss();
    return win32::askSavePath(hwnd_, proposedName, initialDirectory, type, language_);
}

// ---- commands ----

void MainWindow::copySelectedRows()
{
    if (intervalHasFocus()) {
        SendMessageW(intervalEdit_, WM_COPY, 0, 0);
        return;
    }
    const auto rows = recordTable_->selectedRows();
    if (rows.empty())
        return;
    if (!setClipboardText(hwnd_, recordTable_->clipboardText(rows))) {
        log::write(log::Module::ui, "剪貼簿無法寫入：" + zelmar::win32::lastErrorText());
        return;
    }
    if (onCopyRows)
        onCopyRows(rows);
}

void MainWindow::selectAll()
{
    if (intervalHasFocus()) {
        SendMessageW(intervalEdit_, EM_SETSEL, 0, -1);
        return;
    }
    recordTable_->selectAll();
    if (onSelectAll)
        onSelectAll();
}

void MainWindow::onCardClicked(CommandId id)
{
    if (id == CommandId::startCard || intervalHasFocus())
        commitIntervalField();
    if (isRecording_ && isBlockedWhileRecording(id))
        return;
    // F5 and Shift+F5 reach here too: Start only when stopped, Stop only
    // while recording, as the cards are enabled.
    if ((id == CommandId::startCard && isRecording_) || (id == CommandId::stopCard && !isRecording_))
        return;
    const std::function<void()>* callback = nullptr;
    switch (id) {
    case CommandId::newFileCard:
        callback = &onNewFile;
        break;
    case CommandId::openCard:
        callback = &onOpen;
        break;
    case CommandId::saveCard:
        callback = &onSave;
        break;
    case CommandId::startCard:
        callback = &onStart;
        break;
    case CommandId::stopCard:
        callback = &onStop;
        break;
    default:
        return;
    }
    if (*callback)
        (*callback)();
}

void MainWindow::runCommand(CommandId id)
{
    if (isRecording_ && isBlockedWhileRecording(id))
        return;
    auto call = [](const std::function<void()>& callback) {
        if (callback)
            callback();
    };
    switch (id) {
    case CommandId::newFile:
        return call(onNewFile);
    case CommandId::open:
        return call(onOpen);
    case CommandId::save:
        return call(onSave);
    case CommandId::saveAs:
        return call(onSaveAs);
    case CommandId::exportCsv:
        return call(onExportCSV);
    case CommandId::exportChartImage:
        return call(onExportChartImage);
    case CommandId::limits:
        return call(onLimits);
    case CommandId::deleteRows: {
        const auto rows = recordTable_->selectedRows();
        if (!rows.empty() && onDeleteRows)
            onDeleteRows(rows);
        return;
    }
    case CommandId::clearAll:
        return call(onClearAll);
    case CommandId::copyRows:
        return copySelectedRows();
    case CommandId::selectAll:
        return selectAll();
    case CommandId::chart:
        setChartVisible(!isChartVisible_);
        if (onToggleChart)
            onToggleChart(isChartVisible_);
        return;
    case CommandId::alwaysOnTop:
        setAlwaysOnTop(!isAlwaysOnTop_);
        if (onToggleAlwaysOnTop)
            onToggleAlwaysOnTop(isAlwaysOnTop_);
        return;
    case CommandId::languageZhTW:
    case CommandId::languageEnUS: {
        const auto chosen = id == CommandId::languageZhTW ? AppLanguage::zhTW : AppLanguage::enUS;
        if (chosen == language_)
            return;
        setLanguage(chosen);
        if (onLanguageChanged)
            onLanguageChanged(chosen);
        return;
    }
    case CommandId::exit:
        if (onCloseRequested)
            onCloseRequested();
        else
            destroy();
        return;
    case CommandId::usageHelp:
        if (onHelp)
            return onHelp();
        tooltips_->dismiss();
        if (!HelpLauncher::open(hwnd_, language_))
            showInformation(text(L10nKey::helpBodyText), text(L10nKey::dialogHelpTitle));
        return;
    case CommandId::checkForUpdates:
        // The same manual check the About window's link starts.
        if (onCheckForUpdates)
            onCheckForUpdates();
        return;
    case CommandId::about:
        if (onAbout)
            return onAbout();
        tooltips_->dismiss();
        AboutWindow::show(hwnd_, language_, appVersion_,
            onCheckForUpdates ? std::function<void()>([this] {
                if (onCheckForUpdates)
                    onCheckForUpdates();
            })
                              : std::function<void()>());
        return;
    case CommandId::license:
        if (onShowLicense)
            return onShowLicense();
        tooltips_->dismiss();
        // A licence that exists but does not open is only logged; the box
        // says the licence is missing, so it is for a missing file alone.
        if (!LicenseLauncher::licensePath(language_)) {
            (void)LicenseLauncher::open(hwnd_, language_); // logs the missing file
            showInformation(text(L10nKey::dialogLicenseMissingBody));
        } else {
            (void)LicenseLauncher::open(hwnd_, language_);
        }
        return;
    case CommandId::newFileCard:
    case CommandId::openCard:
    case CommandId::saveCard:
    case CommandId::startCard:
    case CommandId::stopCard:
        return onCardClicked(id);
    default:
        return;
    }
}

void MainWindow::destroy()
{
    dispatcher_.clearTargetAndDiscard();
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

bool MainWindow::preTranslate(MSG& msg)
{
    const bool keyboard = msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST;
    const bool mouse = msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST;
    // Checked first: IsChild is a server call under Wine, paid per message.
    if (hwnd_ == nullptr || !(keyboard || mouse) || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)))
        return false;
    tooltips_->relay(msg);
    if (msg.message == WM_KEYDOWN) {
        const bool ctrlOrAlt = (GetKeyState(VK_CONTROL) & 0x8000) != 0 || (GetKeyState(VK_MENU) & 0x8000) != 0;
        if (msg.wParam == VK_TAB && !ctrlOrAlt) {
            HWND focused = GetFocus();
            const bool wantsTab = focused != nullptr
                && (SendMessageW(focused, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg)) & DLGC_WANTTAB)
                    != 0;
            if (!wantsTab) {
                const bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
                HWND next = nullptr;
                if (focused != nullptr && IsChild(hwnd_, focused)) {
                    next = GetNextDlgTabItem(hwnd_, focused, back ? TRUE : FALSE);
                } else {
                    // The window itself has the focus (as after start-up):
                    // Tab goes to the first stop, Shift+Tab to the last.
                    HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
                    next = back && first != nullptr ? GetNextDlgTabItem(hwnd_, first, TRUE) : first;
                }
                if (next != nullptr) {
                    SetFocus(next);
                    if (next == intervalEdit_)
                        SendMessageW(next, EM_SETSEL, 0, -1);
                }
                SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
                return true;
            }
        }
        if (msg.hwnd == statusBar_ && (msg.wParam == VK_RETURN || msg.wParam == VK_SPACE)) {
            if (updateNotice_ && updateNotice_->clickable && onUpdateNoticeClicked)
                onUpdateNoticeClicked();
            return true;
        }
        if (msg.hwnd == intervalEdit_ && msg.wParam == VK_RETURN) {
            commitIntervalField();
            SendMessageW(intervalEdit_, EM_SETSEL, 0, -1);
            return true;
        }
        if (msg.hwnd == intervalEdit_ && msg.wParam == VK_DELETE)
            return false; // the field deletes; the accelerator would delete rows
    }
    return accelerators_ != nullptr && TranslateAcceleratorW(hwnd_, accelerators_, &msg) != 0;
}

int MainWindow::runMessageLoop()
{
    MSG msg {};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (preTranslate(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

// ---- messages ----

bool MainWindow::onNotify(const NMHDR& header, LRESULT& result)
{
    if (recordTable_ && recordTable_->onParentNotify(header, result))
        return true;
    if (header.hwndFrom == statusBar_ && header.code == NM_CLICK) {
        const auto& mouse = reinterpret_cast<const NMMOUSE&>(header);
        if (mouse.dwItemSpec == statusNoticePart && updateNotice_ && updateNotice_->clickable && onUpdateNoticeClicked)
            onUpdateNoticeClicked();
        result = TRUE;
        return true;
    }
    return false;
}

LRESULT MainWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        runCommand(CommandId::exit);
        return 0;
    case WM_DESTROY: {
        dispatcher_.clearTargetAndDiscard();
        for (WPARAM which : { ICON_BIG, ICON_SMALL }) {
            if (auto* icon = reinterpret_cast<HICON>(SendMessageW(hwnd_, WM_SETICON, which, 0)))
                DestroyIcon(icon);
        }
        if (quitOnDestroy_)
            PostQuitMessage(0);
        return 0;
    }
    case WM_SIZE:
        layout();
        return 0;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        onSystemColorsChanged();
        break;
    case WM_ERASEBKGND:
        paintBackground(reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_PRINTCLIENT:
        paintBackground(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item.hwndItem == statusBar_) {
            drawStatusPart(item);
            return TRUE;
        }
        break;
    }
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (onNotify(*reinterpret_cast<const NMHDR*>(lParam), result))
            return result;
        break;
    }
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == statusBar_ && cursorOverNotice()) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        const auto control = reinterpret_cast<HWND>(lParam);
        const Palette::Window colors = activePalette().window;
        if (control == intervalEdit_) {
            const bool disabled = !IsWindowEnabled(intervalEdit_);
            SetTextColor(dc, (disabled ? colors.mutedText : colors.text).colorRef());
            SetBkColor(dc, (disabled ? colors.frameFillRecording : colors.band).colorRef());
            return reinterpret_cast<LRESULT>(disabled ? disabledFieldBrush_ : bandBrush_);
        }
        if (control == intervalLabel_ || control == secondsLabel_) {
            SetTextColor(dc, (isRecording_ ? colors.mutedText : colors.text).colorRef());
            SetBkColor(dc, colors.band.colorRef());
            return reinterpret_cast<LRESULT>(bandBrush_);
        }
        break;
    }
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (reinterpret_cast<HWND>(lParam) == intervalEdit_) {
            if (code == EN_KILLFOCUS)
                commitIntervalField();
            if (code == EN_KILLFOCUS || code == EN_SETFOCUS) {
                RECT frame { toolbar_.intervalFrame.left, toolbar_.intervalFrame.top, toolbar_.intervalFrame.right,
                    toolbar_.intervalFrame.bottom };
                InvalidateRect(hwnd_, &frame, TRUE);
            }
            return 0;
        }
        if (lParam == 0 || code == BN_CLICKED)
            runCommand(static_cast<CommandId>(id));
        return 0;
    }
    case WM_LBUTTONDOWN: {
        const Point p { static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) };
        if (toolbar_.intervalFrame.contains(p) && IsWindowEnabled(intervalEdit_)) {
            SetFocus(intervalEdit_);
            SendMessageW(intervalEdit_, EM_SETSEL, 0, -1);
            return 0;
        }
        break;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focused = GetFocus();
            savedFocus_ = focused != nullptr && IsChild(hwnd_, focused) ? focused : nullptr;
        } else if (savedFocus_ != nullptr && IsWindow(savedFocus_) && IsChild(hwnd_, savedFocus_)
            && IsWindowEnabled(savedFocus_)) {
            SetFocus(savedFocus_);
            return 0;
        }
        break;
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
            suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        // The shell's icons at the monitor's DPI; the interface keeps the
        // process's UI DPI.
        (void)applyAppIcon(hwnd_, HIWORD(wParam) != 0 ? HIWORD(wParam) : uiDpi());
        rebuildNoticeFont();
        recordTable_->applyFonts();
        layout();
        return 0;
    }
    case WM_GETMINMAXINFO: {
        const int dpi = uiDpi();
        const SIZE least = windowSizeForClient(scale(960, dpi), scale(720, dpi));
        // Never more than the work area: at 150 % on a 1920 × 1080 screen
        // the usual minimum would be taller than the screen.
        RECT window {};
        GetWindowRect(hwnd_, &window);
        const Rect work = workAreaNear(window);
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = { std::min<LONG>(least.cx, work.width()), std::min<LONG>(least.cy, work.height()) };
        return 0;
    }
    case WM_TIMER:
        if (onExternalTimer)
            onExternalTimer(wParam);
        return 0;
    case WM_COPYDATA: {
        // Whatever arrives is handed on, so that a message that is no open
        // request is logged as such; the sender's buffer stays valid until
        // this returns, and an oversized one is refused by its size alone.
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!onCopyData)
            return 0;
        if (data == nullptr)
            return onCopyData(0, {}) ? 1 : 0;
        const auto* begin = static_cast<const std::uint8_t*>(data->lpData);
        const std::size_t size = begin == nullptr ? 0 : data->cbData;
        return onCopyData(data->dwData, std::span<const std::uint8_t>(begin, size)) ? 1 : 0;
    }
    case dispatcherMessage:
        dispatcher_.runQueued();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

} // namespace zelmar::ui::win32
