// vendor-api: a stand-in for the vendor web API on loopback, over HTTP or HTTPS.
// Event-driven (libmicrohttpd on epoll), so slow or idle clients only hold a
// connection slot; headers, bodies, connections and idle time are all bounded.
#include <microhttpd.h>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "VendorApi.h"

namespace {

constexpr size_t kMaxBodyBytes = 64 * 1024;
constexpr size_t kMaxDiscardBytes = 1024 * 1024;
// Header lines of one request; a real client sends about ten.
constexpr size_t kMaxHeaderLines = 64;
// Everything a connection holds (request line, headers and their index) lives in this pool;
// at 32 KiB a request just over the line limit still leaves room for its refusal.
constexpr size_t kConnectionMemory = 32 * 1024;
constexpr unsigned kMaxConnections = 4096;
constexpr unsigned kIdleTimeoutSeconds = 10;
constexpr unsigned kThreads = 2;

int Fail(const std::string& why)
{
    std::fprintf(stderr, "vendor-api: %s\n", why.c_str());
    return 1;
}

// The shipped data: beside an installed binary, else in the source tree.
std::string DefaultDataPath()
{
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const auto installed = exe.parent_path().parent_path() / "share/vorlane-qr/vendor-data.json";
        if (std::filesystem::exists(installed, error)) return installed.string();
    }
    return VORLANE_DEFAULT_DATA;
}

struct Address {
    std::string host; // without brackets
    std::string port;
    bool ipv6Literal = false;
};

// Exactly HOST:PORT or [IPV6]:PORT, PORT being 0 (any free port) to 65535 in decimal digits.
std::optional<Address> ParseListen(const std::string& text)
{
    Address a;
    size_t portAt;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find("]:");
        if (close == std::string::npos) return std::nullopt;
        a.host = text.substr(1, close - 1);
        a.ipv6Literal = true;
        portAt = close + 2;
    } else {
        const size_t colon = text.find(':');
        if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos) return std::nullopt;
        a.host = text.substr(0, colon);
        portAt = colon + 1;
    }
    a.port = text.substr(portAt);
    if (a.host.empty() || a.port.empty() || a.port.size() > 5) return std::nullopt;
    for (const char c : a.port)
        if (c < '0' || c > '9') return std::nullopt;
    if (std::stoul(a.port) > 65535) return std::nullopt;
    return a;
}

// A listening socket of our own: a busy port is refused (no SO_REUSEPORT, so no
// second server shares it) and the bound port is known for port 0.
int Listen(const Address& address, int& port, std::string& why)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV | (address.ipv6Literal ? AI_NUMERICHOST : 0);
    addrinfo* found = nullptr;
    if (const int error = ::getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &found); error != 0) {
        why = "cannot resolve " + address.host + ": " + gai_strerror(error);
        return -1;
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, &::freeaddrinfo);
    const int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    if (fd < 0) {
        why = std::string("cannot make a socket: ") + std::strerror(errno);
        return -1;
    }
    const int on = 1, off = 0;
    // SO_REUSEADDR only lets a restart bind past connections in TIME_WAIT; Linux
    // still refuses a port another socket listens on.
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (found->ai_family == AF_INET6) ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    if (::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        why = "cannot listen on " + address.host + ":" + address.port + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                             : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    return fd;
}

// A certificate or key: a regular file of at most 1 MB.
std::optional<std::string> ReadPem(const std::string& path, std::string& why)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > 1024 * 1024) {
        why = "cannot use " + path + ": not a readable regular file of at most 1 MB";
        return std::nullopt;
    }
    std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "rbe"), &std::fclose);
    std::string text(static_cast<size_t>(st.st_size), '\0');
    if (!file || std::fread(text.data(), 1, text.size(), file.get()) != text.size()) {
        why = "cannot read " + path;
        return std::nullopt;
    }
    return text;
}

// One request in flight: its body so far (at most kMaxBodyBytes of it).
struct Exchange {
    std::string body;
    size_t received = 0;
    bool answered = false;
};

