#pragma once
#include <chrono>
#include <functional>
#include <string>

#include "Result.h"

// One HTTP/1.1 request and its whole reply over libcurl, with hard limits: the
// reply's body and headers are capped, the deadline and the cancel check are
// looked at every few tens of milliseconds whatever the server sends, and no
// redirect is followed (the caller decides).
namespace http {

using Clock = std::chrono::steady_clock;

// The replies are a few hundred bytes; anything near this is not one of them.
inline constexpr size_t kMaxBodyBytes = 1 << 20;
// Status lines and headers of the reply together, interim 1xx replies included.
inline constexpr size_t kMaxHeaderBytes = 64 * 1024;

struct Request {
    std::string url;
    bool post = true;
    std::string body;    // sent when post
    std::string extraCa; // a PEM file trusted besides the system's certificates, or empty
    Clock::time_point deadline;
    std::function<bool()> cancelled; // asked between waits; true gives up
};

struct Reply {
    long status = 0;
    std::string body;
    std::string redirect; // the absolute Location of a 3xx reply, else empty
};

Result<Reply> Exchange(const Request& request);

} // namespace http
