#include "core/named_thread.h"
#include "core/text_encoding.h"
#include "core/win32_handle.h"

#include <windows.h>

#include <memory>

namespace zelmar {

namespace {

struct Start {
    std::string name;
    std::function<void()> body;
};

void setThreadName(const std::string& name)
{
    // SetThreadDescription exists from Windows 10 1607 on; look it up so the
    // program still starts where it is missing.
    using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr)
        return;
    auto setDescription = reinterpret_cast<SetThreadDescriptionFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetThreadDescription")));
    if (setDescription != nullptr)
        setDescription(GetCurrentThread(), text::utf8ToWide(name).c_str());
}

DWORD WINAPI run(void* argument)
{
    std::unique_ptr<Start> start(static_cast<Start*>(argument));
    setThreadName(start->name);
    start->body();
    return 0;
}

} // namespace

bool startDetachedThread(const std::string& name, std::size_t stackSize, std::function<void()> body)
{
    auto start = std::make_unique<Start>(Start { name, std::move(body) });
    // The size is the stack's reservation, as on POSIX; committing it all up
    // front would take memory the thread never touches.
    win32::UniqueKernelHandle thread(
        CreateThread(nullptr, stackSize, run, start.get(), STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread)
        return false;
    start.release(); // the thread owns it now; closing the handle detaches it
    return true;
}

} // namespace zelmar
