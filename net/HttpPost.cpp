#include "HttpPost.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QUrl>
#include <chrono>

#include "HttpExchange.h"
#include "NetConfig.h"

namespace {

constexpr int kMaxRedirects = 5;

bool SameOrigin(const QUrl& a, const QUrl& b)
{
    const int defaultPort = a.scheme() == u"https" ? 443 : 80;
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(defaultPort) == b.port(defaultPort);
}

bool IsWebAddress(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty() && (url.scheme() == u"https" || url.scheme() == u"http");
}

http::Request FirstRequest(const QUrl& origin, const FormFields& fields)
{
    http::Request request;
    request.url = origin.toString(QUrl::FullyEncoded).toStdString();
    request.body = FormBody(fields);
    // A file that cannot be read adds nothing; the system's certificates still count.
    const QString ca = netconfig::CaFile();
    if (!ca.isEmpty() && QFileInfo(ca).isReadable()) request.extraCa = QFile::encodeName(ca).toStdString();
    request.deadline = http::Clock::now() + std::chrono::milliseconds(netconfig::HttpTimeoutMs());
    // The window's wait asks its worker thread to stop when the answer is no longer wanted.
    request.cancelled = [] { return QThread::currentThread()->isInterruptionRequested(); };
    return request;
}

} // namespace

Result<QString> HttpPost(const QString& url, const FormFields& fields)
{
    const QUrl origin(url);
    if (!IsWebAddress(origin)) return Fail("not an http or https address: " + url.toStdString());
    http::Request request = FirstRequest(origin, fields);
    for (int redirects = 0;; ++redirects) {
        auto reply = http::Exchange(request);
        if (!reply) return Fail(reply.error());
        if (reply->redirect.empty()) return QString::fromUtf8(reply->body);
        // Each target is checked before anything is sent to it.
        const QUrl next(QString::fromStdString(reply->redirect));
        if (redirects == kMaxRedirects) return Fail("more than 5 redirects");
        if (!SameOrigin(origin, next)) return Fail("a redirect to another server: " + reply->redirect);
        // As browsers do: 307 and 308 repeat the POST, the others fetch the new address.
        request.post = request.post && (reply->status == 307 || reply->status == 308);
        request.url = next.toString(QUrl::FullyEncoded).toStdString();
    }
}
