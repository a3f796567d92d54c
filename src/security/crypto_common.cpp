#include "security/crypto_platform.h"

namespace zelmar {

namespace {
thread_local std::uint32_t t_lastStatus = 0;
}

std::uint32_t dmm_crypto_last_status()
{
    return t_lastStatus;
}

void dmm_secure_zero(void* buffer, std::size_t length)
{
    if (buffer == nullptr || length == 0)
        return;
    // Volatile stores cannot be dropped as dead by the optimiser.
    volatile auto* bytes = static_cast<volatile std::uint8_t*>(buffer);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = 0;
}

namespace crypto_detail {

void setLastStatus(std::uint32_t status)
{
    t_lastStatus = status;
}

bool validBlob(const std::uint8_t* blob, std::size_t length, std::size_t expectedLength, std::uint32_t magic)
{
    if (blob == nullptr || length != expectedLength)
        return false;
    const auto le = [](const std::uint8_t* p) {
        return std::uint32_t { p[0] } | std::uint32_t { p[1] } << 8 | std::uint32_t { p[2] } << 16
            | std::uint32_t { p[3] } << 24;
    };
    return le(blob) == magic && le(blob + 4) == 32;
}

bool validMessage(const std::uint8_t* message, std::size_t length)
{
    return (message != nullptr || length == 0) && length <= 0xFFFFFFFFull;
}

} // namespace crypto_detail

} // namespace zelmar
