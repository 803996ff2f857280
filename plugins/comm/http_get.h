// Plain HTTP(S) GET through WinHTTP, synchronous, on the calling thread.
// Every wait is bounded (name lookup, connect, send and each read), so a
// dead or stalled server ends the request with a failure within seconds.
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

// Fetches url (http:// or https://) into receiver. True only when the
// status was 200 and the whole body was handed over without a stop.
bool HttpGet(const std::wstring& url, const HttpReceiver& receiver);

// The body of url when it answers 200 and holds at most limit bytes.
bool HttpGetText(const std::wstring& url, size_t limit, std::string& body);

}  // namespace comm
