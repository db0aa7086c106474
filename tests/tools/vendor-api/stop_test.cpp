// A stop signal lets the requests under way finish, then the stand-in ends well.
#include <gtest/gtest.h>

#include "Server.h"
#include "VendorApiClient.h"

#include <QElapsedTimer>
#include <QThread>

#include <chrono>
#include <csignal>

namespace {

using namespace testsupport;

// The stand-in as a child with the default signal dispositions and nothing blocked, whatever
// this process inherited (a script's background job ignores SIGINT, for one).
class StoppableApi {
public:
    StoppableApi()
    {
        QFile f(dir.filePath("data.json"));
        if (f.open(QIODevice::WriteOnly)) f.write(kDemoData);
        f.close();
        process.setChildProcessModifier([] {
            for (const int s : {SIGINT, SIGTERM, SIGPIPE}) std::signal(s, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
        });
        process.start(VENDOR_API_PATH, {"--listen", "127.0.0.1:0", "--data", f.fileName()});
        if (process.waitForReadyRead(15000))
            port = static_cast<quint16>(QUrl(QString::fromUtf8(process.readLine()).trimmed().mid(13)).port());
    }
    ~StoppableApi()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    QTemporaryDir dir;
    QProcess process;
    quint16 port = 0;
};

TEST(VendorApiServer, StopSignalFinishesRequestsInFlightThenExitsZero)
{
    using namespace std::chrono;
    StoppableApi api;
    ASSERT_NE(api.port, 0);
    const QByteArray request = LookupRequest();
    const qsizetype half = request.size() - 20; // headers and part of the body
    std::vector<std::unique_ptr<QTcpSocket>> inFlight, idle;
    for (int i = 0; i < 50; ++i) {
        inFlight.push_back(Connect(api.port));
        ASSERT_TRUE(inFlight.back());
        inFlight.back()->write(request.left(half));
        ASSERT_TRUE(inFlight.back()->waitForBytesWritten(3000));
    }
    for (int i = 0; i < 10; ++i) idle.push_back(Connect(api.port));
    const auto stalled = Connect(api.port); // starts a request and never ends it
    stalled->write(request.left(half));
    ASSERT_TRUE(stalled->waitForBytesWritten(3000));
    ASSERT_TRUE(GoodClientAnswered(api.port));
    // Time for the server to read the halves sent before, even on a busy machine.
    QThread::msleep(1000);

    QElapsedTimer clock;
    clock.start();
    api.process.terminate(); // SIGTERM
    // No request begun: closed at once.
    for (auto& s : idle) {
        if (s->state() == QAbstractSocket::ConnectedState) s->waitForDisconnected(3000);
        EXPECT_NE(s->state(), QAbstractSocket::ConnectedState);
    }
    int answered = 0;
    for (auto& s : inFlight) s->write(request.mid(half));
    for (auto& s : inFlight) {
        QByteArray reply;
        while (s->waitForReadyRead(3000)) reply += s->readAll();
        answered += AnswersDemo(reply) && reply.contains("Connection: close");
    }
    EXPECT_EQ(answered, 50);
    const auto allowed = duration_cast<milliseconds>(http::Server::kStopTime + seconds(5)).count(); // busy margin
    ASSERT_TRUE(api.process.waitForFinished(static_cast<int>(allowed)));
    EXPECT_EQ(api.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(api.process.exitCode(), 0);
    // The stalled request was given its time, no more.
    EXPECT_GE(clock.elapsed(), duration_cast<milliseconds>(http::Server::kStopTime).count() - 500);
}

} // namespace
