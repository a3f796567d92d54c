#include "app/instance_lock.h"
#include "core/text_encoding.h"
#include "core/win32_error.h"
#include "core/win32_handle.h"

#include <windows.h>

namespace zelmar {

struct InstanceLock::Handle {
    win32::UniqueKernelHandle file;
};

InstanceLock::~InstanceLock() = default;
InstanceLock::InstanceLock(InstanceLock&&) noexcept = default;
InstanceLock& InstanceLock::operator=(InstanceLock&&) noexcept = default;

std::expected<InstanceLock, std::string> InstanceLock::acquire(const std::filesystem::path& dataDirectory)
{
    // A byte-range lock on a file in the data directory: it excludes the
    // window program and the logger in any session, and under Wine it is a
    // POSIX lock that the Linux logger's lock on the same file also sees.
    std::error_code ec;
    std::filesystem::create_directories(dataDirectory, ec);
    const auto path = dataDirectory / "dmm5174k.lock";
    auto handle = std::make_unique<Handle>();
    handle->file.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle->file)
        return std::unexpected(text::wideToUtf8(path.wstring()) + " (" + zelmar::win32::lastErrorText() + ")");
    OVERLAPPED at {};
    if (!LockFileEx(handle->file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        // Held by another writer, or a lock this folder cannot take: say which.
        if (GetLastError() == ERROR_LOCK_VIOLATION)
            return std::unexpected(text::wideToUtf8(path.wstring()));
        return std::unexpected(text::wideToUtf8(path.wstring()) + " (" + zelmar::win32::lastErrorText() + ")");
    }
    InstanceLock lock;
    lock.handle_ = std::move(handle);
    return lock;
}

} // namespace zelmar
