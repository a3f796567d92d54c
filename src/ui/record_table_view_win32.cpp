#include "ui/record_table_view_win32.h"

#include "core/text_encoding.h"
#include "core/win32_error.h"
#include "ui/gdi_objects_win32.h"
#include "ui/main_window_model.h"
#include "ui/theme_win32.h"

#include <algorithm>
#include <cstring>

namespace zelmar::ui::win32 {

namespace {

int listAlignment(int column)
{
    switch (columnAlign(column)) {
    case ColumnAlign::right:
        return LVCFMT_RIGHT;
    case ColumnAlign::centre:
        return LVCFMT_CENTER;
    default:
        return LVCFMT_LEFT;
    }
}

UINT drawTextAlignment(int column)
{
    switch (columnAlign(column)) {
    case ColumnAlign::right:
        return DT_RIGHT;
    case ColumnAlign::centre:
        return DT_CENTER;
    default:
        return DT_LEFT;
    }
}

} // namespace

std::expected<std::unique_ptr<RecordTableView>, std::string> RecordTableView::create(
    HWND parent, HINSTANCE instance, int controlId, AppLanguage language)
{
    std::unique_ptr<RecordTableView> self(new RecordTableView);
    self->language_ = language;
    self->hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 0, 0,
        100, 100, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance, nullptr);
    if (self->hwnd_ == nullptr)
        return std::unexpected("record table window: " + zelmar::win32::lastErrorText());
    const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER;
    ListView_SetExtendedListViewStyleEx(self->hwnd_, extended, extended);

    for (int column = 0; column < recordTableColumns; ++column) {
        self->headerTitles_[static_cast<std::size_t>(column)] = text::utf8ToWide(columnTitle(column, language));
        LVCOLUMNW c {};
        c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        c.fmt = listAlignment(column);
        c.cx = column == 0 ? 0 : 100;
        c.pszText = self->headerTitles_[static_cast<std::size_t>(column)].data();
        c.iSubItem = column;
        if (ListView_InsertColumn(self->hwnd_, column, &c) != column)
            return std::unexpected("record table column: " + zelmar::win32::lastErrorText());
    }
    self->headerHwnd_ = ListView_GetHeader(self->hwnd_);
    self->applyFonts();
    // A plain window-procedure subclass: comctl32's SetWindowSubclass looks a
    // window property up on every message, a server call under Wine, and the
    // list sees several messages per painted cell.
    SetWindowLongPtrW(self->hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self.get()));
    self->listProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(self->hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordTableView::listProc)));
    if (self->listProc_ == nullptr)
        return std::unexpected("record table subclass: " + zelmar::win32::lastErrorText());
    return self;
}

