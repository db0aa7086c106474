#pragma once
// A strict reader of one HTTP/1.x request from the bytes a connection has received.
// Anything a request could be read two ways (two lengths, a length beside chunking, an
// unknown coding, a length with a sign, a space before a colon, a NUL in the path) is refused.
#include <cstddef>
#include <string>
#include <string_view>

namespace http {

// Bounds: the request line and headers, their line count, and the body once decoded.
inline constexpr std::size_t kMaxHeaderBytes = 32 * 1024;
inline constexpr std::size_t kMaxHeaderLines = 64;
inline constexpr std::size_t kMaxBodyBytes = 64 * 1024;

struct Request {
    std::string method;
    std::string path; // percent-decoded, without the query
    bool keepAlive = true;
    bool expectContinue = false;
    std::string body;
};

// What the server answers instead of reading on; the connection closes after it.
struct Refusal {
    unsigned status = 400;
    const char* message = "";
};

class RequestReader {
public:
    enum class State { NeedMore, Done, Refused };

    // Reads on through `in` (all bytes received and not yet consumed); call again when more arrive.
    State Read(std::string_view in);
    const Request& Got() const { return request_; }
    const Refusal& Why() const { return refusal_; }
    // Bytes of `in` the finished request took (a pipelined next request may follow).
    std::size_t Consumed() const { return at_; }
    // The headers are in and a body is still awaited.
    bool AwaitingBody() const { return phase_ == Phase::Body || phase_ == Phase::Chunks; }
    void Reset() { *this = RequestReader(); }

private:
    enum class Phase { Head, Body, Chunks, Done };
    enum class Chunk { Size, Data, DataEnd, Trailer };

    State Refuse(unsigned status, const char* message);
    State ReadHead(std::string_view in);
    State ReadHeaders(std::string_view block);
    State ReadChunks(std::string_view in);
    bool Header(std::string_view name, std::string_view value);

    Phase phase_ = Phase::Head;
    Chunk chunk_ = Chunk::Size;
    std::size_t scanned_ = 0; // where the search for the blank line resumes
    std::size_t at_ = 0;      // the first byte not yet taken
    std::size_t bodyLength_ = 0, chunkLeft_ = 0, trailerLines_ = 0;
    bool begun_ = false; // past any blank lines before the request line
    bool haveLength_ = false, chunked_ = false, haveHost_ = false, http10_ = false;
    Request request_;
    Refusal refusal_;
};

} // namespace http
