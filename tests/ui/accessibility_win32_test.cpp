// The main window for people who do not use a mouse or the standard
// colours, under Wine and Xvfb: the Tab order by real key messages, what a
// screen reader learns through the accessibility API, the announcements it
// hears, and every custom part in the system's high-contrast colours.

#include "core/text_encoding.h"
#include "ui/accessible_win32.h"
#include "ui/chart_view_win32.h"
#include "ui/lcd_panel_win32.h"
#include "ui/main_window_win32.h"
#include "ui/record_table_view_win32.h"
#include "main_window_fixture_win32.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <oleacc.h>
#undef interface // objbase.h's, which the theme's font names use

#include <array>
#include <vector>

using namespace zelmar;
using namespace zelmar::ui;
using namespace zelmar::ui::win32;
using namespace zelmar::ui::win32::testing;

namespace {

// The client object a screen reader gets for a window, as it gets it.
class Accessible {
public:
    explicit Accessible(HWND hwnd)
    {
        AccessibleObjectFromWindow(
            hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), reinterpret_cast<void**>(&object_));
    }
    ~Accessible()
    {
        if (object_ != nullptr)
            object_->Release();
    }
    Accessible(const Accessible&) = delete;
    Accessible& operator=(const Accessible&) = delete;

    explicit operator bool() const noexcept { return object_ != nullptr; }
    std::string name() const { return text(&IAccessible::get_accName); }
    std::string value() const { return text(&IAccessible::get_accValue); }
    std::string description() const { return text(&IAccessible::get_accDescription); }
    long role() const { return number(&IAccessible::get_accRole); }
    long state() const { return number(&IAccessible::get_accState); }
    HRESULT press() const { return object_->accDoDefaultAction(self()); }

private:
    static VARIANT self()
    {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = CHILDID_SELF;
        return v;
    }
    std::string text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) const
    {
        BSTR out = nullptr;
        if (FAILED((object_->*get)(self(), &out)) || out == nullptr)
            return {};
        std::string result = text::wideToUtf8(std::wstring(out, SysStringLen(out)));
        SysFreeString(out);
        return result;
    }
    long number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*)) const
    {
        VARIANT out;
        VariantInit(&out);
        if (FAILED((object_->*get)(self(), &out)) || out.vt != VT_I4)
            return -1;
        return out.lVal;
    }

    IAccessible* object_ = nullptr;
};

void pressKey(MainWindow& window, Fixture& f, WPARAM key, bool shift = false)
{
    BYTE keys[256] {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    MSG msg { GetFocus() != nullptr ? GetFocus() : window.hwnd(), WM_KEYDOWN, key, 0, 0, {} };
    if (!window.preTranslate(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    f.pump();
}

// Events a screen reader would hear, caught as a reader catches them.
std::vector<std::pair<DWORD, HWND>>* heard = nullptr;

void CALLBACK onWinEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD)
{
    if (heard != nullptr && object == OBJID_CLIENT && child == CHILDID_SELF)
        heard->emplace_back(event, hwnd);
}

// The system colours of a dark high-contrast theme, set for the session
// and put back afterwards.
class DarkSystemColours {
public:
    static constexpr std::array<int, 8> indices { COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNTEXT,
        COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_GRAYTEXT, COLOR_HOTLIGHT };
    static constexpr std::array<COLORREF, 8> dark { RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0),
        RGB(255, 255, 255), RGB(26, 235, 255), RGB(0, 0, 0), RGB(63, 242, 63), RGB(255, 255, 0) };

    DarkSystemColours()
    {
        for (std::size_t i = 0; i < indices.size(); ++i)
            saved_[i] = GetSysColor(indices[i]);
        HIGHCONTRASTW on { sizeof on, HCF_HIGHCONTRASTON, nullptr };
        // Wine refuses to switch the setting; the program's stand-in for it
        // is then the variable.
        switchedSetting_ = SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof on, &on, 0) != FALSE;
        if (!switchedSetting_)
            SetEnvironmentVariableW(L"ZELMAR_TEST_HIGH_CONTRAST", L"1");
        SetSysColors(static_cast<int>(indices.size()), indices.data(), dark.data()); // sends WM_SYSCOLORCHANGE
    }
    ~DarkSystemColours()
    {
        if (switchedSetting_) {
            HIGHCONTRASTW off { sizeof off, 0, nullptr };
            SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof off, &off, 0);
        }
        SetEnvironmentVariableW(L"ZELMAR_TEST_HIGH_CONTRAST", nullptr);
        SetSysColors(static_cast<int>(indices.size()), indices.data(), saved_.data());
    }
    DarkSystemColours(const DarkSystemColours&) = delete;
    DarkSystemColours& operator=(const DarkSystemColours&) = delete;

