#pragma once

// What a screen reader learns of one of the program's own windows (Windows
// build only): the window answers WM_GETOBJECT with an IAccessible whose
// name, role, value, description and state come from the window, and whose
// place, parent and navigation come from the system's standard object.

#include <windows.h>

#include <functional>
#include <string>

namespace zelmar::ui::win32 {

struct AccessibleFacts {
    std::wstring name;
    long role = 0; // a ROLE_SYSTEM_* value; 0 keeps the standard object's
    std::wstring value; // empty: the object has none
    std::wstring description;
    std::wstring defaultAction; // empty: none
    long state = 0; // STATE_SYSTEM_* added to the standard object's
};

// COM for the UI thread, single-threaded as window objects need; held for
// as long as windows answer screen readers.
class ComApartment {
public:
    ComApartment() noexcept;
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialized_ = false;
};

class AccessibleWindow {
public:
    using Facts = std::function<AccessibleFacts()>;
    using Action = std::function<void()>;

    AccessibleWindow(HWND hwnd, Facts facts, Action defaultAction = {});
    // A reader may keep the object after the window is gone: from then on it
    // answers that it is disconnected.
    ~AccessibleWindow();
    AccessibleWindow(const AccessibleWindow&) = delete;
    AccessibleWindow& operator=(const AccessibleWindow&) = delete;

    // Answers WM_GETOBJECT for the client object; false for anything else.
    bool answer(WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Tells readers that the name, value or state changed.
    void notify(DWORD event) const noexcept;

private:
    class Object;
    HWND hwnd_;
    Object* object_;
};

} // namespace zelmar::ui::win32
