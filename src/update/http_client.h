#pragma once

// HTTP GET for the update machinery: the manifest (small, kept in memory)
// and the installer (large, streamed to a file). One native GET per
// platform streams the body in 64 KiB chunks to a callback: WinHTTP on
// Windows (http_winhttp.cpp), libcurl elsewhere (http_curl.cpp), with the
// same result codes and with libcurl's errors mapped to the WinHTTP codes
// that mean the same thing. All calls block; they run on update threads.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zelmar {

struct UpdateHTTPError {
    enum class Kind { network, httpStatus, sizeMismatch, io, tooLarge, cancelled, checksumMismatch };

    Kind kind = Kind::network;
    std::uint32_t code = 0; // network: the WinHTTP/Win32 code
    std::int64_t status = 0; // httpStatus
    std::int64_t expected = 0, actual = 0; // sizeMismatch
    std::string text; // io

    static UpdateHTTPError network(std::uint32_t c) { return { Kind::network, c, 0, 0, 0, {} }; }
    static UpdateHTTPError httpStatus(std::int64_t s) { return { Kind::httpStatus, 0, s, 0, 0, {} }; }
    static UpdateHTTPError sizeMismatch(std::int64_t e, std::int64_t a)
    {
        return { Kind::sizeMismatch, 0, 0, e, a, {} };
    }
    static UpdateHTTPError io(std::string t) { return { Kind::io, 0, 0, 0, 0, std::move(t) }; }
    static UpdateHTTPError tooLarge() { return { Kind::tooLarge, 0, 0, 0, 0, {} }; }
    static UpdateHTTPError cancelled() { return { Kind::cancelled, 0, 0, 0, 0, {} }; }
    static UpdateHTTPError checksumMismatch() { return { Kind::checksumMismatch, 0, 0, 0, 0, {} }; }

    // "網路錯誤：連線逾時（代碼 12002）" and so on (logs and dialogs).
    [[nodiscard]] std::string description() const;
    friend bool operator==(const UpdateHTTPError&, const UpdateHTTPError&) = default;
    friend std::ostream& operator<<(std::ostream& out, const UpdateHTTPError& e) { return out << e.description(); }
};

// The message of a network error code ("連線逾時", ...).
[[nodiscard]] std::string networkErrorMessage(std::uint32_t code);

// The native GET.
enum NativeGetResult : int {
    nativeGetOk = 0,
    nativeGetTransportFailure = 1,
    nativeGetHttpStatus = 2,
    nativeGetStopped = 3,
    nativeGetInvalidArguments = 4,
};

struct NativeGetRecord {
    std::uint32_t status = 0;
    std::uint32_t error = 0;
    std::int64_t contentLength = -1;
    std::uint64_t received = 0;
};

struct NativeTimeouts {
    std::int32_t resolveMs, connectMs, sendMs, receiveMs;
};

// Called once with no bytes when the headers arrived, then once per chunk;
// returns false to stop the transfer.
using NativeChunkCallback = std::function<bool(std::span<const std::uint8_t> chunk, std::int64_t contentLength)>;

inline constexpr std::size_t nativeChunkSize = 65'536;

// The value of a Content-Length header: decimal digits only, no more than
// fits 63 bits; anything else is -1 (length unknown).
[[nodiscard]] std::int64_t parseContentLength(std::string_view text) noexcept;

// Whether a redirect is followed: to an http or https URL, and never from
// https down to plain http (that 3xx status is then the answer).
[[nodiscard]] bool redirectAllowed(std::string_view fromUrl, std::string_view toUrl) noexcept;

[[nodiscard]] int nativeHttpGet(const std::string& userAgent, const std::string& url,
    const std::optional<NativeTimeouts>& timeouts, const NativeChunkCallback& onChunk, NativeGetRecord* record);

class UpdateHTTPClient {
public:
    virtual ~UpdateHTTPClient() = default;
    using Progress = std::function<bool(std::int64_t received, std::optional<std::int64_t> expected)>;

    [[nodiscard]] virtual std::expected<std::vector<std::uint8_t>, UpdateHTTPError> get(
        const std::string& url, double timeoutSeconds, std::int64_t maxBytes)
        = 0;
    // Streams the body into `destination`; `progress` runs after every chunk
    // and may stop the transfer (false). A failed download leaves no file.
    [[nodiscard]] virtual std::expected<void, UpdateHTTPError> download(const std::string& url,
        const std::filesystem::path& destination, double timeoutSeconds, const Progress& progress)
        = 0;
};

// The client over the platform's native GET.
class PlatformHTTPClient final : public UpdateHTTPClient {
public:
    explicit PlatformHTTPClient(std::string userAgent)
        : userAgent_(std::move(userAgent))
    {
    }
    [[nodiscard]] const std::string& userAgent() const noexcept { return userAgent_; }

    [[nodiscard]] std::expected<std::vector<std::uint8_t>, UpdateHTTPError> get(
        const std::string& url, double timeoutSeconds, std::int64_t maxBytes) override;
    [[nodiscard]] std::expected<void, UpdateHTTPError> download(const std::string& url,
        const std::filesystem::path& destination, double timeoutSeconds, const Progress& progress) override;

    // Seconds to milliseconds: above 3,600 s is cut to 3,600 s, 0.1 s or
    // less becomes 100 ms.
    [[nodiscard]] static std::int32_t timeoutMilliseconds(double seconds) noexcept;

private:
    std::string userAgent_;
};

} // namespace zelmar
