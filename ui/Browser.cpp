#include "Browser.h"

#include <QProcess>
#include <QTimer>
#include <memory>
#include <utility>

namespace {

// xdg-open may wait for a browser it started in the foreground.
constexpr int kOpenerPatienceMs = 5000;

} // namespace

void OpenInBrowser(QObject* owner, const QUrl& url, std::function<void(bool opened)> done)
{
    // Owned by owner; it deletes itself once it has told.
    auto* opener = new QProcess(owner);
    // No pipes: a browser the opener leaves running must not write into a closed one.
    opener->setStandardInputFile(QProcess::nullDevice());
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    auto tell = std::make_shared<std::function<void(bool)>>(std::move(done));
    auto once = [opener, tell](bool opened) {
        if (!*tell) return;
        const auto run = std::exchange(*tell, nullptr);
        if (opener->state() == QProcess::NotRunning) opener->deleteLater();
        run(opened);
    };
    QObject::connect(opener, &QProcess::finished, opener, [opener, once](int code, QProcess::ExitStatus status) {
        once(status == QProcess::NormalExit && code == 0);
        opener->deleteLater();
    });
    QObject::connect(opener, &QProcess::errorOccurred, opener, [once](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) once(false);
    });
    QTimer::singleShot(kOpenerPatienceMs, opener, [once] { once(true); });
    opener->start(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}
