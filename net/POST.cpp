#include "POST.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "NetConfig.h"

QString HttpPost(const QString& url, const FormFields& fields)
{
    const QUrl target(url);
    if (!target.isValid() || (target.scheme() != u"https" && target.scheme() != u"http")) return {};

    QNetworkAccessManager manager;
    QNetworkRequest request(target);
    request.setRawHeader("CONTENT-TYPE", "application/x-www-form-urlencoded");
    request.setTransferTimeout(netconfig::HttpTimeoutMs());
    if (target.scheme() == u"https") {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        const QString ca = netconfig::CaFile();
        if (!ca.isEmpty()) ssl.addCaCertificates(ca);
        request.setSslConfiguration(ssl);
    }

    const QByteArray body = QByteArray::fromStdString(FormBody(fields));
    std::unique_ptr<QNetworkReply> reply(manager.post(request, body));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // A second guard in case the transfer time-out never fires (a stalled TLS handshake).
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, reply.get(), &QNetworkReply::abort);
    guard.start(netconfig::HttpTimeoutMs() + 1000);
    if (!reply->isFinished()) loop.exec();

    // Errors below 200 are transport failures (refused, time-out, TLS); HTTP
    // error statuses still carry a body, which is returned as it is.
    const auto error = reply->error();
    if (error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied) return {};
    return QString::fromUtf8(reply->readAll());
}
