// Start-up of the stand-in: its options, its address, what it refuses to start with.
#include <gtest/gtest.h>

#include "VendorApi.h"
#include "VendorApiClient.h"

#include <sys/stat.h>

namespace {

using namespace testsupport;

// Start-up refuses what it cannot serve: one line on stderr, exit 1, never a half-started server.
TEST(VendorApiServer, StartUpRefusals)
{
    QTemporaryDir dir;
    const QString good = dir.filePath("good.json");
    {
        QFile f(good);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kDemoData);
    }
    const QString array = dir.filePath("array.json");
    {
        QFile f(array);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[]");
    }
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString oversize = dir.filePath("oversize.json");
    {
        QFile f(oversize);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(64 * 1024 * 1024 + 1)); // sparse: costs no disk
    }
    QTcpServer other; // any listener holds the port, not only another vendor-api
    ASSERT_TRUE(other.listen(QHostAddress::LocalHost, 0));
    VendorApi first(kDemoData);
    ASSERT_TRUE(first.Running());

    const QString busy = "127.0.0.1:" + QString::number(other.serverPort());
    const QString taken = "127.0.0.1:" + QString::number(PortOf(first));
    const QStringList cases[] = {
        {"--listen", busy, "--data", good},
        {"--listen", taken, "--data", good},
        {"--listen", "127.0.0.1:80abc", "--data", good},
        {"--listen", "127.0.0.1:65536", "--data", good},
        {"--listen", "127.0.0.1:-1", "--data", good},
        {"--listen", "127.0.0.1: 80", "--data", good},
        {"--listen", "127.0.0.1", "--data", good},
        {"--listen", "127.0.0.1:", "--data", good},
        {"--listen", ":8080", "--data", good},
        {"--listen", "::1:8080", "--data", good},
        {"--listen", "[::1]8080", "--data", good},
        {"--listen", "127.0.0.1:0", "--data", fifo},
        {"--listen", "127.0.0.1:0", "--data", dir.path()},
        {"--listen", "127.0.0.1:0", "--data", "/dev/zero"},
        {"--listen", "127.0.0.1:0", "--data", oversize},
        {"--listen", "127.0.0.1:0", "--data", array},
        {"--listen", "127.0.0.1:0", "--data", dir.filePath("missing.json")},
        {"--listen", "127.0.0.1:0", "--data", good, "--cert", good},
    };
    for (const QStringList& args : cases) {
        QProcess p;
        p.start(VENDOR_API_PATH, args);
        const bool ended = p.waitForFinished(10000);
        if (!ended) p.kill(), p.waitForFinished(3000);
        EXPECT_TRUE(ended) << args.join(' ').toStdString();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << args.join(' ').toStdString();
        EXPECT_EQ(p.exitCode(), 1) << args.join(' ').toStdString();
        const QByteArray err = p.readAllStandardError();
        EXPECT_EQ(err.count('\n'), 1) << args.join(' ').toStdString() << ": " << err.toStdString();
        EXPECT_TRUE(err.startsWith("vendor-api: ")) << err.toStdString();
        EXPECT_FALSE(err.contains("no error")) << err.toStdString(); // the reason, not the parser's all-clear
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty()) << args.join(' ').toStdString();
    }
    // The first server kept its port and still answers.
    EXPECT_TRUE(GoodClientAnswered(PortOf(first)));
}

TEST(VendorApiServer, HelpAndVersionPrintAndExit)
{
    const std::pair<QString, QByteArray> cases[] = {{"--help", "usage: vendor-api "},
                                                    {"-h", "usage: vendor-api "},
                                                    {"--version", QByteArray("vendor-api ") + kProgramVersion + "\n"},
                                                    {"-V", QByteArray("vendor-api ") + kProgramVersion + "\n"}};
    for (const auto& [option, printed] : cases) {
        QProcess p;
        p.start(VENDOR_API_PATH, {option});
        ASSERT_TRUE(p.waitForFinished(10000)) << option.toStdString();
        EXPECT_EQ(p.exitCode(), 0) << option.toStdString();
        EXPECT_TRUE(p.readAllStandardOutput().startsWith(printed)) << option.toStdString();
    }
}

TEST(VendorApiServer, ServesAnIpv6Literal)
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHostIPv6, 0)) GTEST_SKIP() << "no IPv6 loopback here";
    probe.close();
    QTemporaryDir dir;
    QFile f(dir.filePath("data.json"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kDemoData);
    f.close();
    QProcess p;
    p.start(VENDOR_API_PATH, {"--listen", "[::1]:0", "--data", f.fileName()});
    ASSERT_TRUE(p.waitForReadyRead(10000));
    const QString line = QString::fromUtf8(p.readLine()).trimmed();
    const QUrl url(line.mid(QString("listening on ").size()));
    EXPECT_TRUE(line.startsWith("listening on http://[::1]:")) << line.toStdString();
    EXPECT_TRUE(GoodClientAnswered(static_cast<quint16>(url.port()), QHostAddress::LocalHostIPv6));
    p.kill();
    p.waitForFinished(5000);
}

} // namespace
