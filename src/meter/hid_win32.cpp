// Windows backend of the HID primitives: SetupAPI finds the meter among the
// present HID interfaces, CreateFileW opens it for overlapped I/O, and every
// transfer waits on its own event for at most its limit. A transfer that runs
// out of time is cancelled and its cancellation awaited before returning, so
// a stuck driver never holds the polling thread past the limit.

#include "core/win32_handle.h"
#include "meter/hid.h"
#include "meter/meter_source.h"

#include <windows.h>

#include <setupapi.h>
// MinGW's HID headers declare C functions without extern "C".
// hidsdi.h must come first: it declares the types hidpi.h uses.
extern "C" {
// clang-format off
#include <hidsdi.h>
#include <hidpi.h>
// clang-format on
}

#include <memory>
#include <new>

namespace zelmar {

namespace {

struct DeviceInfoListTraits {
    using Handle = HDEVINFO;
    static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool valid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Handle h) noexcept { SetupDiDestroyDeviceInfoList(h); }
};

using UniqueDeviceInfoList = win32::UniqueHandle<DeviceInfoListTraits>;

void readCaps(HANDLE device, dmm_caps* caps)
{
    *caps = {};
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!HidD_GetPreparsedData(device, &preparsed))
        return;
    HIDP_CAPS hidCaps {};
    if (HidP_GetCaps(preparsed, &hidCaps) == HIDP_STATUS_SUCCESS) {
        caps->input_len = hidCaps.InputReportByteLength;
        caps->output_len = hidCaps.OutputReportByteLength;
    }
    HidD_FreePreparsedData(preparsed);
}

// One overlapped transfer with its own event, cancelled and completed on
// expiry. `start` begins the transfer (ReadFile or WriteFile).
template <typename Start> std::int32_t timedTransfer(HANDLE device, DWORD timeoutMs, Start start)
{
    win32::UniqueKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event)
        return -1;
    OVERLAPPED overlapped {};
    overlapped.hEvent = event.get();
    if (!start(device, &overlapped) && GetLastError() != ERROR_IO_PENDING)
        return -1;
    DWORD transferred = 0;
    if (WaitForSingleObject(event.get(), timeoutMs) == WAIT_OBJECT_0) {
        if (!GetOverlappedResult(device, &overlapped, &transferred, FALSE))
            return -1;
        return static_cast<std::int32_t>(transferred);
    }
    CancelIo(device);
    GetOverlappedResult(device, &overlapped, &transferred, TRUE);
    return -1;
}

} // namespace

HidHandle hid_open(std::uint16_t vid, std::uint16_t pid, dmm_caps* caps)
{
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    UniqueDeviceInfoList list(SetupDiGetClassDevsW(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!list)
        return nullptr;

    win32::UniqueFileHandle match;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData {};
        interfaceData.cbSize = sizeof(interfaceData);
        if (!SetupDiEnumDeviceInterfaces(list.get(), nullptr, &hidGuid, index, &interfaceData))
            break;

        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(list.get(), &interfaceData, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
            continue;
        std::unique_ptr<std::uint8_t[]> storage(new (std::nothrow) std::uint8_t[size]);
        if (!storage)
            continue;
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.get());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W); // 8: the 64-bit header size
        if (!SetupDiGetDeviceInterfaceDetailW(list.get(), &interfaceData, detail, size, nullptr, nullptr))
            continue;

        win32::UniqueFileHandle device(CreateFileW(detail->DevicePath, GENERIC_READ | GENERIC_WRITE,
            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
        if (!device)
            continue;
        HIDD_ATTRIBUTES attributes {};
        attributes.Size = sizeof(attributes);
        if (HidD_GetAttributes(device.get(), &attributes) && attributes.VendorID == vid
            && attributes.ProductID == pid) {
            match = std::move(device);
            break;
        }
    }
    if (!match)
        return nullptr;
    if (caps != nullptr)
        readCaps(match.get(), caps);
    return match.release();
}

std::int32_t hid_write(HidHandle handle, const std::uint8_t* buffer, std::uint32_t length)
{
    if (handle == nullptr)
        return -1;
    return timedTransfer(static_cast<HANDLE>(handle), hidWriteTimeoutMs, [&](HANDLE device, OVERLAPPED* overlapped) {
        return WriteFile(device, buffer, length, nullptr, overlapped) != FALSE;
    });
}

std::int32_t hid_read(HidHandle handle, std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs)
{
    if (handle == nullptr)
        return -1;
    return timedTransfer(static_cast<HANDLE>(handle), timeoutMs, [&](HANDLE device, OVERLAPPED* overlapped) {
        return ReadFile(device, buffer, length, nullptr, overlapped) != FALSE;
    });
}

void hid_close(HidHandle handle)
{
    if (handle != nullptr)
        CloseHandle(static_cast<HANDLE>(handle));
}

std::optional<std::string> deniedMeterNode()
{
    // Any user may open a HID device on Windows.
    return std::nullopt;
}

} // namespace zelmar
