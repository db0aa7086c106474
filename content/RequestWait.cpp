#include "RequestWait.h"

#include <QEventLoop>
#include <QThread>

RequestWait::RequestWait() = default;

RequestWait::~RequestWait()
{
    Abandon();
    // The worker ends promptly once its loops are told to exit.
    if (worker_) worker_->wait();
}

bool RequestWait::RunJob(std::function<void()> job)
{
    if (abandoned_ || loop_) return false;
    if (worker_) worker_->wait(); // an abandoned worker still winding down
    worker_.reset(QThread::create(std::move(job)));
    QEventLoop loop;
    QObject::connect(worker_.get(), &QThread::finished, &loop, &QEventLoop::quit);
    loop_ = &loop;
    worker_->start();
    loop.exec();
    loop_ = nullptr;
    if (abandoned_) return false;
    worker_->wait();
    return true;
}

void RequestWait::Abandon()
{
    abandoned_ = true;
    // The worker's request gives up when asked and its outcome is dropped.
    if (worker_) {
        worker_->requestInterruption();
        worker_->exit();
    }
    if (loop_) loop_->exit();
}