MHD_Result Reply(MHD_Connection* connection, unsigned status, const std::string& json)
{
    MHD_Response* response =
        MHD_create_response_from_buffer(json.size(), const_cast<char*>(json.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "application/json; charset=utf-8");
    const MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

// Checks that need only the request line and headers; a refusal is answered at once.
std::optional<std::pair<unsigned, std::string>> Refuse(MHD_Connection* connection, const char* url, const char* method)
{
    if (MHD_get_connection_values(connection, MHD_HEADER_KIND, nullptr, nullptr) > static_cast<int>(kMaxHeaderLines))
        return std::pair{MHD_HTTP_REQUEST_HEADER_FIELDS_TOO_LARGE, Refusal("请求头过大")};
    if (std::strcmp(url, vendor::kVersionPath) != 0 && std::strcmp(url, vendor::kLookupPath) != 0)
        return std::pair{MHD_HTTP_NOT_FOUND, Refusal("请求无效")};
    if (std::strcmp(method, MHD_HTTP_METHOD_POST) != 0)
        return std::pair{MHD_HTTP_METHOD_NOT_ALLOWED, Refusal("请求无效")};
    const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (length && std::strtoull(length, nullptr, 10) > kMaxBodyBytes)
        return std::pair{MHD_HTTP_CONTENT_TOO_LARGE, Refusal("请求过大")};
    return std::nullopt;
}

MHD_Result Answer(void* cls, MHD_Connection* connection, const char* url, const char* method, const char*,
                  const char* upload, size_t* uploadSize, void** state)
{
    const auto& data = *static_cast<const VendorData*>(cls);
    auto* exchange = static_cast<Exchange*>(*state);
    if (!exchange) {
        // Owned by the connection from here on; freed in Completed.
        exchange = std::make_unique<Exchange>().release();
        *state = exchange;
        if (const auto refusal = Refuse(connection, url, method)) {
            exchange->answered = true;
            return Reply(connection, refusal->first, refusal->second);
        }
        return MHD_YES;
    }
    if (*uploadSize > 0) {
        const size_t size = std::exchange(*uploadSize, 0);
        exchange->received += size;
        if (!exchange->answered && exchange->received <= kMaxBodyBytes) exchange->body.append(upload, size);
        // Past the bound a body is read on (and dropped) only so far, for its refusal; then the connection goes.
        return exchange->received <= kMaxDiscardBytes ? MHD_YES : MHD_NO;
    }
    if (exchange->answered) return MHD_YES;
    exchange->answered = true;
    if (exchange->received > kMaxBodyBytes) return Reply(connection, MHD_HTTP_CONTENT_TOO_LARGE, Refusal("请求过大"));
    return Reply(connection, MHD_HTTP_OK,
                 std::strcmp(url, vendor::kVersionPath) == 0 ? HandleVersion(data, exchange->body)
                                                             : HandleLookup(data, exchange->body));
}

void Completed(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode)
{
    delete static_cast<Exchange*>(*state);
    *state = nullptr;
}

// The library's own words, kept for the one line printed when start-up fails.
std::mutex g_logMutex;
std::string g_lastLibraryMessage;
std::atomic<bool> g_started{false};

void Log(void*, const char* format, va_list args)
{
    if (g_started) return;
    char line[512];
    std::vsnprintf(line, sizeof line, format, args);
    const std::lock_guard lock(g_logMutex);
    g_lastLibraryMessage = line;
    while (!g_lastLibraryMessage.empty() && g_lastLibraryMessage.back() == '\n') g_lastLibraryMessage.pop_back();
}

// 1,000 clients and more need more descriptors than a shell's default.
void RaiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

constexpr char kUsage[] = "usage: vendor-api [--listen HOST:PORT] [--cert FILE --key FILE] [--data FILE]";

struct Options {
    bool help = false, version = false; // print and exit
    std::string listen = "127.0.0.1:0";
    std::string cert, key;
    std::string dataPath = DefaultDataPath();
};

std::optional<Options> ParseArguments(int argc, char** argv, std::string& why)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help" || arg == "-V" || arg == "--version") {
            (arg == "-h" || arg == "--help" ? o.help : o.version) = true;
            return o;
        }
        std::string* into = arg == "--listen" ? &o.listen
                            : arg == "--cert" ? &o.cert
                            : arg == "--key"  ? &o.key
                            : arg == "--data" ? &o.dataPath
                                              : nullptr;
        if (!into) {
            why = "unknown argument " + arg + " (" + kUsage + ")";
            return std::nullopt;
        }
        if (i + 1 >= argc) {
            why = arg + " takes a value";
            return std::nullopt;
        }
        *into = argv[++i];
    }
    if (o.cert.empty() != o.key.empty()) {
        why = "--cert and --key go together";
        return std::nullopt;
    }
    return o;
}

