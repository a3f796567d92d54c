#include "app/instance_lock.h"
#include "core/win32_handle.h"

#include <windows.h>

namespace zelmar {

struct InstanceLock::Handle {
    win32::UniqueKernelHandle mutex;
};

InstanceLock::~InstanceLock() = default;
InstanceLock::InstanceLock(InstanceLock&&) noexcept = default;
InstanceLock& InstanceLock::operator=(InstanceLock&&) noexcept = default;

std::expected<InstanceLock, std::string> InstanceLock::acquire(const std::filesystem::path&)
{
    // The same object the GUI holds while it runs in this session.
    auto handle = std::make_unique<Handle>();
    handle->mutex.reset(CreateMutexW(nullptr, TRUE, L"Local\\ZELMAR_DMM5174K_SingleInstance"));
    if (!handle->mutex)
        return std::unexpected(std::string("Local\\ZELMAR_DMM5174K_SingleInstance"));
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return std::unexpected(std::string("Local\\ZELMAR_DMM5174K_SingleInstance"));
    InstanceLock lock;
    lock.handle_ = std::move(handle);
    return lock;
}

} // namespace zelmar