RecordTableView::~RecordTableView()
{
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

void RecordTableView::setItemCountAppending(std::size_t count)
{
    const auto perPage = static_cast<std::size_t>(std::max(0, ListView_GetCountPerPage(hwnd_)));
    const bool firstOverflow = itemCount_ <= perPage && count > perPage;
    itemCount_ = count;
    ListView_SetItemCountEx(hwnd_, static_cast<int>(count), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    if (firstOverflow)
        layoutColumns(); // the vertical bar appears: make room, or a horizontal one follows
    if (count != 0 && followingLatest_)
        ListView_EnsureVisible(hwnd_, static_cast<int>(count - 1), FALSE);
}

void RecordTableView::setItemCountResetting(std::size_t count)
{
    itemCount_ = count;
    ListView_SetItemCountEx(hwnd_, static_cast<int>(count), 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
    layoutColumns();
}

void RecordTableView::followLatest()
{
    followingLatest_ = true;
    if (itemCount_ != 0)
        ListView_EnsureVisible(hwnd_, static_cast<int>(itemCount_ - 1), FALSE);
}

std::vector<std::size_t> RecordTableView::selectedRows() const
{
    std::vector<std::size_t> rows;
    int row = -1;
    while ((row = ListView_GetNextItem(hwnd_, row, LVNI_SELECTED)) != -1)
        rows.push_back(static_cast<std::size_t>(row)); // the list walks its rows in order
    return rows;
}

void RecordTableView::selectAll()
{
    // Item -1 addresses every row of a virtual list at once.
    ListView_SetItemState(hwnd_, -1, LVIS_SELECTED, LVIS_SELECTED);
}

std::string RecordTableView::clipboardText(std::span<const std::size_t> rows) const
{
    return ui::clipboardText(rows, rowProvider_, language_);
}

void RecordTableView::relabel(AppLanguage language)
{
    language_ = language;
    for (int column = 1; column < recordTableColumns; ++column) {
        auto& title = headerTitles_[static_cast<std::size_t>(column)];
        title = text::utf8ToWide(columnTitle(column, language));
        LVCOLUMNW c {};
        c.mask = LVCF_TEXT;
        c.pszText = title.data();
        ListView_SetColumn(hwnd_, column, &c);
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
    InvalidateRect(headerHwnd_, nullptr, TRUE);
}

void RecordTableView::applyFonts()
{
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(themeFont(ThemeFont::interface)), TRUE);
    if (headerHwnd_ != nullptr)
        SendMessageW(headerHwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(themeFont(ThemeFont::interfaceBold)), TRUE);
}

void RecordTableView::layoutColumns()
{
    RECT client {};
    GetClientRect(hwnd_, &client);
    const int scrollBar = GetSystemMetrics(SM_CXVSCROLL);
    const bool barShown = (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VSCROLL) != 0;
    // The client excludes a scroll bar that shows now; the split wants the
    // width with the bar only when the rows overflow one page.
    const int fullWidth = client.right + (barShown ? scrollBar : 0);
    const auto perPage = static_cast<std::size_t>(std::max(0, ListView_GetCountPerPage(hwnd_)));
    const auto widths = tableColumnWidths(fullWidth, scrollBar, itemCount_ > perPage, uiDpi());
    for (int column = 0; column < recordTableColumns; ++column)
        ListView_SetColumnWidth(hwnd_, column, widths[static_cast<std::size_t>(column)]);
}

bool RecordTableView::onParentNotify(const NMHDR& header, LRESULT& result)
{
    if (header.hwndFrom != hwnd_)
        return false;
    switch (header.code) {
    case LVN_GETDISPINFOW:
        answerCellText(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header)));
        result = 0;
        return true;
    case LVN_ODCACHEHINT:
        result = 0;
        return true;
    case LVN_ODFINDITEMW:
        result = -1; // no type-ahead search: 0 would mean "row 0 matches"
        return true;
    case NM_CUSTOMDRAW:
        if (!valueMarker_)
            return false;
        result = drawCell(*reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&header)));
        return true;
    default:
        return false;
    }
}

