#include "NetConfig.h"

#include <QUrl>
#include <algorithm>

namespace netconfig {
namespace {

QString FromEnv(const char* name, const char* fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString::fromUtf8(fallback) : value;
}

} // namespace

QString ApiBaseUrl() { return FromEnv("VORLANE_API_URL", VORLANE_DEFAULT_API_URL); }
QString WebsiteUrl() { return FromEnv("VORLANE_WEBSITE_URL", VORLANE_DEFAULT_WEBSITE_URL); }
QString CompanyUrl() { return FromEnv("VORLANE_COMPANY_URL", VORLANE_DEFAULT_COMPANY_URL); }
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

QString ApiUrl(const QString& path)
{
    QString base = ApiBaseUrl();
    while (base.endsWith(u'/')) base.chop(1);
    return base + path;
}

QString UpdatePageUrl(const QString& sid)
{
    QUrl site(WebsiteUrl());
    site.setScheme(QStringLiteral("https"));
    site.setPath(QStringLiteral("/index.php/Works/detail/sid/") + sid);
    return site.toString();
}

} // namespace netconfig
