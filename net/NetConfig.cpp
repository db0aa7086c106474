#include "NetConfig.h"

#include <algorithm>

namespace netconfig {

QString CaFile() { return qEnvironmentVariable("VORLANE_CA_FILE"); }

int HttpTimeoutMs()
{
    constexpr int kDefault = 10000, kLongest = 10 * 60 * 1000;
    const QByteArray text = qgetenv("VORLANE_HTTP_TIMEOUT_MS");
    if (text.isEmpty()) return kDefault;
    // Digits only; the sum saturates, so no length of digits can overflow it.
    int ms = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return kDefault;
        ms = std::min(ms * 10 + (c - '0'), kLongest + 1);
    }
    return std::clamp(ms, 1, kLongest);
}

} // namespace netconfig