void RecordTableView::setValueMarker(std::function<bool(const Reading&)> marker)
{
    valueMarker_ = std::move(marker);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

LRESULT RecordTableView::drawCell(NMLVCUSTOMDRAW& draw)
{
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        std::optional<Reading> reading;
        if (draw.iSubItem == valueColumn && rowProvider_)
            reading = rowProvider_(static_cast<std::size_t>(draw.nmcd.dwItemSpec));
        if (reading && valueMarker_(*reading)) {
            const Palette::Window colors = activePalette().window;
            draw.clrText = colors.alarmText.colorRef();
            draw.clrTextBk = colors.alarm.colorRef();
        } else {
            draw.clrText = CLR_DEFAULT;
            draw.clrTextBk = CLR_DEFAULT;
        }
        return CDRF_NEWFONT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

void RecordTableView::answerCellText(NMLVDISPINFOW& info)
{
    if ((info.item.mask & LVIF_TEXT) == 0)
        return;
    const int column = info.item.iSubItem;
    std::optional<Reading> reading;
    if (column > 0 && rowProvider_ && info.item.iItem >= 0)
        reading = rowProvider_(static_cast<std::size_t>(info.item.iItem));
    const auto cell = cutToUnits(text::utf8ToUtf16(cellText(reading, column, language_)), textBuffer_.size() - 1);
    std::memcpy(textBuffer_.data(), cell.data(), cell.size() * sizeof(char16_t));
    textBuffer_[cell.size()] = L'\0';
    info.item.pszText = textBuffer_.data();
}

void RecordTableView::updateFollowing()
{
    const auto top = static_cast<std::size_t>(std::max(0, ListView_GetTopIndex(hwnd_)));
    const auto perPage = static_cast<std::size_t>(std::max(0, ListView_GetCountPerPage(hwnd_)));
    followingLatest_ = followsLatest(itemCount_, top, perPage);
}

LRESULT RecordTableView::drawHeader(NMCUSTOMDRAW& draw)
{
    const Palette::Table colors = activePalette().table;
    switch (draw.dwDrawStage) {
    case CDDS_PREPAINT: {
        // The band right of the last column in the header colour too.
        RECT client {};
        GetClientRect(headerHwnd_, &client);
        fillRect(draw.hdc, fromRECT(client), colors.headerFill);
        return CDRF_NOTIFYITEMDRAW;
    }
    case CDDS_ITEMPREPAINT: {
        const int column = static_cast<int>(draw.dwItemSpec);
        const Rect item = fromRECT(draw.rc);
        fillRect(draw.hdc, item, colors.headerFill);
        const int line = scaleAtLeastOne(1, uiDpi());
        fillRect(draw.hdc, { item.right - line, item.top, item.right, item.bottom }, colors.headerLine);
        if (column > 0 && column < recordTableColumns) {
            const int padding = scale(6, uiDpi());
            RECT textRect { item.left + padding, item.top, item.right - padding, item.bottom };
            SetBkMode(draw.hdc, TRANSPARENT);
            SetTextColor(draw.hdc, colors.headerText.colorRef());
            const SelectGuard font(draw.hdc, themeFont(ThemeFont::interfaceBold));
            const auto& title = headerTitles_[static_cast<std::size_t>(column)];
            DrawTextW(draw.hdc, title.c_str(), static_cast<int>(title.size()), &textRect,
                drawTextAlignment(column) | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        }
        return CDRF_SKIPDEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

LRESULT CALLBACK RecordTableView::listProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<RecordTableView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    const WNDPROC original = self->listProc_;
    if (message == WM_NOTIFY) {
        auto& header = *reinterpret_cast<NMHDR*>(lParam);
        if (header.hwndFrom == self->headerHwnd_ && header.code == NM_CUSTOMDRAW)
            return self->drawHeader(*reinterpret_cast<NMCUSTOMDRAW*>(lParam));
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->headerHwnd_ = nullptr;
        return CallWindowProcW(original, hwnd, message, wParam, lParam);
    }
    const LRESULT result = CallWindowProcW(original, hwnd, message, wParam, lParam);
    switch (message) {
    case WM_KEYDOWN:
    case WM_VSCROLL:
    case WM_MOUSEWHEEL:
    case WM_LBUTTONDOWN:
        self->updateFollowing();
        break;
    default:
        break;
    }
    return result;
}

bool setClipboardText(HWND owner, std::string_view utf8)
{
    const auto wide = text::utf8ToWide(utf8);
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr)
        return false;
    void* p = GlobalLock(memory);
    if (p == nullptr) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(p, wide.c_str(), bytes);
    GlobalUnlock(memory);
    // Another program may hold the clipboard for a moment.
    bool opened = false;
    for (int attempt = 0; attempt < 5 && !opened; ++attempt) {
        opened = OpenClipboard(owner) != FALSE;
        if (!opened)
            Sleep(20);
    }
    if (!opened) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!placed)
        GlobalFree(memory); // the clipboard took no ownership
    return placed;
}

std::optional<std::string> clipboardUnicodeText(HWND owner)
{
    if (!OpenClipboard(owner))
        return std::nullopt;
    std::optional<std::string> result;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
            result = text::wideToUtf8(p);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return result;
}

} // namespace zelmar::ui::win32
