#include "meter/dmm5174k.h"

namespace zelmar {

DMM5174K::DMM5174K(HidBackend& backend)
    : backend_(backend)
{
}

DMM5174K::~DMM5174K()
{
    close();
}

bool DMM5174K::open()
{
    if (isOpen())
        return true;
    handle_ = backend_.open(vendorID, productID, &caps_);
    return handle_ != nullptr;
}

void DMM5174K::close()
{
    if (handle_ == nullptr)
        return;
    backend_.close(handle_);
    handle_ = nullptr;
}

std::expected<void, DMMError> DMM5174K::writeReport(ByteView frame)
{
    if (!isOpen())
        return std::unexpected(DMMError::notConnected());
    const Bytes report = DMMProtocol::outputReport(frame, caps_.output_len);
    // A short write is not detected: the meter answers or the read times out.
    if (backend_.write(handle_, report.data(), static_cast<std::uint32_t>(report.size())) <= 0)
        return std::unexpected(DMMError::writeFailed());
    return {};
}

std::expected<Bytes, DMMError> DMM5174K::readReport(std::uint32_t timeoutMs)
{
    if (!isOpen())
        return std::unexpected(DMMError::notConnected());
    Bytes buffer(DMMProtocol::inputBufferLength(caps_.input_len), 0);
    const std::int32_t count
        = backend_.read(handle_, buffer.data(), static_cast<std::uint32_t>(buffer.size()), timeoutMs);
    if (count <= 0)
        return std::unexpected(DMMError::readTimeout());
    buffer.resize(std::min<std::size_t>(static_cast<std::size_t>(count), buffer.size()));
    return buffer;
}

std::expected<Bytes, DMMError> DMM5174K::requestDisplay(std::uint32_t timeoutMs)
{
    const Bytes frame = DMMProtocol::transportFrame(DMMProtocol::transportCommand, 0x5E);
    if (auto written = writeReport(frame); !written)
        return std::unexpected(written.error());
    return readReport(timeoutMs);
}

std::expected<std::string, DMMError> DMM5174K::readModel(std::uint32_t timeoutMs)
{
    for (const std::uint8_t transport : { DMMProtocol::transportCommand, DMMProtocol::transportCommandRetry }) {
        const Bytes frame = DMMProtocol::transportFrame(transport, 0x5F);
        if (auto written = writeReport(frame); !written)
            return std::unexpected(written.error());
        // Display frames still in the pipe are skipped; silence ends the attempt.
        for (int attempt = 0; attempt < 3 && isOpen(); ++attempt) {
            Bytes buffer(DMMProtocol::inputBufferLength(caps_.input_len), 0);
            const std::int32_t count
                = backend_.read(handle_, buffer.data(), static_cast<std::uint32_t>(buffer.size()), timeoutMs);
            if (count <= 0)
                break;
            buffer.resize(std::min<std::size_t>(static_cast<std::size_t>(count), buffer.size()));
            if (auto model = DMMProtocol::parseModel(buffer))
                return *model;
        }
    }
    return std::unexpected(DMMError::readTimeout());
}

std::expected<std::string, DMMError> DMM5174K::readDisplayText(std::uint32_t timeoutMs)
{
    auto report = requestDisplay(timeoutMs);
    if (!report)
        return std::unexpected(report.error());
    if (auto text = DMMProtocol::displayText(*report))
        return *text;
    return std::unexpected(DMMError::badResponse(std::move(*report)));
}

HIDDevicePort::HIDDevicePort(HidBackend& backend)
    : device_(backend)
{
}

HIDDevicePort::HIDDevicePort(std::unique_ptr<HidBackend> backend)
    : ownedBackend_(std::move(backend))
    , device_(*ownedBackend_)
{
}

} // namespace zelmar
