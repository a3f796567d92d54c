#include "app/instance_lock.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
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
    if (::flock(handle->fd, LOCK_EX | LOCK_NB) != 0)
        return std::unexpected(path.string());
    InstanceLock lock;
    lock.handle_ = std::move(handle);
    return lock;
}

} // namespace zelmar