struct StopDaemon {
    void operator()(MHD_Daemon* d) const { MHD_stop_daemon(d); } // also closes the listening socket
};
using Daemon = std::unique_ptr<MHD_Daemon, StopDaemon>;

// Serves on the listening socket fd; the certificate and key (PEM) switch on TLS.
Daemon Serve(int fd, const VendorData& data, const std::optional<std::string>& certPem,
             const std::optional<std::string>& keyPem)
{
    std::vector<MHD_OptionItem> options = {
        {MHD_OPTION_EXTERNAL_LOGGER, reinterpret_cast<intptr_t>(&Log), nullptr}, // first, so it sees every message
        {MHD_OPTION_LISTEN_SOCKET, fd, nullptr},
        {MHD_OPTION_THREAD_POOL_SIZE, kThreads, nullptr},
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory, nullptr},
        {MHD_OPTION_CONNECTION_LIMIT, kMaxConnections, nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, kIdleTimeoutSeconds, nullptr},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&Completed), nullptr},
        {MHD_OPTION_SIGPIPE_HANDLED_BY_APP, 1, nullptr},
    };
    unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ERROR_LOG;
    if (certPem && keyPem) {
        flags |= MHD_USE_TLS;
        options.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(certPem->c_str())});
        options.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(keyPem->c_str())});
    }
    options.push_back({MHD_OPTION_END, 0, nullptr});
    return Daemon(MHD_start_daemon(flags, 0, nullptr, nullptr, &Answer, const_cast<VendorData*>(&data),
                                   MHD_OPTION_ARRAY, options.data(), MHD_OPTION_END));
}

} // namespace

int main(int argc, char** argv)
{
    std::string why;
    const auto options = ParseArguments(argc, argv, why);
    if (!options) return Fail(why);
    if (options->help || options->version) {
        std::printf("%s\n", options->help ? kUsage : (std::string("vendor-api ") + kProgramVersion).c_str());
        return 0;
    }
    const auto address = ParseListen(options->listen);
    if (!address) return Fail("--listen takes HOST:PORT with a port from 0 to 65535, not " + options->listen);
    const auto data = LoadVendorData(options->dataPath, why);
    if (!data) return Fail(why);
    std::optional<std::string> certPem, keyPem;
    if (!options->cert.empty()) {
        certPem = ReadPem(options->cert, why);
        if (certPem) keyPem = ReadPem(options->key, why);
        if (!keyPem) return Fail(why);
    }

    RaiseDescriptorLimit();
    std::signal(SIGPIPE, SIG_IGN);
    // The serving threads inherit this mask; only the main thread takes the stop signals.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    int port = 0;
    const int fd = Listen(*address, port, why);
    if (fd < 0) return Fail(why);
    const Daemon daemon = Serve(fd, *data, certPem, keyPem);
    if (!daemon) {
        const std::lock_guard lock(g_logMutex);
        return Fail(certPem ? "cannot use the certificate " + options->cert + " and key " + options->key +
                                  (g_lastLibraryMessage.empty() ? "" : ": " + g_lastLibraryMessage)
                            : "cannot start serving: " + g_lastLibraryMessage);
    }
    g_started = true;
    const std::string host = address->host.find(':') != std::string::npos ? "[" + address->host + "]" : address->host;
    std::printf("listening on %s://%s:%d\n", certPem ? "https" : "http", host.c_str(), port);
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stop, &signal);
    return 0;
}
