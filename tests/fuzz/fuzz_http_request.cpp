// Requests from anywhere, as the stand-in's connections receive them: read at once or in two
// parts (the first byte says where to cut), the reader comes to the same end, never takes
// more than it was given, and never keeps a body past its bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "HttpRequest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const std::string_view in(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t cut = in.empty() ? 0 : data[0] * 257 % in.size();
    http::RequestReader whole, parts;
    const auto once = whole.Read(in);
    auto twice = parts.Read(in.substr(0, cut));
    if (twice == http::RequestReader::State::NeedMore) twice = parts.Read(in);
    if (once != twice) std::abort();
    if (whole.Consumed() > in.size() || whole.Got().body.size() > http::kMaxBodyBytes) std::abort();
    if (once == http::RequestReader::State::Done &&
        (whole.Consumed() != parts.Consumed() || whole.Got().body != parts.Got().body ||
         whole.Got().path != parts.Got().path || whole.Got().keepAlive != parts.Got().keepAlive))
        std::abort();
    if (once == http::RequestReader::State::Refused && whole.Why().status != parts.Why().status) std::abort();
    return 0;
}
