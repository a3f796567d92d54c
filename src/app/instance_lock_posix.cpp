#include "app/instance_lock.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace zelmar {

struct InstanceLock::Handle {
    int fd = -1;
    ~Handle()
    {
        if (fd >= 0)
            ::close(fd); // releases the lock
    }
};

InstanceLock::~InstanceLock() = default;
InstanceLock::InstanceLock(InstanceLock&&) noexcept = default;
InstanceLock& InstanceLock::operator=(InstanceLock&&) noexcept = default;

std::expected<InstanceLock, std::string> InstanceLock::acquire(const std::filesystem::path& dataDirectory)
{
    std::error_code ec;
    std::filesystem::create_directories(dataDirectory, ec);
    const auto path = dataDirectory / "dmm5174k.lock";
    auto handle = std::make_unique<Handle>();
    handle->fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (handle->fd < 0)
        return std::unexpected(path.string() + ": " + std::strerror(errno));
    // An open-file-description lock on the first byte: it belongs to this
    // descriptor alone, and the window program's byte-range lock under Wine
    // is a POSIX lock on the same byte, so the two exclude each other.
    struct flock range { };
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 1;
    if (::fcntl(handle->fd, F_OFD_SETLK, &range) != 0) {
        // Held by another writer, or a lock this file system cannot take: say which.
        if (errno == EAGAIN || errno == EACCES)
            return std::unexpected(path.string());
        return std::unexpected(path.string() + " (" + std::strerror(errno) + ")");
    }
    InstanceLock lock;
    lock.handle_ = std::move(handle);
    return lock;
}

} // namespace zelmar
