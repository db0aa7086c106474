#include "RequestWait.h"

#include <QThread>

RequestWait::RequestWait() = default;

RequestWait::~RequestWait()
{
    Abandon();
    // Each dropped worker ends promptly once told to give up.
    for (const auto& worker : dropped_) worker->wait();
}

bool RequestWait::StartJob(std::function<void()> job, std::function<void()> deliver)
{
    if (abandoned_ || worker_) return false;
    ReapDropped();
    worker_.reset(QThread::create(std::move(job)));
    QThread* thread = worker_.get();
    connect(
        thread, &QThread::finished, this,
        [this, thread, deliver = std::move(deliver)]() mutable {
            if (worker_.get() != thread) return ReapDropped(); // dropped meanwhile: its outcome is not wanted
            const std::unique_ptr<QThread> finished = std::move(worker_);
            finished->wait();
            const auto run = std::move(deliver);
            run(); // may start the next request
        },
        Qt::QueuedConnection);
    thread->start();
    return true;
}

void RequestWait::Drop()
{
    if (!worker_) return;
    // The client gives up promptly when asked; an event loop the request may wait in ends too.
    worker_->requestInterruption();
    worker_->exit();
    dropped_.push_back(std::move(worker_));
}

void RequestWait::Abandon()
{
    abandoned_ = true;
    Drop();
}

void RequestWait::ReapDropped()
{
    std::erase_if(dropped_, [](const std::unique_ptr<QThread>& worker) {
        if (!worker->isFinished()) return false;
        worker->wait();
        return true;
    });
}