private:
    std::array<COLORREF, 8> saved_ {};
    bool switchedSetting_ = false;
};

Rgb colour(COLORREF c)
{
    return Rgb::fromColorRef(c);
}

} // namespace

// Tab from the window reaches every part in the order they stand: the
// enabled cards, the interval field, the meter display, the chart, the
// table and a notice that can be clicked; Shift+Tab walks back; Enter on
// the notice is its click. The part with the focus shows it.
TEST(Keyboard, TabVisitsEveryPartInOrderAndShowsWhereItIs)
{
    Fixture f(AppLanguage::enUS, 20);
    auto& w = *f.window;
    int noticeClicks = 0;
    w.onUpdateNoticeClicked = [&] { ++noticeClicks; };
    w.setUpdateNotice(UpdateNotice { "Update 1.1.0 available", true });
    f.pump();
    const std::vector<HWND> order { w.cardWindow(ToolbarCard::newFile), w.cardWindow(ToolbarCard::open),
        w.cardWindow(ToolbarCard::save), w.cardWindow(ToolbarCard::start), w.intervalEdit(), w.lcdPanel().hwnd(),
        w.chartView().hwnd(), w.recordTable().hwnd(), w.statusBar() };
    SetFocus(w.hwnd());
    for (HWND expected : order) {
        pressKey(w, f, VK_TAB);
        EXPECT_EQ(GetFocus(), expected);
    }
    pressKey(w, f, VK_TAB);
    EXPECT_EQ(GetFocus(), order.front()); // round again
    pressKey(w, f, VK_TAB, true);
    EXPECT_EQ(GetFocus(), order.back());
    pressKey(w, f, VK_RETURN);
    pressKey(w, f, VK_SPACE);
    EXPECT_EQ(noticeClicks, 2);

    // The focused chart and display draw a dotted frame; without the
    // focus, none.
    const Palette& standard = standardPalette();
    for (HWND part : { w.chartView().hwnd(), w.lcdPanel().hwnd() }) {
        const Rgb focus = part == w.chartView().hwnd() ? standard.chart.focus : standard.lcd.focus;
        const Rect client = fromRECT([part] {
            RECT r {};
            GetClientRect(part, &r);
            return r;
        }());
        const int inset = scale(3, uiDpi());
        const Rect leftEdge { inset, client.height() / 4, inset + 1, client.height() * 3 / 4 };
        SetFocus(part);
        f.pump();
        EXPECT_GT(count(picture(part), leftEdge, focus), leftEdge.height() / 3) << "focused";
        SetFocus(w.recordTable().hwnd());
        f.pump();
        EXPECT_EQ(count(picture(part), leftEdge, focus), 0) << "not focused";
    }

    // A notice that cannot be clicked is no stop, and takes no focus along.
    SetFocus(w.statusBar());
    w.setUpdateNotice(UpdateNotice { "Checking for updates...", false });
    EXPECT_NE(GetFocus(), w.statusBar());
    SetFocus(w.recordTable().hwnd());
    pressKey(w, f, VK_TAB);
    EXPECT_EQ(GetFocus(), order.front());
}

