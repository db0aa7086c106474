#pragma once
// Servers the tests start on loopback and stop again: the vendor API stand-in
// as a child process, and small misbehaving HTTP servers.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace testsupport {

// A self-signed certificate for 127.0.0.1, made with openssl in a temporary folder.
class Certificate {
public:
    Certificate()
    {
        certPath = dir.filePath("cert.pem");
        keyPath = dir.filePath("key.pem");
        QProcess openssl;
        openssl.start("openssl",
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", keyPath, "-out", certPath, "-days",
                       "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"});
        openssl.waitForFinished(60000);
        ok = openssl.exitCode() == 0 && QFile::exists(certPath);
    }
    QTemporaryDir dir;
    QString certPath, keyPath;
    bool ok = false;
};

// vendor-api on a free loopback port; stopped when this object goes.
class VendorApi {
public:
    VendorApi(const QString& dataJson, const Certificate* cert = nullptr)
    {
        dataPath = dir.filePath("data.json");
        QFile f(dataPath);
        if (f.open(QIODevice::WriteOnly)) f.write(dataJson.toUtf8());
        f.close();
        QStringList args{"--listen", "127.0.0.1:0", "--data", dataPath};
        if (cert) args << "--cert" << cert->certPath << "--key" << cert->keyPath;
        process.start(VENDOR_API_PATH, args);
        if (process.waitForReadyRead(15000)) {
            const QString line = QString::fromUtf8(process.readLine()).trimmed();
            if (line.startsWith("listening on ")) baseUrl = line.mid(13);
        }
    }
    ~VendorApi()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    bool Running() const { return !baseUrl.isEmpty() && process.state() == QProcess::Running; }
    QTemporaryDir dir;
    QString dataPath;
    QProcess process;
    QString baseUrl;
};

// Answers every connection with a fixed raw reply (or never, when empty and silent).
class RawHttpServer : public QObject {
public:
    explicit RawHttpServer(QByteArray reply, bool silent = false) : reply_(std::move(reply)), silent_(silent)
    {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                sockets_.emplace_back(s);
                if (silent_) continue;
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    s->readAll();
                    s->write(reply_);
                    s->flush();
                    s->disconnectFromHost();
                });
            }
        });
    }
    QString Url(const QString& path = "/index.php/Index/qr_driod") const
    {
        return QString("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
    }
    // Emits newConnection when a client has reached the server: a test can act while a request is in flight.
    QTcpServer& Listener() { return server_; }

private:
    QTcpServer server_;
    QByteArray reply_;
    bool silent_;
    std::vector<std::unique_ptr<QTcpSocket>> sockets_;
};

inline QByteArray HttpReply(int status, const QByteArray& contentType, const QByteArray& body, qint64 length = -1)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + QByteArray::number(length < 0 ? body.size() : length) +
           "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace testsupport
