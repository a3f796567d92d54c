#pragma once

// The DMM-5174K device object and the port through which the polling engine
// sees a meter. The device owns the HID handle and the report lengths, turns
// primitive failures into DMMError values and runs the two exchanges of the
// application: the display request and the model query with its retries.

#include "meter/dmm_error.h"
#include "meter/hid.h"
#include "meter/protocol.h"

#include <expected>
#include <memory>
#include <string>

namespace zelmar {

class DMM5174K {
public:
    static constexpr std::uint16_t vendorID = 0x1A86;
    static constexpr std::uint16_t productID = 0xE429;

    // The backend must outlive the device.
    explicit DMM5174K(HidBackend& backend = platformHidBackend());
    ~DMM5174K();
    DMM5174K(const DMM5174K&) = delete;
    DMM5174K& operator=(const DMM5174K&) = delete;

    [[nodiscard]] bool isOpen() const noexcept { return handle_ != nullptr; }
    [[nodiscard]] const dmm_caps& caps() const noexcept { return caps_; }

    // True when the meter is (already) open; false when it is absent.
    [[nodiscard]] bool open();
    void close();

    [[nodiscard]] std::expected<void, DMMError> writeReport(ByteView frame);
    [[nodiscard]] std::expected<Bytes, DMMError> readReport(std::uint32_t timeoutMs);
    [[nodiscard]] std::expected<Bytes, DMMError> requestDisplay(std::uint32_t timeoutMs);
    [[nodiscard]] std::expected<std::string, DMMError> readModel(std::uint32_t timeoutMs);
    [[nodiscard]] std::expected<std::string, DMMError> readDisplayText(std::uint32_t timeoutMs);

private:
    HidBackend& backend_;
    HidHandle handle_ = nullptr;
    dmm_caps caps_;
};

// What the polling engine needs of a meter; a scripted port can stand in.
class DMMDevicePort {
public:
    virtual ~DMMDevicePort() = default;
    [[nodiscard]] virtual bool isOpen() const = 0;
    [[nodiscard]] virtual bool open() = 0;
    virtual void close() = 0;
    [[nodiscard]] virtual std::expected<std::string, DMMError> readModel() = 0;
    [[nodiscard]] virtual std::expected<Bytes, DMMError> requestDisplay(std::uint32_t timeoutMs) = 0;
    [[nodiscard]] virtual std::expected<Bytes, DMMError> read(std::uint32_t timeoutMs) = 0;
};

class HIDDevicePort final : public DMMDevicePort {
public:
    static constexpr std::uint32_t modelTimeoutMs = 500;

    explicit HIDDevicePort(HidBackend& backend = platformHidBackend());
    // A port that also owns its backend (the simulator).
    explicit HIDDevicePort(std::unique_ptr<HidBackend> backend);

    [[nodiscard]] bool isOpen() const override { return device_.isOpen(); }
    [[nodiscard]] bool open() override { return device_.open(); }
    void close() override { device_.close(); }
    [[nodiscard]] std::expected<std::string, DMMError> readModel() override
    {
        return device_.readModel(modelTimeoutMs);
    }
    [[nodiscard]] std::expected<Bytes, DMMError> requestDisplay(std::uint32_t timeoutMs) override
    {
        return device_.requestDisplay(timeoutMs);
    }
    [[nodiscard]] std::expected<Bytes, DMMError> read(std::uint32_t timeoutMs) override
    {
        return device_.readReport(timeoutMs);
    }

    [[nodiscard]] DMM5174K& device() noexcept { return device_; }

private:
    std::unique_ptr<HidBackend> ownedBackend_;
    DMM5174K device_;
};

} // namespace zelmar
