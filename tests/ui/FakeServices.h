#pragma once
#include <QStringList>
#include <deque>
#include <vector>

#include "FormServices.h"

// Answers the window's questions the way a test says, and remembers what it was shown.
struct FakeServices : FormServices {
    struct Box {
        QString title, text;
        bool question;
    };
    std::vector<Box> boxes;
    std::deque<bool> answers; // for AskYesNo; No when empty
    QString fileToChoose;
    QDateTime now = QDateTime(QDate(2026, 2, 3), QTime(9, 5, 7));
    std::vector<QUrl> opened;
    int quits = 0;
    QString programDir = "/tmp";

    void Inform(QWidget*, const QString& title, const QString& text) override { boxes.push_back({title, text, false}); }
    bool AskYesNo(QWidget*, const QString& title, const QString& text) override
    {
        boxes.push_back({title, text, true});
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    QString ChooseFile(QWidget*, const QString& title, const QString&) override
    {
        boxes.push_back({title, "<file dialog>", false});
        return fileToChoose;
    }
    QDateTime Now() override { return now; }
    void OpenUrl(QWidget*, const QUrl& url, std::function<void(bool)> done) override
    {
        opened.push_back(url);
        done(true);
    }
    void Quit() override { ++quits; }
    QString ProgramDir() override { return programDir; }
};
