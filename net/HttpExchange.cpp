#include "HttpExchange.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace http {
namespace {

// The longest wait between two looks at the deadline and the cancel check.
constexpr long kPollMs = 50;

struct CurlLibrary {
    CurlLibrary() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CurlLibrary() { curl_global_cleanup(); }
    CurlLibrary(const CurlLibrary&) = delete;
    CurlLibrary& operator=(const CurlLibrary&) = delete;
};

struct EasyCleanup {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Easy = std::unique_ptr<CURL, EasyCleanup>;
using HeaderList = std::unique_ptr<curl_slist, ListCleanup>;

// A multi handle driving one easy handle, detached again before either goes.
class Transfer {
public:
    explicit Transfer(CURL* easy) : multi_(curl_multi_init()), easy_(easy)
    {
        if (multi_) added_ = curl_multi_add_handle(multi_, easy_) == CURLM_OK;
    }
    ~Transfer()
    {
        if (added_) curl_multi_remove_handle(multi_, easy_);
        if (multi_) curl_multi_cleanup(multi_);
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    bool Ready() const { return added_; }
    CURLM* Multi() const { return multi_; }

private:
    CURLM* multi_;
    CURL* easy_;
    bool added_ = false;
};

// What the callbacks take in, and why they stopped the transfer, if they did.
struct Sink {
    std::string body;
    size_t headerBytes = 0;
    const char* stopped = nullptr;
};

size_t OnBody(char* data, size_t size, size_t count, void* user)
{
    auto* sink = static_cast<Sink*>(user);
    const size_t bytes = size * count;
    if (sink->body.size() + bytes > kMaxBodyBytes) {
        sink->stopped = "the reply is longer than 1 MiB";
        return CURL_WRITEFUNC_ERROR;
    }
    sink->body.append(data, bytes);
    return bytes;
}

size_t OnHeader(char*, size_t size, size_t count, void* user)
{
    auto* sink = static_cast<Sink*>(user);
    const size_t bytes = size * count;
    sink->headerBytes += bytes;
    if (sink->headerBytes > kMaxHeaderBytes) {
        sink->stopped = "the reply's headers are longer than 64 KiB";
        return 0;
    }
    return bytes;
}

bool HasEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

// Proxies as the platform's resolver takes them from the environment: an https
// address without an https proxy goes through http_proxy. libcurl reads the
// rest (http_proxy, https_proxy, all_proxy, no_proxy) itself.
void UseProxyOfEnvironment(CURL* easy, const std::string& url)
{
    if (url.rfind("https:", 0) != 0 || HasEnv("https_proxy") || HasEnv("HTTPS_PROXY") || HasEnv("all_proxy") ||
        HasEnv("ALL_PROXY") || !HasEnv("http_proxy"))
        return;
    curl_easy_setopt(easy, CURLOPT_PROXY, std::getenv("http_proxy"));
}

long MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<long>(std::max<decltype(left)>(left, 0));
}

void SetLimits(CURL* easy, const Request& request)
{
    // Each exchange gets what is left of the caller's deadline, at least 1 ms (0 would mean none).
    const long left = std::max(MillisecondsLeft(request.deadline), 1L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, left);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, left);
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes));
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    // A compressed body stays as it came, so no bomb can grow past the cap.
    curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    // A name look-up still running at the end is left to finish on its own rather than waited for.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    // Signals stay on: libcurl then keeps a write to a closed TLS connection from raising SIGPIPE.
    // Look-ups run on a thread of their own, so no alarm is ever set.
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 0L);
}

HeaderList SetRequest(CURL* easy, const Request& request, Sink& sink, char* errors)
{
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errors);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &sink);
    if (request.post) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.c_str());
    } else {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    }
    if (!request.extraCa.empty()) {
        // CAINFO alone would replace the system's bundle; the system's folder keeps it trusted.
        const char* systemFolder = nullptr;
        curl_easy_getinfo(easy, CURLINFO_CAPATH, &systemFolder);
        curl_easy_setopt(easy, CURLOPT_CAINFO, request.extraCa.c_str());
        curl_easy_setopt(easy, CURLOPT_CAPATH, systemFolder ? systemFolder : "/etc/ssl/certs");
    }
    UseProxyOfEnvironment(easy, request.url);
    // The header's name is sent as written; no "Expect: 100-continue" wait.
    HeaderList headers(curl_slist_append(nullptr, "CONTENT-TYPE: application/x-www-form-urlencoded"));
    if (headers) curl_slist_append(headers.get(), "Expect:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());
    return headers;
}

// Drives the transfer to its end in short waits; nothing when it ended on its own.
Result<void> Drive(const Transfer& transfer, const Request& request)
{
    for (;;) {
        int running = 0;
        if (curl_multi_perform(transfer.Multi(), &running) != CURLM_OK) return Fail("the transfer broke down");
        if (running == 0) return {};
        if (request.cancelled && request.cancelled()) return Fail("cancelled");
        const long left = MillisecondsLeft(request.deadline);
        if (left == 0) return Fail("no whole reply by the deadline");
        curl_multi_poll(transfer.Multi(), nullptr, 0, static_cast<int>(std::min(left, kPollMs)), nullptr);
    }
}

Result<Reply> Outcome(CURL* easy, const Transfer& transfer, Sink& sink, const char* errors)
{
    int queued = 0;
    const CURLMsg* message = curl_multi_info_read(transfer.Multi(), &queued);
    const CURLcode code = message && message->msg == CURLMSG_DONE ? message->data.result : CURLE_FAILED_INIT;
    if (sink.stopped) return Fail(sink.stopped);
    // libcurl refuses a header line over 100 KiB as if memory ran out, without a message.
    if (code == CURLE_OUT_OF_MEMORY && !*errors) return Fail("a header line over 100 KiB, or no memory left");
    if (code != CURLE_OK) return Fail(std::string(*errors ? errors : curl_easy_strerror(code)));
    Reply reply;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply.status);
    const char* location = nullptr;
    if (reply.status >= 300 && reply.status <= 399 &&
        curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location)
        reply.redirect = location;
    reply.body = std::move(sink.body);
    return reply;
}

} // namespace

Result<Reply> Exchange(const Request& request)
{
    static CurlLibrary library;
    if (MillisecondsLeft(request.deadline) == 0) return Fail("no whole reply by the deadline");
    const Easy easy(curl_easy_init());
    if (!easy) return Fail("cannot start a request");
    Sink sink;
    char errors[CURL_ERROR_SIZE] = {};
    const HeaderList headers = SetRequest(easy.get(), request, sink, errors);
    SetLimits(easy.get(), request);
    const Transfer transfer(easy.get());
    if (!transfer.Ready()) return Fail("cannot start a request");
    if (auto driven = Drive(transfer, request); !driven) return Fail(sink.stopped ? sink.stopped : driven.error());
    return Outcome(easy.get(), transfer, sink, errors);
}

} // namespace http
