#include "VendorConfig.h"

#include "ProgramVersion.h"

namespace vendor {
namespace {

QString FromEnv(const char* name, const char* fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString::fromUtf8(fallback) : value;
}

QString WebsiteUrl() { return FromEnv("VORLANE_WEBSITE_URL", VORLANE_DEFAULT_WEBSITE_URL); }

} // namespace

QString ProgramVersion() { return QString::fromLatin1(kProgramVersion); }

QString ApiBaseUrl() { return FromEnv("VORLANE_API_URL", VORLANE_DEFAULT_API_URL); }

QString ApiUrl(const QString& path)
{
    QString base = ApiBaseUrl();
    while (base.endsWith(u'/')) base.chop(1);
    return base + path;
}

QUrl StudioWebsite() { return QUrl(WebsiteUrl()); }

QUrl CompanyWebsite() { return QUrl(FromEnv("VORLANE_COMPANY_URL", VORLANE_DEFAULT_COMPANY_URL)); }

QString UpdatePageUrl(const QString& sid)
{
    QUrl site(WebsiteUrl());
    site.setScheme(QStringLiteral("https"));
    site.setPath(QStringLiteral("/index.php/Works/detail/sid/") + sid);
    return site.toString();
}

} // namespace vendor
