#include "POST.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <optional>

#include "NetConfig.h"

namespace {

// The replies are a few hundred bytes; anything near this is not one of them.
constexpr qint64 kMaxReplyBytes = 1 << 20;
// What Qt may hold for us between reads, so that an endless body costs no memory.
constexpr qint64 kReadBufferBytes = 64 * 1024;
constexpr int kMaxRedirects = 5;

bool SameOrigin(const QUrl& a, const QUrl& b)
{
    const int defaultPort = a.scheme() == u"https" ? 443 : 80;
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(defaultPort) == b.port(defaultPort);
}

// Waits for one reply with a local event loop: its body, or nothing when the
// transport fails, the body passes the cap, or the deadline passes first.
class ReplyReader {
public:
    ReplyReader(QNetworkReply& reply, const QDeadlineTimer& deadline) : reply_(reply), deadline_(deadline)
    {
        reply_.setReadBufferSize(kReadBufferBytes);
        QObject::connect(&reply_, &QNetworkReply::readyRead, &reply_, [this] { Read(); });
        QObject::connect(&reply_, &QNetworkReply::metaDataChanged, &reply_, [this] { CheckLength(); });
    }

    std::optional<QByteArray> Wait()
    {
        QEventLoop loop;
        QObject::connect(&reply_, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, [this] { GiveUp(); });
        timer.start(static_cast<int>(deadline_.remainingTime()));
        if (!reply_.isFinished()) loop.exec();
        Read();
        // Errors below 200 are transport failures (refused, time-out, TLS); HTTP
        // error statuses still carry a body, which is returned as it is.
        const auto error = reply_.error();
        if (failed_ || (error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied))
            return std::nullopt;
        return body_;
    }

private:
    void GiveUp()
    {
        if (failed_) return;
        failed_ = true;
        reply_.abort();
    }

    // The deadline is checked here too: a busy stream must not starve the timer.
    void Read()
    {
        if (failed_) return;
        if (deadline_.hasExpired()) return GiveUp();
        body_ += reply_.read(kMaxReplyBytes + 1 - body_.size());
        if (body_.size() > kMaxReplyBytes) GiveUp();
    }

    void CheckLength()
    {
        bool ok = false;
        const qint64 length = reply_.header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
        if (ok && length > kMaxReplyBytes) GiveUp();
    }

    QNetworkReply& reply_;
    const QDeadlineTimer& deadline_;
    QByteArray body_;
    bool failed_ = false;
};

// Where a reply sends the request next, if it is a redirect.
std::optional<QUrl> RedirectOf(const QNetworkReply& reply)
{
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QUrl location = reply.attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (status < 300 || status > 399 || location.isEmpty()) return std::nullopt;
    return reply.url().resolved(location);
}

} // namespace

QString HttpPost(const QString& url, const FormFields& fields)
{
    const QUrl origin(url);
    if (!origin.isValid() || (origin.scheme() != u"https" && origin.scheme() != u"http")) return {};
    const QDeadlineTimer deadline(netconfig::HttpTimeoutMs());

    QNetworkAccessManager manager;
    QNetworkRequest request(origin);
    request.setRawHeader("CONTENT-TYPE", "application/x-www-form-urlencoded");
    // Redirects are followed here, not by Qt, so that each target is checked
    // before anything is sent to it.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (origin.scheme() == u"https") {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        const QString ca = netconfig::CaFile();
        if (!ca.isEmpty()) ssl.addCaCertificates(ca);
        request.setSslConfiguration(ssl);
    }

    const QByteArray body = QByteArray::fromStdString(FormBody(fields));
    bool post = true;
    for (int redirects = 0;; ++redirects) {
        std::unique_ptr<QNetworkReply> reply(post ? manager.post(request, body) : manager.get(request));
        const auto text = ReplyReader(*reply, deadline).Wait();
        if (!text) return {};
        const auto next = RedirectOf(*reply);
        if (!next) return QString::fromUtf8(*text);
        if (redirects == kMaxRedirects || !SameOrigin(origin, *next)) return {};
        // As browsers do: 307 and 308 repeat the POST, the others fetch the new address.
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        post = post && (status == 307 || status == 308);
        request.setUrl(*next);
    }
}
