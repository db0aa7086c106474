#pragma once
#include <QUrl>
#include <functional>

class QObject;

// Opens url in the desktop's browser with xdg-open and tells done whether it did:
// false when the opener cannot start or exits with a failure. An opener still
// running after a few seconds has a browser in the foreground: that counts as
// opened. done never runs once owner is gone.
void OpenInBrowser(QObject* owner, const QUrl& url, std::function<void(bool opened)> done);
