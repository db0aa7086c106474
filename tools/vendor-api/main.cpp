// vendor-api: a stand-in for the vendor web API on loopback, over HTTP or HTTPS.
#include <httplib.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "VendorApi.h"

namespace {

int Usage(const std::string& why)
{
    std::cerr << "vendor-api: " << why << "\n"
              << "usage: vendor-api --listen HOST:PORT [--cert FILE --key FILE] [--data FILE]\n"
                 "  PORT 0 picks a free port; the first line printed names the address.\n";
    return 2;
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

void Json(httplib::Response& res, const std::string& body, int status = 200)
{
    res.status = status;
    res.set_content(body, "application/json; charset=utf-8");
}

} // namespace

int main(int argc, char** argv)
{
    std::string listen = "127.0.0.1:0", cert, key, dataPath = DefaultDataPath();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Usage(arg + " takes a value");
        if (arg == "--listen") listen = argv[++i];
        else if (arg == "--cert") cert = argv[++i];
        else if (arg == "--key") key = argv[++i];
        else if (arg == "--data") dataPath = argv[++i];
        else return Usage("unknown argument " + arg);
    }
    const size_t colon = listen.rfind(':');
    if (colon == std::string::npos) return Usage("--listen takes HOST:PORT");
    const std::string host = listen.substr(0, colon);
    int port = -1;
    try {
        port = std::stoi(listen.substr(colon + 1));
    } catch (...) {
    }
    if (port < 0 || port > 65535) return Usage("bad port in " + listen);
    if (cert.empty() != key.empty()) return Usage("--cert and --key go together");

    std::string why;
    const auto data = LoadVendorData(dataPath, why);
    if (!data) {
        std::cerr << "vendor-api: " << why << "\n";
        return 1;
    }

    std::unique_ptr<httplib::Server> server;
    if (cert.empty()) server = std::make_unique<httplib::Server>();
    else server = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
    if (!server->is_valid()) {
        std::cerr << "vendor-api: cannot use the certificate " << cert << " and key " << key << "\n";
        return 1;
    }

    server->set_payload_max_length(64 * 1024);
    server->set_read_timeout(5, 0);
    server->set_write_timeout(5, 0);
    server->Post(vendor::kVersionPath, [&](const httplib::Request& req, httplib::Response& res) {
        Json(res, HandleVersion(*data, req.body));
    });
    server->Post(vendor::kLookupPath, [&](const httplib::Request& req, httplib::Response& res) {
        Json(res, HandleLookup(*data, req.body));
    });
    // Anything else (unknown path or method, a body over 64 KiB) gets a JSON refusal.
    server->set_error_handler([](const httplib::Request&, httplib::Response& res) {
        Json(res, Refusal(res.status == 413 ? "请求过大" : "请求无效"), res.status);
    });

    const int bound = port == 0 ? server->bind_to_any_port(host) : (server->bind_to_port(host, port) ? port : -1);
    if (bound <= 0) {
        std::cerr << "vendor-api: cannot listen on " << listen << "\n";
        return 1;
    }
    std::printf("listening on %s://%s:%d\n", cert.empty() ? "http" : "https", host.c_str(), bound);
    std::fflush(stdout);
    return server->listen_after_bind() ? 0 : 1;
}
