#include "storage/file_io.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace zelmar {

namespace {

StorageError lastError(const std::filesystem::path& path)
{
    return StorageError::fileSystem(pathText(path), std::strerror(errno));
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void syncFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

AppendFile::~AppendFile()
{
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
}

AppendFile::AppendFile(AppendFile&& other) noexcept
    : handle_(std::exchange(other.handle_, -1))
    , path_(std::move(other.path_))
{
}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept
{
    if (this != &other) {
        if (handle_ >= 0)
            ::close(static_cast<int>(handle_));
        handle_ = std::exchange(other.handle_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

std::expected<AppendFile, StorageError> AppendFile::open(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return std::unexpected(lastError(path));
    AppendFile file;
    file.handle_ = fd;
    file.path_ = path;
    return file;
}

bool AppendFile::isOpen() const noexcept
{
    return handle_ >= 0;
}

std::expected<void, StorageError> AppendFile::append(std::string_view bytes)
{
    if (handle_ < 0)
        return std::unexpected(StorageError::fileSystem(pathText(path_), "檔案未開啟"));
    // One write call: O_APPEND places the whole line at the end at once.
    const ssize_t n = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
    if (n < 0 || static_cast<std::size_t>(n) != bytes.size())
        return std::unexpected(n < 0 ? lastError(path_) : StorageError::fileSystem(pathText(path_), "寫入不完整"));
    ::fdatasync(static_cast<int>(handle_));
    return {};
}

std::expected<void, StorageError> AppendFile::close()
{
    if (handle_ < 0)
        return {};
    if (::close(static_cast<int>(handle_)) != 0 && errno != EINTR)
        return std::unexpected(lastError(path_));
    handle_ = -1;
    return {};
}

bool createFileIfMissing(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::expected<void, StorageError> writeFileAtomically(
    const std::filesystem::path& target, std::string_view bytes, const std::filesystem::path& temporary)
{
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return std::unexpected(lastError(temporary));
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!written) {
        errno = savedErrno;
        const StorageError error = lastError(temporary);
        ::unlink(temporary.c_str());
        return std::unexpected(error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const StorageError error = lastError(target);
        ::unlink(temporary.c_str());
        return std::unexpected(error);
    }
    syncFolder(target.parent_path());
    return {};
}

} // namespace zelmar
