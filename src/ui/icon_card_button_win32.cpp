#include "ui/icon_card_button_win32.h"

#include "core/text_encoding.h"
#include "core/win32_error.h"
#include "ui/button_icons_win32.h"
#include "ui/gdi_objects_win32.h"
#include "ui/gdiplus_canvas_win32.h"
#include "ui/theme_win32.h"
#include "ui/window_binding_win32.h"

#include <oleacc.h>

#include <windowsx.h>

#include <vector>

namespace zelmar::ui::win32 {

namespace {

constexpr wchar_t className[] = L"DMM5174KIconCardButtonClass";

void drawCardShape(HDC dc, const Rect& card, CardColors colors, int dpi)
{
    const int radius = cardCornerRadius(dpi);
    if (auto canvas = GdiPlusCanvas::create(dc)) {
        canvas->setPen(colors.border, 1.0f);
        // GDI+ centres pixels on whole coordinates: a 1-pixel line through the
        // outermost pixels' centres covers exactly them.
        if (canvas->hasPen()
            && canvas->roundedRect(card.left, card.top, card.right - 1, card.bottom - 1, radius, colors.fill, true))
            return;
    }
    const UniquePen pen(CreatePen(PS_SOLID, 1, colorRef(colors.border)));
    const UniqueBrush brush(CreateSolidBrush(colorRef(colors.fill)));
    SelectGuard selectedPen(dc, pen.get());
    SelectGuard selectedBrush(dc, brush.get());
    RoundRect(dc, card.left, card.top, card.right, card.bottom, 2 * radius, 2 * radius);
}

void drawFocusRing(HDC dc, const Rect& card, Rgb color, int dpi)
{
    const auto ring = focusRing(card, dpi);
    if (!ring)
        return;
    const Rect& r = ring->rect;
    if (auto canvas = GdiPlusCanvas::create(dc)) {
        canvas->setDottedPen(color, 1.0f);
        if (ring->radius > 0 && canvas->hasPen()
            && canvas->roundedRect(r.left, r.top, r.right - 1, r.bottom - 1, ring->radius, std::nullopt, true))
            return;
    }
    const UniquePen pen(CreatePen(PS_DOT, 1, colorRef(color)));
    SelectGuard selectedPen(dc, pen.get());
    SelectGuard selectedBrush(dc, GetStockObject(NULL_BRUSH));
    const int d = static_cast<int>(2 * ring->radius);
    RoundRect(dc, r.left, r.top, r.right, r.bottom, d, d);
}

} // namespace

std::expected<std::unique_ptr<IconCardButton>, std::string> IconCardButton::create(HWND parent, HINSTANCE instance,
    int controlId, ButtonIconKind icon, std::optional<Rgb> iconColor, std::string_view label)
{
    std::unique_ptr<IconCardButton> card(new IconCardButton());
    card->controlId_ = controlId;
    card->icon_ = icon;
    card->iconColor_ = iconColor.value_or(defaultIconColor(icon));
    const ChildWindowClass windowClass { className, CS_DBLCLKS, nullptr, "card" };
    if (auto created = createChildWindow(*card, windowClass, instance, parent, controlId,
            WS_CHILD | WS_VISIBLE | WS_TABSTOP, text::utf8ToWide(label).c_str(), 40, 40);
        !created)
        return std::unexpected(created.error());
    card->accessibleName_ = text::utf8ToWide(label);
    IconCardButton* self = card.get();
    card->accessible_ = std::make_unique<AccessibleWindow>(
        card->hwnd_, [self] { return self->accessibleFacts(); }, [self] { self->sendClick(); });
    return card;
}

IconCardButton::~IconCardButton()
{
    accessible_.reset();
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

void IconCardButton::setLabel(std::string_view label)
{
    SetWindowTextW(hwnd_, text::utf8ToWide(label).c_str());
}

void IconCardButton::setAccessibleTexts(std::string_view name, std::string_view pressWord)
{
    std::wstring wideName = text::utf8ToWide(name);
    const bool changed = wideName != accessibleName_;
    accessibleName_ = std::move(wideName);
    pressWord_ = text::utf8ToWide(pressWord);
    if (changed)
        accessible_->notify(EVENT_OBJECT_NAMECHANGE);
}

AccessibleFacts IconCardButton::accessibleFacts() const
{
    AccessibleFacts facts;
    facts.name = accessibleName_;
    facts.role = ROLE_SYSTEM_PUSHBUTTON;
    facts.defaultAction = pressWord_;
    facts.state = enabled() ? STATE_SYSTEM_FOCUSABLE : STATE_SYSTEM_UNAVAILABLE;
    return facts;
}

CardLook IconCardButton::look() const noexcept
{
    return interaction_.look(enabled());
}

LRESULT IconCardButton::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (LRESULT result = 0; answerPaintMessage(*this, hwnd_, message, wParam, result))
        return result;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (interaction_.mousePressed(enabled())) {
            SetCapture(hwnd_);
            repaint();
        }
        return 0;
    case WM_MOUSEMOVE:
        onMouseMove(lParam);
        return 0;
    case WM_MOUSELEAVE:
        trackingLeave_ = false;
        interaction_.mouseLeft();
        repaint();
        return 0;
    case WM_LBUTTONUP:
        onButtonUp(lParam);
        return 0;
    case WM_CAPTURECHANGED:
        interaction_.captureLost();
        repaint();
        return 0;
    case WM_KEYDOWN:
        if (onKeyDown(wParam, lParam))
            return 0;
        break;
    case WM_KEYUP:
        if (wParam == VK_SPACE) {
            const bool click = interaction_.spaceReleased(enabled());
            repaint();
            if (click)
                sendClick();
            return 0;
        }
        break;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case WM_GETOBJECT:
        if (LRESULT result = 0; accessible_ && accessible_->answer(wParam, lParam, result))
            return result;
        break;
    case WM_KILLFOCUS:
        interaction_.focusLost();
        repaint();
        return 0;
    case WM_SETFOCUS:
    case WM_ENABLE:
    case WM_UPDATEUISTATE:
        repaint();
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void IconCardButton::onMouseMove(LPARAM lParam)
{
    RECT client {};
    GetClientRect(hwnd_, &client);
    const POINT p { GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam) };
    const bool inside = PtInRect(&client, p) != FALSE;
    if (!trackingLeave_) {
        TRACKMOUSEEVENT track { sizeof track, TME_LEAVE, hwnd_, 0 };
        trackingLeave_ = TrackMouseEvent(&track) != FALSE;
    }
    const CardLook before = look();
    interaction_.mouseMoved(inside);
    if (look() != before)
        repaint();
}

void IconCardButton::onButtonUp(LPARAM lParam)
{
    RECT client {};
    GetClientRect(hwnd_, &client);
    const POINT p { GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam) };
    const bool click = interaction_.mouseReleased(PtInRect(&client, p) != FALSE, enabled());
    if (GetCapture() == hwnd_)
        ReleaseCapture();
    repaint();
    if (click)
        sendClick();
}

