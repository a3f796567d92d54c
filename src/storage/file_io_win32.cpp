#include "core/text_encoding.h"
#include "core/win32_error.h"
#include "storage/file_io.h"

#include <windows.h>

#include <utility>

namespace zelmar {

namespace {

StorageError lastError(const std::filesystem::path& path)
{
    return StorageError::fileSystem(pathText(path), win32::lastErrorText());
}

HANDLE native(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

constexpr std::intptr_t kClosed = -1;

} // namespace

AppendFile::~AppendFile()
{
    if (handle_ != kClosed)
        CloseHandle(native(handle_));
}

AppendFile::AppendFile(AppendFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kClosed))
    , path_(std::move(other.path_))
{
}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept
{
    if (this != &other) {
        if (handle_ != kClosed)
            CloseHandle(native(handle_));
        handle_ = std::exchange(other.handle_, kClosed);
        path_ = std::move(other.path_);
    }
    return *this;
}

std::expected<AppendFile, StorageError> AppendFile::open(const std::filesystem::path& path)
{
    // FILE_APPEND_DATA alone makes every write land at the end of the file.
    HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::unexpected(lastError(path));
    AppendFile file;
    file.handle_ = reinterpret_cast<std::intptr_t>(h);
    file.path_ = path;
    return file;
}

bool AppendFile::isOpen() const noexcept
{
    return handle_ != kClosed;
}

std::expected<void, StorageError> AppendFile::append(std::string_view bytes)
{
    if (handle_ == kClosed)
        return std::unexpected(StorageError::fileSystem(pathText(path_), "檔案未開啟"));
    DWORD written = 0;
    if (!WriteFile(native(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return std::unexpected(lastError(path_));
    if (written != bytes.size())
        return std::unexpected(StorageError::fileSystem(pathText(path_), "寫入不完整"));
    FlushFileBuffers(native(handle_));
    return {};
}

std::expected<void, StorageError> AppendFile::close()
{
    if (handle_ == kClosed)
        return {};
    if (!CloseHandle(native(handle_)))
        return std::unexpected(lastError(path_));
    handle_ = kClosed;
    return {};
}

bool createFileIfMissing(const std::filesystem::path& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

std::expected<void, StorageError> writeFileAtomically(
    const std::filesystem::path& target, std::string_view bytes, const std::filesystem::path& temporary)
{
    HANDLE h = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::unexpected(lastError(temporary));
    bool ok = true;
    std::string_view rest = bytes;
    while (ok && !rest.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 1u << 30));
        DWORD written = 0;
        ok = WriteFile(h, rest.data(), chunk, &written, nullptr) && written == chunk;
        rest.remove_prefix(chunk);
    }
    ok = ok && FlushFileBuffers(h);
    if (!ok) {
        const StorageError error = lastError(temporary);
        CloseHandle(h);
        DeleteFileW(temporary.c_str());
        return std::unexpected(error);
    }
    CloseHandle(h);
    // One step replaces the old content; there is never a moment without it.
    if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const StorageError error = lastError(target);
        DeleteFileW(temporary.c_str());
        return std::unexpected(error);
    }
    return {};
}

} // namespace zelmar
