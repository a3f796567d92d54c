// hidraw backend of the HID primitives. A device node is opened read-write
// and non-blocking; every transfer waits with poll() for at most its limit.
// hidraw writes take the report ID at offset 0, as Windows does; reads of a
// device without numbered reports come without it, so it is put back.

#include "meter/hid_linux.h"
#include "meter/hid_report_descriptor.h"
#include "meter/meter_source.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace zelmar {

namespace {

struct HidrawDevice {
    int fd;
    bool numberedReports;
};

constexpr std::uint16_t defaultReportLength = 64;

std::string readSmallFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<unsigned> hexField(std::string_view text)
{
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc {} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Whether a uevent text carries HID_ID=bbbb:vvvvvvvv:pppppppp for vid and pid.
bool ueventMatches(std::string_view uevent, std::uint16_t vid, std::uint16_t pid)
{
    std::size_t start = 0;
    while (start < uevent.size()) {
        std::size_t end = uevent.find('\n', start);
        if (end == std::string_view::npos)
            end = uevent.size();
        std::string_view line = uevent.substr(start, end - start);
        start = end + 1;
        if (!line.starts_with("HID_ID="))
            continue;
        line.remove_prefix(7);
        const auto first = line.find(':');
        const auto second = line.find(':', first + 1);
        if (first == std::string_view::npos || second == std::string_view::npos)
            return false;
        const auto v = hexField(line.substr(first + 1, second - first - 1));
        const auto p = hexField(line.substr(second + 1));
        return v == vid && p == pid;
    }
    return false;
}

int hidrawNumber(const std::string& name)
{
    int n = -1;
    if (name.starts_with("hidraw"))
        std::from_chars(name.data() + 6, name.data() + name.size(), n);
    return n;
}

bool waitFor(int fd, short events, std::uint32_t timeoutMs)
{
    pollfd p { fd, events, 0 };
    for (;;) {
        const int r = ::poll(&p, 1, static_cast<int>(std::min<std::uint32_t>(timeoutMs, 0x7FFFFFFF)));
        if (r < 0 && errno == EINTR)
            continue;
        return r > 0 && (p.revents & events) != 0;
    }
}

HidrawDevice* device(HidHandle handle)
{
    return static_cast<HidrawDevice*>(handle);
}

} // namespace

HidHandle hidraw::open(const Roots& roots, std::uint16_t vid, std::uint16_t pid, dmm_caps* caps)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<std::pair<int, std::string>> nodes;
    for (const auto& entry : fs::directory_iterator(roots.sysClass, ec)) {
        const std::string name = entry.path().filename().string();
        if (const int n = hidrawNumber(name); n >= 0)
            nodes.emplace_back(n, name);
    }
    if (ec && nodes.empty())
        return nullptr;
    std::sort(nodes.begin(), nodes.end());

    for (const auto& [number, name] : nodes) {
        const fs::path deviceDir = fs::path(roots.sysClass) / name / "device";
        if (!ueventMatches(readSmallFile(deviceDir / "uevent"), vid, pid))
            continue;
        const std::string node = (fs::path(roots.dev) / name).string();
        const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;

        const std::string descriptor = readSmallFile(deviceDir / "report_descriptor");
        const auto layout = parseReportDescriptor(
            ByteView(reinterpret_cast<const std::uint8_t*>(descriptor.data()), descriptor.size()));
        const bool known = layout && !descriptor.empty();
        if (caps != nullptr) {
            *caps = {};
            caps->input_len = known && layout->inputLength > 0 ? layout->inputLength : defaultReportLength;
            caps->output_len = known && layout->outputLength > 0 ? layout->outputLength : defaultReportLength;
        }
        return new HidrawDevice { fd, known && layout->usesReportIds };
    }
    return nullptr;
}

std::optional<std::string> hidraw::deniedNode(const Roots& roots, std::uint16_t vid, std::uint16_t pid)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(roots.sysClass, ec)) {
        const std::string name = entry.path().filename().string();
        if (hidrawNumber(name) < 0 || !ueventMatches(readSmallFile(entry.path() / "device" / "uevent"), vid, pid))
            continue;
        const std::string node = (fs::path(roots.dev) / name).string();
        if (::access(node.c_str(), F_OK) == 0 && ::access(node.c_str(), R_OK | W_OK) != 0 && errno == EACCES)
            return node;
    }
    return std::nullopt;
}

std::optional<std::string> deniedMeterNode()
{
    return hidraw::deniedNode({}, DMM5174K::vendorID, DMM5174K::productID);
}

HidHandle hid_open(std::uint16_t vid, std::uint16_t pid, dmm_caps* caps)
{
    return hidraw::open({}, vid, pid, caps);
}

std::int32_t hid_write(HidHandle handle, const std::uint8_t* buffer, std::uint32_t length)
{
    if (handle == nullptr || buffer == nullptr || length == 0)
        return -1;
    HidrawDevice* d = device(handle);
    // The node is non-blocking: a write that cannot go now says EAGAIN and
    // is tried again until the limit. (hidraw itself hands the report to a
    // synchronous USB transfer with the kernel's own time-out and reports
    // writable at all times; this bounds every wait that is ours to bound.)
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(hidWriteTimeoutMs);
    for (;;) {
        const ssize_t n = ::write(d->fd, buffer, length);
        if (n >= 0)
            return static_cast<std::int32_t>(n);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !waitFor(d->fd, POLLOUT, static_cast<std::uint32_t>(left.count())))
            return -1;
    }
}

std::int32_t hid_read(HidHandle handle, std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs)
{
    if (handle == nullptr || buffer == nullptr || length < 2)
        return -1;
    HidrawDevice* d = device(handle);
    if (!waitFor(d->fd, POLLIN, timeoutMs))
        return -1;
    // Unnumbered reports arrive without the ID byte; keep offset 0 for it.
    const std::uint32_t skip = d->numberedReports ? 0 : 1;
    for (;;) {
        const ssize_t n = ::read(d->fd, buffer + skip, length - skip);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return -1;
        if (skip != 0)
            buffer[0] = 0;
        return static_cast<std::int32_t>(n + skip);
    }
}

void hid_close(HidHandle handle)
{
    if (handle == nullptr)
        return;
    HidrawDevice* d = device(handle);
    ::close(d->fd);
    delete d;
}

} // namespace zelmar
