// vendor-api: a stand-in for the vendor web API on loopback, over HTTP or HTTPS.
// Event-driven (epoll, two threads), so slow or idle clients only hold a cheap slot; every
// request has a whole time from its first byte, and headers, bodies and idle time are bounded.
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Server.h"
#include "VendorApi.h"

namespace {

constexpr unsigned kThreads = 2;
// Descriptors kept back from the connection slots: the listener, the loops' own, the data file.
constexpr rlim_t kSpareDescriptors = 64;

int Quit(const std::string& why)
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

struct Listener {
    int fd;
    int port; // the bound one, known for port 0
};

// A listening socket of our own: a busy port is refused (no SO_REUSEPORT, so no
// second server shares it).
Result<Listener> Listen(const Address& address)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV | (address.ipv6Literal ? AI_NUMERICHOST : 0);
    addrinfo* found = nullptr;
    if (const int error = ::getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &found); error != 0) {
        return Fail("cannot resolve " + address.host + ": " + gai_strerror(error));
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, &::freeaddrinfo);
    const int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, found->ai_protocol);
    if (fd < 0) {
        return Fail(std::string("cannot make a socket: ") + std::strerror(errno));
    }
    const int on = 1, off = 0;
    // SO_REUSEADDR only lets a restart bind past connections in TIME_WAIT; Linux
    // still refuses a port another socket listens on.
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (found->ai_family == AF_INET6) ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    if (::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        const std::string why = "cannot listen on " + address.host + ":" + address.port + ": " + std::strerror(errno);
        ::close(fd);
        return Fail(why);
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    return Listener{fd, ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                          : reinterpret_cast<sockaddr_in*>(&bound)->sin_port)};
}

// A certificate or key: a regular file of at most 1 MB.
Result<std::string> ReadPem(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > 1024 * 1024) {
        return Fail("cannot use " + path + ": not a readable regular file of at most 1 MB");
    }
    std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "rbe"), &std::fclose);
    std::string text(static_cast<size_t>(st.st_size), '\0');
    if (!file || std::fread(text.data(), 1, text.size(), file.get()) != text.size()) {
        return Fail("cannot read " + path);
    }
    return text;
}

// The two endpoints; anything else is refused as JSON too.
http::Answer Route(const VendorData& data, const http::Request& request)
{
    const bool version = request.path == vendor::kVersionPath;
    if (!version && request.path != vendor::kLookupPath) return {404, Refusal("请求无效")};
    if (request.method != "POST") return {405, Refusal("请求无效")};
    return {200, version ? HandleVersion(data, request.body) : HandleLookup(data, request.body)};
}

// Every descriptor the system allows is a connection slot: a shell's default of 1,024 would let
// a thousand trickling clients take them all. Returns the slots.
size_t RaiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024 - kSpareDescriptors;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? 1 << 20 : limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur > 2 * kSpareDescriptors ? limit.rlim_cur - kSpareDescriptors : limit.rlim_cur / 2;
}

constexpr char kUsage[] = "usage: vendor-api [--listen HOST:PORT] [--cert FILE --key FILE] [--data FILE]";

struct Options {
    bool help = false, version = false; // print and exit
    std::string listen = "127.0.0.1:0";
    std::string cert, key;
    std::string dataPath = DefaultDataPath();
};

Result<Options> ParseArguments(int argc, char** argv)
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
            return Fail("unknown argument " + arg + " (" + kUsage + ")");
        }
        if (i + 1 >= argc) {
            return Fail(arg + " takes a value");
        }
        *into = argv[++i];
    }
    if (o.cert.empty() != o.key.empty()) {
        return Fail("--cert and --key go together");
    }
    return o;
}

} // namespace

int main(int argc, char** argv)
{
    const auto options = ParseArguments(argc, argv);
    if (!options) return Quit(options.error());
    if (options->help || options->version) {
        std::printf("%s\n", options->help ? kUsage : (std::string("vendor-api ") + kProgramVersion).c_str());
        return 0;
    }
    const auto address = ParseListen(options->listen);
    if (!address) return Quit("--listen takes HOST:PORT with a port from 0 to 65535, not " + options->listen);
    const auto data = LoadVendorData(options->dataPath);
    if (!data) return Quit(data.error());
    const bool https = !options->cert.empty();
    std::string certPem, keyPem;
    if (https) {
        const auto cert = ReadPem(options->cert);
        if (!cert) return Quit(cert.error());
        const auto key = ReadPem(options->key);
        if (!key) return Quit(key.error());
        certPem = *cert;
        keyPem = *key;
    }

    const size_t slots = RaiseDescriptorLimit();
    std::signal(SIGPIPE, SIG_IGN);
    // The serving threads inherit this mask; only the main thread takes the stop signals.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    std::unique_ptr<http::TlsCredentials> tls;
    if (https) {
        auto made = http::TlsCredentials::FromPem(certPem, keyPem);
        if (!made)
            return Quit("cannot use the certificate " + options->cert + " and key " + options->key + ": " +
                        made.error());
        tls = std::move(*made);
    }
    const auto listener = Listen(*address);
    if (!listener) return Quit(listener.error());
    const int fd = listener->fd;
    http::Server server(
        fd, tls.get(), [&data](const http::Request& r) { return Route(*data, r); }, kThreads, slots);
    const std::string host = address->host.find(':') != std::string::npos ? "[" + address->host + "]" : address->host;
    std::printf("listening on %s://%s:%d\n", tls ? "https" : "http", host.c_str(), listener->port);
    std::fflush(stdout);

    // A stop signal lets the requests under way finish (for a few seconds at most), then ends well.
    int signal = 0;
    sigwait(&stop, &signal);
    server.Stop();
    ::close(fd);
    return 0;
}