bool IconCardButton::onKeyDown(WPARAM key, LPARAM flags)
{
    switch (key) {
    case VK_RETURN:
        if (enabled()) {
            SendMessageW(GetAncestor(hwnd_, GA_ROOT), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
            sendClick();
        }
        return true;
    case VK_SPACE:
        if ((flags & (1 << 30)) == 0) { // not an auto-repeat
            interaction_.spacePressed(enabled());
            repaint();
        }
        return true;
    case VK_LEFT:
    case VK_UP:
        moveFocus(FocusStep::previous);
        return true;
    case VK_RIGHT:
    case VK_DOWN:
        moveFocus(FocusStep::next);
        return true;
    default:
        return false;
    }
}

void IconCardButton::sendClick()
{
    if (!enabled())
        return;
    SendMessageW(GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(controlId_, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd_));
}

void IconCardButton::moveFocus(FocusStep step)
{
    std::vector<HWND> cards;
    const HWND parent = GetParent(hwnd_);
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[64];
        if (GetClassNameW(child, name, 64) > 0 && std::wstring_view(name) == className)
            cards.push_back(child);
    }
    // A plain array: std::vector<bool> has no contiguous storage for a span.
    const std::unique_ptr<bool[]> focusable(new bool[cards.size()]);
    std::size_t current = 0;
    for (std::size_t i = 0; i < cards.size(); ++i) {
        focusable[i] = IsWindowVisible(cards[i]) && IsWindowEnabled(cards[i]);
        if (cards[i] == hwnd_)
            current = i;
    }
    const std::size_t next = nextFocusedCard(std::span<const bool>(focusable.get(), cards.size()), current, step);
    if (next != current)
        SetFocus(cards[next]);
}

bool IconCardButton::showsFocus() const noexcept
{
    if (GetFocus() != hwnd_)
        return false;
    const LRESULT state = SendMessageW(hwnd_, WM_QUERYUISTATE, 0, 0);
    return (state & UISF_HIDEFOCUS) == 0;
}

void IconCardButton::paint(HDC dc, const Rect& client)
{
    if (client.width() < 3 || client.height() < 3)
        return;
    const int dpi = uiDpi();
    const Palette palette = activePalette();
    fillRect(dc, client, palette.cards.surround);
    const CardLook cardLook = look();
    drawCardShape(dc, client, palette.card(cardLook), dpi);

    const Rect icon = cardIconRect(client, dpi, interaction_.pressed() && cardLook != CardLook::disabled);
    const Rgb color = palette.cardIcon(cardLook, iconColor_);
    if (const HBITMAP bitmap = ButtonIcons::instance().draw(icon_, icon.width(), color)) {
        UniqueMemoryDc memory(CreateCompatibleDC(dc));
        if (memory) {
            SelectGuard selected(memory.get(), bitmap);
            const BLENDFUNCTION blend { AC_SRC_OVER, 0, 255, AC_SRC_ALPHA };
            AlphaBlend(dc, icon.left, icon.top, icon.width(), icon.height(), memory.get(), 0, 0, icon.width(),
                icon.height(), blend);
        }
    }
    if (showsFocus())
        drawFocusRing(dc, client, palette.cards.focusRing, dpi);
}

} // namespace zelmar::ui::win32
