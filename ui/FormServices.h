#pragma once
#include <QDateTime>
#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

// What the window asks of the desktop: message boxes, the file dialog, the
// clock, the browser, ending the program. Tests answer through a fake.
class FormServices {
public:
    virtual ~FormServices() = default;
    // Information icon, OK.
    virtual void Inform(QWidget* parent, const QString& title, const QString& text) = 0;
    // Information icon, Yes and No; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& title, const QString& text) = 0;
    // File-open dialog; empty when cancelled.
    virtual QString ChooseFile(QWidget* parent, const QString& title, const QString& filter) = 0;
    virtual QDateTime Now() = 0;
    // Opens url in the browser; done(false) later when that failed.
    virtual void OpenUrl(QWidget* parent, const QUrl& url, std::function<void(bool opened)> done) = 0;
    // Ends the program at once, with no exit question.
    virtual void Quit() = 0;
    // The program's own directory (where pictures are saved and the skin is read).
    virtual QString ProgramDir() = 0;
};

// An installed program's data folder, <prefix>/share/vorlane-qr beside <prefix>/bin
// (found relative to the program, so any prefix works); empty when the program runs
// from elsewhere, such as a build tree.
QString InstalledDataDir(const QString& programDir);

class DesktopServices : public FormServices {
public:
    void Inform(QWidget* parent, const QString& title, const QString& text) override;
    bool AskYesNo(QWidget* parent, const QString& title, const QString& text) override;
    QString ChooseFile(QWidget* parent, const QString& title, const QString& filter) override;
    QDateTime Now() override;
    void OpenUrl(QWidget* parent, const QUrl& url, std::function<void(bool opened)> done) override;
    void Quit() override;
    QString ProgramDir() override;
};
