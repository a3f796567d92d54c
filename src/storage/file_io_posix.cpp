#include "storage/file_io.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
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
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
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

detail::OwnedFile::~OwnedFile()
{
    if (handle_ != closed)
        ::close(static_cast<int>(handle_));
}

bool detail::OwnedFile::close() noexcept
{
    if (handle_ == closed)
        return true;
    // After EINTR the descriptor is gone all the same on Linux.
    if (::close(static_cast<int>(handle_)) != 0 && errno != EINTR)
        return false;
    handle_ = closed;
    return true;
}

std::expected<detail::OwnedFile, StorageError> detail::openRegular(const std::filesystem::path& path, OpenMode mode)
{
    // Non-blocking, so that a FIFO in its place fails instead of waiting for
    // a peer; regular files are never blocked on anyway.
    const int flags = mode == OpenMode::append ? O_WRONLY | O_APPEND : O_RDONLY;
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::unexpected(lastError(path));
    OwnedFile file(fd);
    struct stat st { };
    if (::fstat(fd, &st) != 0)
        return std::unexpected(lastError(path));
    if (!S_ISREG(st.st_mode))
        return std::unexpected(StorageError::fileSystem(pathText(path), "不是一般檔案"));
    return file;
}

bool AppendFile::isOpen() const noexcept
{
    return file_.isOpen();
}

std::expected<void, StorageError> AppendFile::append(std::string_view bytes)
{
    if (!file_.isOpen())
        return std::unexpected(StorageError::fileSystem(pathText(path_), "檔案未開啟"));
    const int fd = static_cast<int>(file_.get());
    struct stat before { };
    if (::fstat(fd, &before) != 0)
        return std::unexpected(lastError(path_));
    // One write call: O_APPEND places the whole line at the end at once.
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    std::optional<StorageError> failure;
    if (n < 0)
        failure = lastError(path_);
    else if (static_cast<std::size_t>(n) != bytes.size())
        failure = StorageError::fileSystem(pathText(path_), "寫入不完整");
    else if (::fdatasync(fd) != 0)
        failure = lastError(path_);
    if (!failure)
        return {};
    // A torn fragment would glue the next good line onto it; cut it off.
    // Cutting never needs room, so it works on a full disk too.
    if (n != 0)
        (void)::ftruncate(fd, before.st_size);
    return std::unexpected(*failure);
}

std::expected<void, StorageError> AppendFile::close()
{
    if (!file_.close())
        return std::unexpected(lastError(path_));
    return {};
}

std::expected<std::uint64_t, StorageError> PinnedFile::size() const
{
    struct stat st { };
    if (!file_.isOpen() || ::fstat(static_cast<int>(file_.get()), &st) != 0)
        return std::unexpected(lastError(path_));
    return static_cast<std::uint64_t>(st.st_size);
}

std::expected<std::size_t, StorageError> PinnedFile::read(std::span<std::uint8_t> buffer)
{
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(file_.get()), buffer.data(), buffer.size());
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            return std::unexpected(lastError(path_));
    }
}

bool createFileIfMissing(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::expected<AtomicFileWriter, StorageError> AtomicFileWriter::create(const std::filesystem::path& target)
{
    std::filesystem::path destination = resolveLinks(target);
    struct stat existing { };
    const bool replacing = ::stat(destination.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);

    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = uniqueTemporaryPathFor(destination);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return std::unexpected(lastError(destination));
    AtomicFileWriter writer(std::move(destination), std::move(temporary), detail::OwnedFile(fd));
    if (replacing && ::fchmod(fd, existing.st_mode & 07777) != 0)
        return std::unexpected(lastError(writer.destination_)); // the writer removes its file
    return writer;
}

bool detail::writeAllTo(OwnedFile& file, std::string_view bytes)
{
    return writeAll(static_cast<int>(file.get()), bytes);
}

bool detail::flushToDisk(OwnedFile& file)
{
    return ::fsync(static_cast<int>(file.get())) == 0;
}

bool detail::replaceWith(const std::filesystem::path& temporary, const std::filesystem::path& destination)
{
    return ::rename(temporary.c_str(), destination.c_str()) == 0;
}

void detail::syncFolderOf(const std::filesystem::path& destination)
{
    syncFolder(destination.parent_path());
}

void detail::removeTemporary(const std::filesystem::path& temporary)
{
    ::unlink(temporary.c_str());
}

StorageError detail::lastError(const std::filesystem::path& path)
{
    return zelmar::lastError(path);
}

} // namespace zelmar
