#pragma once
#include <QString>

// Addresses compiled in at configure time, each overridable from the environment.
namespace netconfig {

QString ApiBaseUrl(); // VORLANE_API_URL
QString WebsiteUrl(); // VORLANE_WEBSITE_URL, the studio site
QString CompanyUrl(); // VORLANE_COMPANY_URL
QString CaFile();     // VORLANE_CA_FILE, an extra trusted certificate (PEM), may be empty
int HttpTimeoutMs();  // VORLANE_HTTP_TIMEOUT_MS: digits only, 1 ms .. 10 min, else 10000
QString ApiUrl(const QString& path);
QString UpdatePageUrl(const QString& sid);

} // namespace netconfig