// A screen reader learns what each custom window is and shows: the display
// as read-only text valued with the reading, the cards as push buttons
// named by their tips that a reader can press, the chart as a chart with a
// description of its samples.
TEST(Accessibility, ScreenReadersReadTheMeterTheCardsAndTheChart)
{
    const ComApartment apartment;
    Fixture f(AppLanguage::enUS);
    auto& w = *f.window;
    w.lcdPanel().show(Reading(1.7e9, 2, 0, "12.34", {}, 0));
    {
        const Accessible lcd(w.lcdPanel().hwnd());
        ASSERT_TRUE(lcd);
        EXPECT_EQ(lcd.name(), "Meter display");
        EXPECT_EQ(lcd.role(), ROLE_SYSTEM_TEXT);
        EXPECT_EQ(lcd.value(), "12.34 V DC AUTO");
        EXPECT_NE(lcd.state() & STATE_SYSTEM_READONLY, 0);
        w.setAlarm("Alarm: 12.34 V above the high limit 12 V");
        EXPECT_EQ(lcd.value(), "12.34 V DC AUTO, Alarm: 12.34 V above the high limit 12 V");
        w.setAlarm(std::nullopt);
        w.lcdPanel().showDisconnected();
        EXPECT_EQ(lcd.value(), L10n::text(L10nKey::statusDisconnected, AppLanguage::enUS)); // read anew
    }

    int starts = 0;
    w.onStart = [&] { ++starts; };
    {
        const Accessible start(w.cardWindow(ToolbarCard::start));
        ASSERT_TRUE(start);
        EXPECT_EQ(start.role(), ROLE_SYSTEM_PUSHBUTTON);
        EXPECT_EQ(start.name(), w.tooltipText(ToolbarCard::start));
        EXPECT_EQ(start.state() & STATE_SYSTEM_UNAVAILABLE, 0);
        EXPECT_EQ(start.press(), S_OK);
        EXPECT_EQ(starts, 1);
        const Accessible stop(w.cardWindow(ToolbarCard::stop));
        EXPECT_NE(stop.state() & STATE_SYSTEM_UNAVAILABLE, 0); // not recording
        EXPECT_EQ(stop.name(), w.tooltipText(ToolbarCard::stop));
        EXPECT_NE(stop.press(), S_OK);
        w.setRecording(true); // the tips say why a card waits: the names follow
        EXPECT_EQ(start.name(), w.tooltipText(ToolbarCard::start));
        EXPECT_NE(start.press(), S_OK);
        EXPECT_EQ(starts, 1);
        w.setRecording(false);
    }

    {
        const Accessible chart(w.chartView().hwnd());
        ASSERT_TRUE(chart);
        EXPECT_EQ(chart.name(), "Trend chart");
        EXPECT_EQ(chart.role(), ROLE_SYSTEM_CHART);
        EXPECT_EQ(chart.description(), "No samples recorded yet.  Statistics: no samples recorded yet.");
        for (int i = 0; i < 3; ++i)
            w.appendRecord(volts(1.7e9 + i, i == 2 ? "2.500" : "1.250"), i + 1);
        EXPECT_EQ(chart.description().substr(0, 10), "3 samples ");
        EXPECT_NE(chart.description().find("maximum 2.500 V"), std::string::npos) << chart.description();
        EXPECT_NE(chart.description().find("Statistics (whole recording)"), std::string::npos);
        w.setLanguage(AppLanguage::zhTW);
        EXPECT_EQ(chart.name(), "趨勢圖");
    }
}

// With the focus on the display a reader hears a changed reading, at most
// once a second; with the focus elsewhere, nothing.
TEST(Accessibility, AChangedReadingIsAnnouncedOnlyWithTheFocus)
{
    const ComApartment apartment;
    Fixture f(AppLanguage::enUS);
    auto& w = *f.window;
    std::vector<std::pair<DWORD, HWND>> events;
    heard = &events;
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr,
        &onWinEvent, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    const HWND lcd = w.lcdPanel().hwnd();
    const auto announcedForLcd = [&] {
        f.pump();
        return std::count_if(events.begin(), events.end(), [lcd](const auto& e) { return e.second == lcd; });
    };
    SetFocus(w.recordTable().hwnd());
    w.lcdPanel().show(volts(1.7e9, "1.000"));
    EXPECT_EQ(announcedForLcd(), 0);
    SetFocus(lcd);
    w.lcdPanel().show(volts(1.7e9, "1.001"));
    EXPECT_TRUE(pumpUntil([&] { return announcedForLcd() == 1; }));
    w.lcdPanel().show(volts(1.7e9, "1.002")); // within the second
    EXPECT_EQ(announcedForLcd(), 1);
    UnhookWinEvent(hook);
    heard = nullptr;
}

