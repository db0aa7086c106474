#pragma once
// Clients of the vendor API stand-in over raw sockets: exact bytes out, whatever comes back.
#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QSslSocket>
#include <QTcpSocket>
#include <QUrl>
#include <memory>
#include <string>

#include "JsonReply.h"
#include "Md5.h"
#include "TestServers.h"

namespace testsupport {

inline constexpr char kDemoData[] = R"({"accounts":{"vorlane":"http://weixin.qq.com/r/demo"}})";

inline std::string Token(const std::u16string& account) { return Md5Hex(account + u"vokha", 32); }

inline quint16 PortOf(const VendorApi& api) { return static_cast<quint16>(QUrl(api.baseUrl).port()); }

// A connected socket, TLS (certificate unchecked) when asked; null when it cannot connect.
inline std::unique_ptr<QTcpSocket> Connect(quint16 port, bool tls = false,
                                           const QHostAddress& host = QHostAddress::LocalHost)
{
    if (tls) {
        auto s = std::make_unique<QSslSocket>();
        s->setPeerVerifyMode(QSslSocket::VerifyNone);
        s->connectToHostEncrypted(host.toString(), port);
        if (!s->waitForEncrypted(5000)) return nullptr;
        return s;
    }
    auto s = std::make_unique<QTcpSocket>();
    s->connectToHost(host, port);
    if (!s->waitForConnected(3000)) return nullptr;
    return s;
}

// What came back for a request, and whether the server closed the connection within waitMs.
struct Outcome {
    QByteArray reply;
    bool closed = false;
};

inline Outcome Exchange(quint16 port, const QByteArray& request, int waitMs = 3000, bool tls = false)
{
    Outcome o;
    const auto s = Connect(port, tls);
    if (!s) return o;
    s->write(request);
    QElapsedTimer clock;
    clock.start();
    while (s->state() == QAbstractSocket::ConnectedState && clock.elapsed() < waitMs)
        if (s->waitForReadyRead(static_cast<int>(waitMs - clock.elapsed()))) o.reply += s->readAll();
    o.reply += s->readAll();
    o.closed = s->state() != QAbstractSocket::ConnectedState;
    return o;
}

// Sends raw bytes and returns whatever comes back before the server closes or goes quiet.
inline QByteArray Raw(quint16 port, const QByteArray& request, const QHostAddress& host = QHostAddress::LocalHost)
{
    const auto s = Connect(port, false, host);
    if (!s) return {};
    s->write(request);
    s->waitForBytesWritten(3000);
    QByteArray out;
    while (s->waitForReadyRead(700)) out += s->readAll();
    return out;
}

inline QByteArray Status(const QByteArray& reply) { return reply.left(12); }
inline QByteArray BodyOf(const QByteArray& reply) { return reply.mid(reply.indexOf("\r\n\r\n") + 4); }

// A well-formed look-up of the demo account, closing the connection after its answer.
inline QByteArray LookupRequest()
{
    const QByteArray body = QByteArray::fromStdString("user_account=vorlane&token=" + Token(u"vorlane"));
    return "POST /index.php/Index/qr_driod HTTP/1.1\r\nHost: x\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\nConnection: close\r\n"
           "Content-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

inline bool AnswersDemo(const QByteArray& reply)
{
    return ReadJsonReply(QString::fromUtf8(BodyOf(reply))).Member("info").value_or("") == "http://weixin.qq.com/r/demo";
}

// One well-behaved look-up; true when it comes back with the account's text.
inline bool GoodClientAnswered(quint16 port, const QHostAddress& host = QHostAddress::LocalHost)
{
    return AnswersDemo(Raw(port, LookupRequest(), host));
}

} // namespace testsupport
