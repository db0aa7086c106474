#pragma once
#include <QString>
#include <QUrl>

// This program's version and the vendor's addresses: compiled in at configure
// time, each address overridable from the environment.
namespace vendor {

QString ProgramVersion(); // as the window title shows it

QString ApiBaseUrl(); // VORLANE_API_URL
QString ApiUrl(const QString& path);

QUrl StudioWebsite();  // VORLANE_WEBSITE_URL
QUrl CompanyWebsite(); // VORLANE_COMPANY_URL

// Where an offered version is downloaded: on the studio site, always over HTTPS.
QString UpdatePageUrl(const QString& sid);

} // namespace vendor
