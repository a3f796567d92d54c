// libcurl backend of the native GET, with the observable behaviour of the
// WinHTTP one: per-read receive timeout, TLS 1.2 at least, redirects
// followed except from HTTPS to HTTP (then the 3xx status is the answer),
// "Cache-Control: no-cache", 64 KiB chunks, and the Content-Length check.
// libcurl's errors are reported with the WinHTTP codes of the same meaning.

#include "update/http_client.h"

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <mutex>

namespace zelmar {

namespace {

constexpr int kMaximumRedirects = 10;

std::uint32_t winHttpCode(CURLcode code)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return 12007;
    case CURLE_COULDNT_CONNECT:
        return 12029;
    case CURLE_OPERATION_TIMEDOUT:
        return 12002;
    case CURLE_URL_MALFORMAT:
        return 12005;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return 12006;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
        return 12175;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
        return 12030;
    case CURLE_WEIRD_SERVER_REPLY:
        return 12152;
    case CURLE_OUT_OF_MEMORY:
        return 8;
    default:
        return 12004;
    }
}

struct CurlFree {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
    void operator()(char* s) const { curl_free(s); }
};

// One request: the state the callbacks share.
struct Transfer {
    CURL* curl = nullptr;
    const NativeChunkCallback* onChunk = nullptr;
    NativeGetRecord* record = nullptr;
    bool headersDelivered = false;
    bool skipBody = false; // a redirect's or an error status's body
    bool stopped = false;
    bool timedOut = false;
    std::int32_t receiveTimeoutMs = 0;
    std::chrono::steady_clock::time_point lastData = std::chrono::steady_clock::now();

    bool deliverHeaders()
    {
        headersDelivered = true;
        curl_off_t length = -1;
        curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        record->contentLength = length >= 0 ? length : -1;
        return (*onChunk)({}, record->contentLength);
    }
};

long responseCode(CURL* curl)
{
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

size_t onWrite(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    t->lastData = std::chrono::steady_clock::now();
    const long status = responseCode(t->curl);
    if (status < 200 || status > 299) {
        // The body of a redirect or an error is never read: the status (and
        // the Location header) decide, and a hostile server cannot make us
        // read without end.
        t->skipBody = true;
        return CURL_WRITEFUNC_ERROR;
    }
    if (!t->headersDelivered && !t->deliverHeaders()) {
        t->stopped = true;
        return CURL_WRITEFUNC_ERROR;
    }
    // libcurl hands over up to CURLOPT_BUFFERSIZE (64 KiB) at a time.
    t->record->received += bytes;
    if (!(*t->onChunk)({ reinterpret_cast<const std::uint8_t*>(data), bytes }, t->record->contentLength)) {
        t->stopped = true;
        return CURL_WRITEFUNC_ERROR;
    }
    return bytes;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* t = static_cast<Transfer*>(user);
    // WinHTTP's receive timeout is per read: silence that long ends it.
    if (t->receiveTimeoutMs > 0
        && std::chrono::steady_clock::now() - t->lastData > std::chrono::milliseconds(t->receiveTimeoutMs)) {
        t->timedOut = true;
        return 1;
    }
    return 0;
}

void globalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool isHttpUrl(const std::string& url)
{
    std::unique_ptr<CURLU, CurlFree> parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return false;
    char* rawScheme = nullptr;
    char* rawHost = nullptr;
    curl_url_get(parsed.get(), CURLUPART_SCHEME, &rawScheme, 0);
    curl_url_get(parsed.get(), CURLUPART_HOST, &rawHost, 0);
    std::unique_ptr<char, CurlFree> scheme(rawScheme), host(rawHost);
    if (!scheme || !host || *host == '\0')
        return false;
    const std::string s = scheme.get();
    return s == "http" || s == "https";
}

} // namespace

int nativeHttpGet(const std::string& userAgent, const std::string& url, const std::optional<NativeTimeouts>& timeouts,
    const NativeChunkCallback& onChunk, NativeGetRecord* record)
{
    if (record == nullptr || url.empty() || !onChunk)
        return nativeGetInvalidArguments;
    *record = NativeGetRecord {};
    const auto failWith = [&](std::uint32_t error) {
        record->error = error;
        return nativeGetTransportFailure;
    };
    globalInit();

    std::string current = url;
    for (int redirects = 0;; ++redirects) {
        if (!isHttpUrl(current))
            return failWith(current.find("://") == std::string::npos ? 12005 : 12006);

        std::unique_ptr<CURL, CurlFree> curl(curl_easy_init());
        if (!curl)
            return failWith(8);
        std::unique_ptr<curl_slist, CurlFree> headers(curl_slist_append(nullptr, "Cache-Control: no-cache"));
        Transfer t;
        t.curl = curl.get();
        t.onChunk = &onChunk;
        t.record = record;
        CURL* c = curl.get();
        curl_easy_setopt(c, CURLOPT_URL, current.c_str());
        curl_easy_setopt(c, CURLOPT_USERAGENT, userAgent.empty() ? "CWinHTTP" : userAgent.c_str());
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L); // followed below, with the HTTPS-to-HTTP rule
        curl_easy_setopt(c, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(c, CURLOPT_BUFFERSIZE, static_cast<long>(nativeChunkSize));
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onWrite);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
        if (timeouts) {
            curl_easy_setopt(
                c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts->resolveMs + timeouts->connectMs));
            t.receiveTimeoutMs = timeouts->receiveMs;
        }
        t.lastData = std::chrono::steady_clock::now();
        const CURLcode result = curl_easy_perform(c);
        const long status = responseCode(c);

        if (t.stopped)
            return nativeGetStopped;
        if (t.timedOut)
            return failWith(12002);
        if (result != CURLE_OK && !t.skipBody)
            return failWith(winHttpCode(result));
        record->status = static_cast<std::uint32_t>(status);
        if (status >= 300 && status <= 399) {
            char* location = nullptr;
            curl_easy_getinfo(c, CURLINFO_REDIRECT_URL, &location);
            const bool follow = location != nullptr && redirects < kMaximumRedirects && isHttpUrl(location)
                && redirectAllowed(current, location);
            if (follow) {
                current = location;
                record->status = 0;
                continue;
            }
            return nativeGetHttpStatus;
        }
        if (status < 200 || status > 299)
            return nativeGetHttpStatus;
        if (!t.headersDelivered && !t.deliverHeaders())
            return nativeGetStopped;
        if (record->contentLength >= 0 && record->received != static_cast<std::uint64_t>(record->contentLength))
            return failWith(12030);
        return nativeGetOk;
    }
}

} // namespace zelmar
