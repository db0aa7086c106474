// qrgen-wechat ACCOUNT: the account look-up for qrgen. Prints the payload and
// exits 0, or prints the message to show and exits 1.
#include <QCoreApplication>
#include <cstdio>

#include "WeChatLookup.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // the look-up waits for its reply in an event loop
    if (argc != 2) {
        std::fputs("usage: qrgen-wechat ACCOUNT\n", stderr);
        return 2;
    }
    const LookupResult found = LookupAccount(QString::fromUtf8(argv[1]));
    const QByteArray text = found.kind == LookupResult::Failed ? QByteArray(kLookupFailed) : found.text.toUtf8();
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
    return std::fflush(stdout) == 0 && found.kind == LookupResult::Payload ? 0 : 1;
}
