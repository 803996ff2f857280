#include "http_get.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace comm {
namespace {

struct InternetCloser {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

constexpr DWORD kReadPiece = 64 * 1024;

// The overall deadline, measured from the request's start.
class Clock {
public:
    explicit Clock(const HttpDeadlines& deadlines) : deadlines_(deadlines), start_(GetTickCount()) {}
    bool Expired() const { return GetTickCount() - start_ >= deadlines_.overallMs; }
    // The limit for the next wait: the stall deadline, or what is left of the overall one.
    int NextWaitMs() const {
        const DWORD spent = GetTickCount() - start_;
        const DWORD left = spent >= deadlines_.overallMs ? 1 : deadlines_.overallMs - spent;
        return static_cast<int>(std::min<DWORD>(left, deadlines_.stallMs));
    }

private:
    const HttpDeadlines deadlines_;
    const DWORD start_;
};

struct UrlParts {
    std::wstring host;
    std::wstring path;  // with the query
    INTERNET_PORT port = 0;
    bool secure = false;
};

bool SplitUrl(const std::wstring& url, UrlParts& parts) {
    URL_COMPONENTSW components{};
    components.dwStructSize = sizeof components;
    components.dwHostNameLength = static_cast<DWORD>(-1);
    components.dwUrlPathLength = static_cast<DWORD>(-1);
    components.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &components)) return false;
    if (components.nScheme != INTERNET_SCHEME_HTTP && components.nScheme != INTERNET_SCHEME_HTTPS) return false;
    parts.host.assign(components.lpszHostName, components.dwHostNameLength);
    parts.path.assign(components.lpszUrlPath, components.dwUrlPathLength);
    if (components.lpszExtraInfo) parts.path.append(components.lpszExtraInfo, components.dwExtraInfoLength);
    if (parts.path.empty()) parts.path = L"/";
    parts.port = components.nPort;
    parts.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
    return !parts.host.empty();
}

// Every wait of the request is bounded, the wait for the response's headers
// included: that one has a limit of its own, which the session's timeouts
// do not set (measured: under Wine a server that accepts and never answers
// otherwise holds the request for more than 30 s). Set again before each
// wait, so that no wait runs past the overall deadline.
bool LimitWaits(HINTERNET request, const Clock& clock) {
    const int waitMs = clock.NextWaitMs();
    DWORD headersMs = static_cast<DWORD>(waitMs);
    return WinHttpSetTimeouts(request, waitMs, waitMs, waitMs, waitMs) &&
           WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersMs, sizeof headersMs);
}

DWORD QueryNumber(HINTERNET request, DWORD what) {
    DWORD number = 0, size = sizeof number;
    if (!WinHttpQueryHeaders(request, what | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX, &number, &size,
                             WINHTTP_NO_HEADER_INDEX))
        return 0;
    return number;
}

bool ReadBody(HINTERNET request, const Clock& clock, const HttpReceiver& receiver) {
    std::vector<char> piece(kReadPiece);
    for (;;) {
        // Asked for what has come, a read returns at once; asked for a full
        // piece, a read waits for it (under Wine), and a server that drips
        // a byte now and then would hold it past every deadline.
        DWORD available = 0, read = 0;
        if (clock.Expired() || !LimitWaits(request, clock) || !WinHttpQueryDataAvailable(request, &available))
            return false;
        if (available == 0) return true;  // the end of the body
        if (!WinHttpReadData(request, piece.data(), std::min(available, kReadPiece), &read)) return false;
        if (read == 0) return true;  // the end of the body
        if (!receiver.bytes(piece.data(), read)) return false;
    }
}

// The errors by which WinHTTP refuses a secure connection: Windows names
// the certificate's fault; Wine reports every refused certificate as a
// failed secure channel (its log has the fault).
bool IsCertificateError(DWORD error) {
    switch (error) {
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE: return true;
    default: return false;
    }
}

// Sends the request and waits for the response's headers.
HttpOutcome Exchange(HINTERNET request, const Clock& clock) {
    if (WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
        LimitWaits(request, clock) && WinHttpReceiveResponse(request, nullptr))
        return clock.Expired() ? HttpOutcome::Failed : HttpOutcome::Done;
    const DWORD error = GetLastError();
    if (!IsCertificateError(error)) return HttpOutcome::Failed;
    OutputDebugStringW(
        (L"Comm: the secure connection was refused (WinHTTP error " + std::to_wstring(error) + L")\n").c_str());
    return HttpOutcome::Untrusted;
}

HttpOutcome Finish(bool whole) { return whole ? HttpOutcome::Done : HttpOutcome::Failed; }

}  // namespace

HttpOutcome HttpGet(const std::wstring& url, const HttpDeadlines& deadlines, const HttpReceiver& receiver) {
    const Clock clock(deadlines);
    const int waitMs = static_cast<int>(deadlines.stallMs);
    UrlParts parts;
    if (!SplitUrl(url, parts)) return HttpOutcome::Failed;
    InternetHandle session(WinHttpOpen(L"Lumarest-Comm/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session || !WinHttpSetTimeouts(session.get(), waitMs, waitMs, waitMs, waitMs)) return HttpOutcome::Failed;
    InternetHandle connection(WinHttpConnect(session.get(), parts.host.c_str(), parts.port, 0));
    if (!connection) return HttpOutcome::Failed;
    // The secure flag is what makes WinHTTP speak TLS and check the
    // certificate: without it an https address would be asked in the clear,
    // and whoever answers at that port would be believed.
    InternetHandle request(WinHttpOpenRequest(connection.get(), L"GET", parts.path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                              WINHTTP_DEFAULT_ACCEPT_TYPES, parts.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request || !LimitWaits(request.get(), clock)) return HttpOutcome::Failed;
    const HttpOutcome exchanged = Exchange(request.get(), clock);
    if (exchanged != HttpOutcome::Done) return exchanged;
    if (QueryNumber(request.get(), WINHTTP_QUERY_STATUS_CODE) != HTTP_STATUS_OK) return HttpOutcome::Failed;
    return Finish(receiver.start(QueryNumber(request.get(), WINHTTP_QUERY_CONTENT_LENGTH)) &&
                  ReadBody(request.get(), clock, receiver));
}

HttpOutcome HttpGetText(const std::wstring& url, size_t limit, const HttpDeadlines& deadlines, std::string& body) {
    body.clear();
    HttpReceiver receiver;
    receiver.start = [limit](uint64_t length) { return length <= limit; };
    receiver.bytes = [&body, limit](const char* bytes, size_t size) {
        if (size > limit - body.size()) return false;
        body.append(bytes, size);
        return true;
    };
    return HttpGet(url, deadlines, receiver);
}

}  // namespace comm
