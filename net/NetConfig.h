#pragma once
#include <QString>

// What the HTTP client reads from the environment.
namespace netconfig {

QString CaFile();    // VORLANE_CA_FILE, an extra trusted certificate (PEM), may be empty
int HttpTimeoutMs(); // VORLANE_HTTP_TIMEOUT_MS: digits only, 1 ms .. 10 min, else 10000

} // namespace netconfig
