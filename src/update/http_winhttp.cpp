// WinHTTP backend of the native GET: one blocking request whose body is
// streamed in 64 KiB chunks to the callback. Every handle has an owner that
// closes it on every path.

#include "core/text_encoding.h"
#include "update/http_client.h"

#include <windows.h>

#include <winhttp.h>

#include <memory>
#include <vector>

namespace zelmar {

namespace {

struct InternetHandle {
    HINTERNET handle = nullptr;
    ~InternetHandle()
    {
        if (handle != nullptr)
            WinHttpCloseHandle(handle);
    }
};

std::optional<std::wstring> toWide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int length
        = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

} // namespace

int nativeHttpGet(const std::string& userAgent, const std::string& url, const std::optional<NativeTimeouts>& timeouts,
    const NativeChunkCallback& onChunk, NativeGetRecord* record)
{
    if (record == nullptr || url.empty() || !onChunk)
        return nativeGetInvalidArguments;
    *record = NativeGetRecord {};
    const auto failWith = [&](DWORD error) {
        record->error = error;
        return nativeGetTransportFailure;
    };
    const auto lastError = [&] {
        DWORD error = GetLastError();
        // Some WinHTTP implementations report a read that ran out of time as
        // the socket's WSAETIMEDOUT; it is the same time-out.
        if (error == 10060)
            error = ERROR_WINHTTP_TIMEOUT;
        return failWith(error != 0 ? error : 12004);
    };

    const auto agent = toWide(userAgent.empty() ? std::string("CWinHTTP") : userAgent);
    if (!agent)
        return failWith(8);
    auto wideUrl = toWide(url);
    if (!wideUrl)
        return failWith(12005);

    URL_COMPONENTS parts {};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength
        = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wideUrl->c_str(), 0, 0, &parts)
        || (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        || parts.dwHostNameLength == 0)
        return failWith(12006);
    const bool https = parts.nScheme == INTERNET_SCHEME_HTTPS;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath != nullptr ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
    if (path.empty())
        path = L"/";
    path += std::wstring(parts.lpszExtraInfo != nullptr ? parts.lpszExtraInfo : L"", parts.dwExtraInfoLength);

    std::vector<std::uint8_t> buffer(nativeChunkSize);

    InternetHandle session;
    session.handle = WinHttpOpen(
        agent->c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session.handle == nullptr && GetLastError() == ERROR_INVALID_PARAMETER)
        session.handle = WinHttpOpen(
            agent->c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session.handle == nullptr)
        return lastError();
    if (timeouts
        && !WinHttpSetTimeouts(
            session.handle, timeouts->resolveMs, timeouts->connectMs, timeouts->sendMs, timeouts->receiveMs))
        return lastError();
    if (https) {
        DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
        if (!WinHttpSetOption(session.handle, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols))) {
            protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
            if (!WinHttpSetOption(session.handle, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols)))
                return lastError();
        }
    }
    InternetHandle connection;
    connection.handle = WinHttpConnect(session.handle, host.c_str(), parts.nPort, 0);
    if (connection.handle == nullptr)
        return lastError();
    InternetHandle request;
    request.handle = WinHttpOpenRequest(connection.handle, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
        WINHTTP_DEFAULT_ACCEPT_TYPES, https ? WINHTTP_FLAG_SECURE : 0);
    if (request.handle == nullptr)
        return lastError();
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP;
    if (!WinHttpSetOption(request.handle, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof(policy)))
        return lastError();
    if (!WinHttpSendRequest(
            request.handle, L"Cache-Control: no-cache\r\n", static_cast<DWORD>(-1), WINHTTP_NO_REQUEST_DATA, 0, 0, 0)
        || !WinHttpReceiveResponse(request.handle, nullptr))
        return lastError();

    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!WinHttpQueryHeaders(request.handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return lastError();
    record->status = status;
    if (status < 200 || status > 299)
        return nativeGetHttpStatus;

    wchar_t lengthText[32] = {};
    DWORD lengthSize = 64;
    if (WinHttpQueryHeaders(request.handle, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, lengthText,
            &lengthSize, WINHTTP_NO_HEADER_INDEX)) {
        // Digits only; a value past 63 bits is unknown, never a wrapped one.
        std::string narrow;
        for (const wchar_t* p = lengthText; *p != L'\0'; ++p)
            narrow += *p < 0x80 ? static_cast<char>(*p) : '?';
        record->contentLength = parseContentLength(narrow);
    }
    if (!onChunk({}, record->contentLength))
        return nativeGetStopped;

    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(request.handle, buffer.data(), static_cast<DWORD>(buffer.size()), &read))
            return lastError();
        if (read == 0)
            break;
        record->received += read;
        if (!onChunk({ buffer.data(), read }, record->contentLength))
            return nativeGetStopped;
    }
    if (record->contentLength >= 0 && record->received != static_cast<std::uint64_t>(record->contentLength))
        return failWith(12030);
    return nativeGetOk;
}

} // namespace zelmar
