#pragma once
// Real input for the window tests: message boxes answered with key presses,
// menu items chosen with the mouse, and a loopback server that answers late.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

namespace testsupport {

// Watches for modal message boxes and answers each with a key press.
class BoxAnswerer : public QObject {
public:
    struct SeenBox {
        QString text;
        QStringList buttons; // as shown, in the box's order
        qint64 at;           // ms since the answerer started
    };
    // key(text) is the key that answers the box showing text.
    explicit BoxAnswerer(std::function<Qt::Key(const QString&)> key = [](const QString&) { return Qt::Key_Enter; })
        : key_(std::move(key))
    {
        clock_.start();
        connect(&poll_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box == last_) return;
            last_ = box;
            SeenBox seen{box->text(), {}, clock_.elapsed()};
            for (QAbstractButton* b : box->buttons()) seen.buttons << b->text();
            seen_.push_back(seen);
            QTest::keyClick(box, key_(box->text()));
        });
        poll_.start(20);
    }
    const std::vector<SeenBox>& Seen() const { return seen_; }
    QStringList Texts() const
    {
        QStringList t;
        for (const SeenBox& s : seen_) t << s.text;
        return t;
    }
    qint64 Elapsed() const { return clock_.elapsed(); }

private:
    std::function<Qt::Key(const QString&)> key_;
    QTimer poll_;
    QElapsedTimer clock_;
    QPointer<QMessageBox> last_;
    std::vector<SeenBox> seen_;
};

// Answers the next file dialog by typing path into its name box and pressing Enter.
class FileDialogAnswerer : public QObject {
public:
    explicit FileDialogAnswerer(QString path) : path_(std::move(path))
    {
        connect(&poll_, &QTimer::timeout, this, [this] {
            QPointer<QFileDialog> dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            poll_.stop();
            // The dialog fills its boxes once shown; typing waits for that.
            QTimer::singleShot(300, this, [this, dialog] {
                auto* name = dialog ? dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
                if (!name) return;
                QTest::keyClicks(name, path_);
                // The completer's list would take the Enter.
                if (QCompleter* completer = name->completer()) completer->popup()->hide();
                QTest::keyClick(name, Qt::Key_Enter);
            });
        });
        poll_.start(20);
    }

private:
    QString path_;
    QTimer poll_;
};

// Clicks a top-level entry of the menu bar, then, for a drop-down, one of its items.
inline void ChooseFromMenu(QMenuBar* bar, QAction* entry, QAction* item = nullptr)
{
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(entry).center());
    if (!item) return;
    QMenu* menu = entry->menu();
    if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000)) return;
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

// Answers each request after a delay (never when negative) with a JSON body
// chosen by the request's path and form; records how many requests waited at once.
class LateServer : public QObject {
public:
    LateServer(int delayMs, std::function<QByteArray(const QByteArray& path, const QByteArray& request)> body)
        : delayMs_(delayMs), body_(std::move(body))
    {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                sockets_.emplace_back(s);
                connect(s, &QTcpSocket::readyRead, s, [this, s] { Read(s); });
            }
        });
    }
    QString Url() const { return QString("http://127.0.0.1:%1").arg(server_.serverPort()); }
    int requests = 0, waiting = 0, mostWaiting = 0;

private:
    void Read(QTcpSocket* s)
    {
        // The whole request so far; the form may come after the head.
        const QByteArray request = s->property("request").toByteArray() + s->readAll();
        s->setProperty("request", request);
        if (s->property("seen").toBool()) return; // a request already counted
        s->setProperty("seen", true);
        const QByteArray path = request.mid(request.indexOf(' ') + 1).split(' ').value(0);
        ++requests;
        mostWaiting = std::max(mostWaiting, ++waiting);
        if (delayMs_ < 0) return;
        QTimer::singleShot(delayMs_, s, [this, s, path] {
            const QByteArray b = body_(path, s->property("request").toByteArray());
            s->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                     QByteArray::number(b.size()) + "\r\nConnection: close\r\n\r\n" + b);
            s->flush();
            s->disconnectFromHost();
            --waiting;
        });
    }
    int delayMs_;
    std::function<QByteArray(const QByteArray&, const QByteArray&)> body_;
    QTcpServer server_;
    std::vector<std::unique_ptr<QTcpSocket>> sockets_;
};

} // namespace testsupport