// Under high contrast every part the program draws itself takes the
// system's colours, and follows them when they change while it runs.
TEST(HighContrast, EveryCustomPartDrawsInTheSystemsPair)
{
    Fixture f(AppLanguage::enUS, 30);
    auto& w = *f.window;
    w.lcdPanel().show(Reading(1.7e9, 2, 0, "12.34", {}, 0));
    for (int i = 0; i < 30; ++i)
        w.chartView().append(volts(1.7e9 + i, i % 2 ? "1.000" : "2.000"));
    w.setUpdateNotice(UpdateNotice { "Update 1.1.0 available", true });
    f.pump();
    const Rgb standardLcd = standardPalette().lcd.background;
    EXPECT_GT(count(picture(w.lcdPanel().hwnd()), { 0, 0, 4000, 4000 }, standardLcd), 1000);
    {
        const DarkSystemColours dark;
        f.pump();
        const Rgb window = colour(DarkSystemColours::dark[0]);
        const Rgb text = colour(DarkSystemColours::dark[1]);
        const Rgb face = colour(DarkSystemColours::dark[2]);
        const Rgb buttonText = colour(DarkSystemColours::dark[3]);
        const Rgb highlight = colour(DarkSystemColours::dark[4]);
        const Rgb link = colour(DarkSystemColours::dark[7]);
        const auto everything = Rect { 0, 0, 4000, 4000 };
        const auto share = [&](HWND part, Rgb c) {
            const ClientImage image = picture(part);
            return static_cast<double>(count(image, everything, c)) / (image.width * image.height);
        };
        // The display: window text on window, nothing else (unlit segments
        // take the background).
        const ClientImage lcd = picture(w.lcdPanel().hwnd());
        EXPECT_EQ(count(lcd, everything, standardLcd), 0);
        EXPECT_GT(share(w.lcdPanel().hwnd(), window), 0.5);
        EXPECT_GT(count(lcd, everything, text), 200);
        // The chart: its background, axes and labels, the trace in highlight.
        EXPECT_GT(share(w.chartView().hwnd(), window), 0.5);
        EXPECT_GT(count(picture(w.chartView().hwnd()), everything, text), 100);
        EXPECT_GT(count(picture(w.chartView().hwnd()), everything, highlight), 20);
        // The cards: button text on button face.
        EXPECT_GT(count(picture(w.cardWindow(ToolbarCard::open)), everything, buttonText), 20);
        EXPECT_GT(share(w.cardWindow(ToolbarCard::open), face), 0.3);
        // The table header: button text on button face.
        const HWND header = ListView_GetHeader(w.recordTable().hwnd());
        EXPECT_GT(share(header, face), 0.5);
        EXPECT_GT(count(picture(header), everything, buttonText), 20);
        // The status bar's own parts: the record count in button text, the
        // notice in the link colour.
        const ClientImage status = picture(w.statusBar());
        RECT notice {};
        SendMessageW(w.statusBar(), SB_GETRECT, 3, reinterpret_cast<LPARAM>(&notice));
        EXPECT_GT(count(status, fromRECT(notice), link), 20);
        EXPECT_EQ(count(status, everything, standardPalette().window.statusText), 0);
        EXPECT_GT(share(w.statusBar(), face), 0.5); // the control's own parts too
        // The toolbar band and the interval frame.
        const ClientImage whole = picture(w.hwnd());
        const Rect& frame = w.toolbar().intervalFrame;
        EXPECT_EQ(count(whole, frame, standardPalette().window.frameBorder), 0);
        EXPECT_GT(count(whole, frame, window), frame.width() * frame.height() / 3);
    }
    f.pump();
    EXPECT_GT(count(picture(w.lcdPanel().hwnd()), { 0, 0, 4000, 4000 }, standardLcd), 1000); // back to the standard look
}
