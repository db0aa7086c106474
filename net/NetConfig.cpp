#include "NetConfig.h"

#include <QUrl>

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
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("VORLANE_HTTP_TIMEOUT_MS", &ok);
    return ok && ms > 0 ? ms : 10000;
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
