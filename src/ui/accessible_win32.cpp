#include "ui/accessible_win32.h"

#include <oleacc.h>

#include <atomic>
#include <utility>

namespace zelmar::ui::win32 {

namespace {

bool isSelf(const VARIANT& child) noexcept
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

HRESULT putText(const std::wstring& text, BSTR* out) noexcept
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (text.empty())
        return S_FALSE;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

} // namespace

// The COM object readers hold. It asks the window for its facts on every
// call, so what a reader hears is what is drawn at that moment.
class AccessibleWindow::Object final : public IAccessible {
public:
    Object(HWND hwnd, Facts facts, Action action)
        : hwnd_(hwnd)
        , facts_(std::move(facts))
        , action_(std::move(action))
    {
    }

    void disconnect() noexcept
    {
        facts_ = nullptr;
        action_ = nullptr;
        if (standard_ != nullptr) {
            standard_->Release();
            standard_ = nullptr;
        }
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0) {
            disconnect();
            delete this;
        }
        return left;
    }

    // IDispatch: readers use the vtable.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count != nullptr)
            *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible: the window's own facts.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override
    {
        return text(child, out, &AccessibleFacts::name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* out) override
    {
        return text(child, out, &AccessibleFacts::value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override
    {
        return text(child, out, &AccessibleFacts::description);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override
    {
        return text(child, out, &AccessibleFacts::defaultAction);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* out) override
    {
        if (const HRESULT refused = refusal(child, out); refused != S_OK)
            return refused;
        const long role = facts_().role;
        if (role == 0)
            return standard() ? standard_->get_accRole(child, out) : E_FAIL;
        VariantInit(out);
        out->vt = VT_I4;
        out->lVal = role;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override
    {
        if (const HRESULT refused = refusal(child, out); refused != S_OK)
            return refused;
        long state = 0;
        if (standard()) {
            VARIANT base;
            VariantInit(&base);
            if (SUCCEEDED(standard_->get_accState(child, &base)) && base.vt == VT_I4)
                state = base.lVal;
        }
        VariantInit(out);
        out->vt = VT_I4;
        out->lVal = state | facts_().state;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        if (!facts_)
            return CO_E_OBJNOTCONNECTED;
        if (!isSelf(child))
            return E_INVALIDARG;
        if (!action_ || (facts_().state & STATE_SYSTEM_UNAVAILABLE) != 0)
            return DISP_E_MEMBERNOTFOUND;
        action_();
        return S_OK;
    }

    // IAccessible: the standard object's answers (place, parent, focus).
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** out) override
    {
        return standard() ? standard_->get_accParent(out) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* out) override
    {
        if (out == nullptr)
            return E_POINTER;
        *out = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** out) override
    {
        if (out != nullptr)
            *out = nullptr;
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override
    {
        return standard() ? standard_->get_accHelp(child, out) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override
    {
        return standard() ? standard_->get_accHelpTopic(file, child, topic) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override
    {
        return standard() ? standard_->get_accKeyboardShortcut(child, out) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override
    {
        return standard() ? standard_->get_accFocus(out) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override
    {
        return standard() ? standard_->get_accSelection(out) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override
    {
        return standard() ? standard_->accSelect(flags, child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT child) override
    {
        return standard() ? standard_->accLocation(x, y, w, h, child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* out) override
    {
        return standard() ? standard_->accNavigate(direction, start, out) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* out) override
    {
        return standard() ? standard_->accHitTest(x, y, out) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~Object() = default;

    bool standard()
    {
        if (!facts_)
            return false;
        if (standard_ == nullptr)
            CreateStdAccessibleObject(
                hwnd_, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&standard_));
        return standard_ != nullptr;
    }

    // Why a question about `child` cannot be answered; S_OK when it can.
    [[nodiscard]] HRESULT refusal(const VARIANT& child, const void* out) const
    {
        if (out == nullptr)
            return E_POINTER;
        if (!facts_)
            return CO_E_OBJNOTCONNECTED;
        return isSelf(child) ? S_OK : E_INVALIDARG;
    }

    HRESULT text(const VARIANT& child, BSTR* out, std::wstring AccessibleFacts::*member)
    {
        if (out != nullptr)
            *out = nullptr;
        if (const HRESULT refused = refusal(child, out); refused != S_OK)
            return refused;
        return putText(facts_().*member, out);
    }

    std::atomic<ULONG> references_ { 1 };
    HWND hwnd_;
    Facts facts_;
    Action action_;
    IAccessible* standard_ = nullptr;
};

ComApartment::ComApartment() noexcept
    : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
{
}

ComApartment::~ComApartment()
{
    if (initialized_)
        CoUninitialize();
}

AccessibleWindow::AccessibleWindow(HWND hwnd, Facts facts, Action defaultAction)
    : hwnd_(hwnd)
    , object_(new Object(hwnd, std::move(facts), std::move(defaultAction)))
{
}

AccessibleWindow::~AccessibleWindow()
{
    object_->disconnect();
    object_->Release();
}

bool AccessibleWindow::answer(WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (static_cast<LONG>(lParam) != OBJID_CLIENT)
        return false;
    result = LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(object_));
    return true;
}

void AccessibleWindow::notify(DWORD event) const noexcept
{
    NotifyWinEvent(event, hwnd_, OBJID_CLIENT, CHILDID_SELF);
}

} // namespace zelmar::ui::win32
