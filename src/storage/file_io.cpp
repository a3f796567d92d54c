#include "storage/file_io.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>

namespace zelmar {

std::filesystem::path resolveLinks(const std::filesystem::path& path)
{
    std::filesystem::path current = path;
    // The same bound the kernel puts on a chain of links.
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(current, ec))
            return current;
        const std::filesystem::path next = std::filesystem::read_symlink(current, ec);
        if (ec)
            return current;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return current;
}

std::filesystem::path uniqueTemporaryPathFor(const std::filesystem::path& path)
{
    // Unpredictable and unique within the process; the exclusive create
    // still decides, this only makes a clash unlikely.
    static std::atomic<std::uint64_t> counter { 0 };
    static const std::uint64_t seed = [] {
        std::random_device device;
        return (std::uint64_t { device() } << 32) ^ device()
            ^ static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    std::uint64_t x = seed + 0x9E3779B97F4A7C15ull * (counter.fetch_add(1) + 1);
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    char part[16];
    std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(x & 0xFFFFFFFFu));
    std::filesystem::path temporary = path;
    temporary += std::string(".") + part + ".tmp";
    return temporary;
}

std::string pathText(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::expected<std::string, StorageError> readWholeFile(const std::filesystem::path& path)
{
    const auto unreadable = [&](std::string reason) {
        return std::unexpected(StorageError::fileSystem(pathText(path), std::move(reason)));
    };
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec)
        return unreadable(ec.message());
    if (!std::filesystem::is_regular_file(status))
        return unreadable("不是一般檔案");
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec)
        return unreadable(ec.message());
    if (size > maximumReadSize)
        return unreadable("檔案過大（" + std::to_string(size) + " 位元組）");

    std::ifstream in(path, std::ios::binary);
    if (!in)
        return unreadable("無法讀取檔案");
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    // A file that grew since its size was taken is read on, within the bound.
    if (bytes.size() == size) {
        char chunk[65536];
        while (in.read(chunk, sizeof chunk), in.gcount() > 0) {
            if (bytes.size() + static_cast<std::size_t>(in.gcount()) > maximumReadSize)
                return unreadable("檔案過大");
            bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
        }
    }
    if (in.bad())
        return unreadable("無法讀取檔案");
    return bytes;
}

std::expected<void, StorageError> removeFileIfExists(const std::filesystem::path& path)
{
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (ec)
        return std::unexpected(StorageError::fileSystem(pathText(path), ec.message()));
    return {};
}

} // namespace zelmar
