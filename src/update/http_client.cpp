#include "update/http_client.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>

namespace zelmar {

std::string networkErrorMessage(std::uint32_t code)
{
    switch (code) {
    case 5:
        return "存取被拒";
    case 8:
        return "記憶體不足";
    case 87:
        return "參數錯誤";
    case 12002:
        return "連線逾時";
    case 12005:
        return "網址不合法";
    case 12006:
        return "不支援的網址協定";
    case 12007:
        return "找不到主機（DNS 解析失敗）";
    case 12017:
        return "操作已取消";
    case 12028:
        return "目前無法使用該連線";
    case 12029:
        return "無法連線到伺服器";
    case 12030:
        return "連線中斷";
    case 12037:
    case 12038:
    case 12044:
    case 12045:
    case 12055:
    case 12056:
    case 12057:
    case 12157:
    case 12175:
        return "安全連線（TLS／憑證）失敗";
    case 12152:
        return "伺服器回應格式不正確";
    case 12178:
        return "代理伺服器自動偵測失敗";
    default:
        return "未分類的網路錯誤";
    }
}

std::int64_t parseContentLength(std::string_view text) noexcept
{
    if (text.empty())
        return -1;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        const int digit = c - '0';
        if (value > (INT64_MAX - digit) / 10)
            return -1;
        value = value * 10 + digit;
    }
    return value;
}

namespace {

// "http" or "https" (any case) before "://", else empty.
std::string_view webScheme(std::string_view url) noexcept
{
    const auto end = url.find("://");
    if (end == std::string_view::npos)
        return {};
    const std::string_view scheme = url.substr(0, end);
    const auto equals = [&](std::string_view word) {
        return scheme.size() == word.size()
            && std::equal(scheme.begin(), scheme.end(), word.begin(), [](char a, char b) { return (a | 0x20) == b; });
    };
    return equals("https") ? "https" : equals("http") ? "http" : std::string_view {};
}

} // namespace

bool redirectAllowed(std::string_view fromUrl, std::string_view toUrl) noexcept
{
    const std::string_view from = webScheme(fromUrl);
    const std::string_view to = webScheme(toUrl);
    return !to.empty() && !(from == "https" && to == "http");
}

std::string UpdateHTTPError::description() const
{
    switch (kind) {
    case Kind::network:
        return "網路錯誤：" + networkErrorMessage(code) + "（代碼 " + std::to_string(code) + "）";
    case Kind::httpStatus:
        return "伺服器回應 HTTP " + std::to_string(status);
    case Kind::sizeMismatch:
        return "檔案大小不符（預期 " + std::to_string(expected) + " 位元組，實際 " + std::to_string(actual)
            + " 位元組）";
    case Kind::io:
        return "檔案錯誤：" + text;
    case Kind::tooLarge:
        return "回應內容超過允許的大小上限";
    case Kind::cancelled:
        return "已取消";
    case Kind::checksumMismatch:
        return "檔案 SHA-256 雜湊不符";
    }
    return {};
}

std::int32_t PlatformHTTPClient::timeoutMilliseconds(double seconds) noexcept
{
    if (!(seconds > 0.1))
        return 100;
    if (seconds > 3600)
        return 3'600'000;
    return static_cast<std::int32_t>(seconds * 1000);
}

namespace {

// The outcome of a native GET as the client's result; `stored` is the
// chunk handler's own failure, if it raised one.
std::expected<void, UpdateHTTPError> mapResult(
    int code, const NativeGetRecord& record, const std::optional<UpdateHTTPError>& stored)
{
    switch (code) {
    case nativeGetOk:
        return {};
    case nativeGetTransportFailure:
        return std::unexpected(UpdateHTTPError::network(record.error));
    case nativeGetHttpStatus:
        return std::unexpected(UpdateHTTPError::httpStatus(record.status));
    case nativeGetStopped:
        return std::unexpected(stored ? *stored : UpdateHTTPError::cancelled());
    default:
        return std::unexpected(UpdateHTTPError::network(87));
    }
}

NativeTimeouts uniform(std::int32_t ms)
{
    return { ms, ms, ms, ms };
}

} // namespace

std::expected<std::vector<std::uint8_t>, UpdateHTTPError> PlatformHTTPClient::get(
    const std::string& url, double timeoutSeconds, std::int64_t maxBytes)
{
    std::vector<std::uint8_t> body;
    std::optional<UpdateHTTPError> failure;
    NativeGetRecord record;
    const int code = nativeHttpGet(
        userAgent_, url, uniform(timeoutMilliseconds(timeoutSeconds)),
        [&](std::span<const std::uint8_t> chunk, std::int64_t contentLength) {
            // An announced length over the limit stops before any body byte.
            if (contentLength > maxBytes || static_cast<std::int64_t>(body.size() + chunk.size()) > maxBytes) {
                failure = UpdateHTTPError::tooLarge();
                return false;
            }
            body.insert(body.end(), chunk.begin(), chunk.end());
            return true;
        },
        &record);
    if (auto mapped = mapResult(code, record, failure); !mapped)
        return std::unexpected(mapped.error());
    return body;
}

std::expected<void, UpdateHTTPError> PlatformHTTPClient::download(
    const std::string& url, const std::filesystem::path& destination, double timeoutSeconds, const Progress& progress)
{
    std::ofstream file;
    bool created = false;
    std::optional<UpdateHTTPError> failure;
    NativeGetRecord record;
    std::int64_t received = 0;
    const std::string name = destination.filename().string();
    const int code = nativeHttpGet(
        userAgent_, url, uniform(timeoutMilliseconds(timeoutSeconds)),
        [&](std::span<const std::uint8_t> chunk, std::int64_t contentLength) {
            if (!created) {
                file.open(destination, std::ios::binary | std::ios::trunc);
                if (!file) {
                    failure = UpdateHTTPError::io("無法建立 " + name + "：無法開啟檔案");
                    return false;
                }
                created = true;
            }
            if (!chunk.empty()) {
                file.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
                if (!file) {
                    failure = UpdateHTTPError::io("寫入 " + name + " 失敗：無法寫入檔案");
                    return false;
                }
                received += static_cast<std::int64_t>(chunk.size());
            }
            const std::optional<std::int64_t> expected
                = contentLength >= 0 ? std::optional<std::int64_t>(contentLength) : std::nullopt;
            return !progress || progress(received, expected);
        },
        &record);
    auto mapped = mapResult(code, record, failure);
    if (created) {
        file.close();
        if (!mapped || !file) {
            std::error_code ec;
            std::filesystem::remove(destination, ec);
            if (mapped && !file)
                return std::unexpected(UpdateHTTPError::io("寫入 " + name + " 失敗：無法關閉檔案"));
        }
    }
    return mapped;
}

} // namespace zelmar
