#include "HttpRequest.h"

#include <algorithm>
#include <cstdint>

namespace http {

namespace {

// All a chunked request may take on the wire, extensions and framing included.
constexpr std::size_t kMaxRequestBytes = 1024 * 1024;
constexpr std::size_t kMaxChunkLine = 1024;

bool IsTokenChar(unsigned char c)
{
    if (c >= '0' && c <= '9') return true;
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsToken(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), IsTokenChar); }

bool IsFieldText(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](unsigned char c) { return c == '\t' || (c >= ' ' && c != 0x7f); });
}

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return (x | 0x20) == (y | 0x20); });
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
    return -1;
}

// The path of an origin-form target, percent-decoded; false for a bad escape or a NUL.
bool DecodePath(std::string_view target, std::string& path)
{
    if (target.empty() || target.front() != '/') return false;
    target = target.substr(0, target.find('?'));
    for (std::size_t i = 0; i < target.size(); ++i) {
        if (target[i] != '%') {
            path += target[i];
            continue;
        }
        if (i + 2 >= target.size()) return false;
        const int high = HexDigit(target[i + 1]), low = HexDigit(target[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
        path += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

} // namespace

RequestReader::State RequestReader::Refuse(unsigned status, const char* message)
{
    refusal_ = {status, message};
    return State::Refused;
}

RequestReader::State RequestReader::Read(std::string_view in)
{
    switch (phase_) {
    case Phase::Head: return ReadHead(in);
    case Phase::Body:
        if (in.size() - at_ < bodyLength_) return State::NeedMore;
        request_.body.assign(in.substr(at_, bodyLength_));
        at_ += bodyLength_;
        phase_ = Phase::Done;
        return State::Done;
    case Phase::Chunks: return ReadChunks(in);
    case Phase::Done: break;
    }
    return State::Done;
}

RequestReader::State RequestReader::ReadHead(std::string_view in)
{
    if (!begun_) {
        // Blank lines before a request line are skipped, as clients may send one after a body.
        while (in.substr(at_, 2) == "\r\n") at_ += 2;
        if (at_ > kMaxHeaderBytes) return Refuse(400, "请求格式错误");
        if (in.size() == at_ || (in.size() == at_ + 1 && in[at_] == '\r')) return State::NeedMore;
        begun_ = true;
        scanned_ = at_;
    }
    const std::size_t end = in.find("\r\n\r\n", std::max(scanned_, at_ + 3) - 3);
    if (end == std::string_view::npos || end + 4 - at_ > kMaxHeaderBytes) {
        if (in.size() - at_ > kMaxHeaderBytes) return Refuse(431, "请求头过大");
        scanned_ = in.size();
        return State::NeedMore;
    }
    const std::string_view block = in.substr(at_, end + 2 - at_);
    at_ = end + 4;
    if (const State s = ReadHeaders(block); s != State::Done) return s;
    if (chunked_) {
        phase_ = Phase::Chunks;
        return ReadChunks(in);
    }
    if (bodyLength_ > kMaxBodyBytes) return Refuse(413, "请求过大");
    phase_ = bodyLength_ > 0 ? Phase::Body : Phase::Done;
    return Read(in);
}

// The request line and header lines, each ending in CRLF.
RequestReader::State RequestReader::ReadHeaders(std::string_view block)
{
    std::size_t lines = 0;
    for (std::size_t from = 0; from < block.size(); ++lines) {
        const std::size_t eol = block.find("\r\n", from);
        const std::string_view line = block.substr(from, eol - from);
        from = eol + 2;
        if (line.find_first_of("\r\n") != std::string_view::npos) return Refuse(400, "请求格式错误");
        if (lines == 0) {
            const std::size_t sp1 = line.find(' '), sp2 = line.find(' ', sp1 + 1);
            if (sp1 == std::string_view::npos || sp2 == std::string_view::npos) return Refuse(400, "请求格式错误");
            request_.method = line.substr(0, sp1);
            const std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1), version = line.substr(sp2 + 1);
            if (!IsToken(request_.method) || (version != "HTTP/1.1" && version != "HTTP/1.0") ||
                target.find_first_of(" \t") != std::string_view::npos || !IsFieldText(target) ||
                !DecodePath(target, request_.path))
                return Refuse(400, "请求格式错误");
            http10_ = version == "HTTP/1.0";
            request_.keepAlive = !http10_;
            continue;
        }
        if (lines > kMaxHeaderLines) return Refuse(431, "请求头过大");
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !IsToken(line.substr(0, colon)))
            return Refuse(400, "请求格式错误"); // a folded line or a space before the colon too
        const std::string_view value = Trim(line.substr(colon + 1));
        if (!IsFieldText(value) || !Header(line.substr(0, colon), value)) return Refuse(400, "请求格式错误");
    }
    if ((chunked_ && (haveLength_ || http10_)) || (!http10_ && !haveHost_)) return Refuse(400, "请求格式错误");
    return State::Done;
}

// False when the field makes the request ambiguous.
bool RequestReader::Header(std::string_view name, std::string_view value)
{
    if (SameText(name, "Content-Length")) {
        if (value.empty() || !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        std::size_t length = 0;
        for (const char c : value) length = std::min<std::size_t>(length * 10 + (c - '0'), SIZE_MAX / 16);
        if (haveLength_ && length != bodyLength_) return false;
        haveLength_ = true;
        bodyLength_ = length;
    } else if (SameText(name, "Transfer-Encoding")) {
        if (chunked_ || !SameText(value, "chunked")) return false;
        chunked_ = true;
    } else if (SameText(name, "Host")) {
        if (haveHost_) return false;
        haveHost_ = true;
    } else if (SameText(name, "Connection")) {
        for (std::size_t from = 0; from <= value.size();) {
            const std::size_t comma = std::min(value.find(',', from), value.size());
            const std::string_view option = Trim(value.substr(from, comma - from));
            if (SameText(option, "close")) request_.keepAlive = false;
            if (SameText(option, "keep-alive") && http10_) request_.keepAlive = true;
            from = comma + 1;
        }
    } else if (SameText(name, "Expect")) {
        request_.expectContinue = SameText(value, "100-continue");
    }
    return true;
}

RequestReader::State RequestReader::ReadChunks(std::string_view in)
{
    while (true) {
        if (at_ > kMaxRequestBytes) return Refuse(413, "请求过大");
        if (chunk_ == Chunk::Data) {
            const std::size_t take = std::min(chunkLeft_, in.size() - at_);
            request_.body.append(in.substr(at_, take));
            at_ += take;
            chunkLeft_ -= take;
            if (chunkLeft_ > 0) return State::NeedMore;
            chunk_ = Chunk::DataEnd;
            continue;
        }
        if (chunk_ == Chunk::DataEnd) {
            if (in.size() - at_ < 2) return State::NeedMore;
            if (in.substr(at_, 2) != "\r\n") return Refuse(400, "请求格式错误");
            at_ += 2;
            chunk_ = Chunk::Size;
            continue;
        }
        const std::size_t eol = in.find("\r\n", at_);
        if (eol == std::string_view::npos || eol - at_ > kMaxChunkLine) {
            if (std::min(eol, in.size()) - at_ <= kMaxChunkLine) return State::NeedMore;
            return chunk_ == Chunk::Size ? Refuse(400, "请求格式错误") : Refuse(431, "请求头过大");
        }
        const std::string_view line = in.substr(at_, eol - at_);
        at_ = eol + 2;
        if (chunk_ == Chunk::Trailer) {
            if (line.empty()) {
                phase_ = Phase::Done;
                return State::Done;
            }
            const std::size_t colon = line.find(':');
            if (++trailerLines_ > kMaxHeaderLines) return Refuse(431, "请求头过大");
            if (colon == std::string_view::npos || !IsToken(line.substr(0, colon)) || !IsFieldText(line))
                return Refuse(400, "请求格式错误");
            continue;
        }
        std::size_t digits = 0, size = 0;
        while (digits < line.size() && HexDigit(line[digits]) >= 0)
            size = std::min<std::size_t>(size * 16 + HexDigit(line[digits++]), SIZE_MAX / 32);
        const std::string_view rest = line.substr(digits);
        if (digits == 0 || (!rest.empty() && rest.front() != ';') || !IsFieldText(rest))
            return Refuse(400, "请求格式错误");
        if (size > kMaxBodyBytes - request_.body.size()) return Refuse(413, "请求过大");
        chunkLeft_ = size;
        chunk_ = size == 0 ? Chunk::Trailer : Chunk::Data;
    }
}

} // namespace http
