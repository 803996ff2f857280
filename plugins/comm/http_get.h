// Plain HTTP(S) GET through WinHTTP, synchronous, on the calling thread.
// Every request has two deadlines: a stall deadline (no byte, or no step of
// the exchange, for that long) and an overall one, so neither a dead server
// nor one that drips a byte now and then holds the caller for longer.
// HTTPS asks WinHTTP for a secure connection and takes its certificate
// checks as they are: a certificate that the system does not trust, or that
// is not the host's, fails the request, and says so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace comm {

struct HttpReceiver {
    // Called once the server answered 200, with the announced length (0 when
    // none was given); false stops the transfer.
    std::function<bool(uint64_t length)> start = [](uint64_t) { return true; };
    // Called for each piece of the body as it arrives; false stops the transfer.
    std::function<bool(const char* bytes, size_t size)> bytes;
};

struct HttpDeadlines {
    unsigned stallMs;
    unsigned overallMs;
};

enum class HttpOutcome {
    Done,       // status 200, and the whole body handed over without a stop, within the deadlines
    Failed,     // anything else
    Untrusted,  // the secure connection was refused: a certificate not trusted, not the host's, or out of date
};

// Fetches url (http:// or https://) into receiver.
HttpOutcome HttpGet(const std::wstring& url, const HttpDeadlines& deadlines, const HttpReceiver& receiver);

// The body of url when it answers 200 and holds at most limit bytes.
HttpOutcome HttpGetText(const std::wstring& url, size_t limit, const HttpDeadlines& deadlines, std::string& body);

}  // namespace comm
