#pragma once
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QThread;

// The window's one request to the network at a time. The request runs on a
// worker thread while the window goes on; its outcome is handed back on the
// window's thread. A dropped request is told to give up at once and whatever it
// still brings back is thrown away.
class RequestWait : public QObject {
public:
    RequestWait();
    ~RequestWait() override;
    RequestWait(const RequestWait&) = delete;
    RequestWait& operator=(const RequestWait&) = delete;

    // Starts request; done(its result) runs later on this thread unless the
    // request is dropped first. False, and nothing starts, while another request
    // waits or once abandoned.
    template <class Result>
    bool Start(std::function<Result()> request, std::function<void(Result)> done)
    {
        // Shared with the worker: a dropped worker may still finish after its wait has ended.
        auto result = std::make_shared<std::optional<Result>>();
        return StartJob([result, request = std::move(request)] { *result = request(); },
                        [result, done = std::move(done)] { done(std::move(**result)); });
    }

    bool Waiting() const { return worker_ != nullptr; }

    // Drops the request that waits, if any.
    void Drop();

    // Drops the request that waits and refuses every later one (the program is ending).
    void Abandon();

private:
    bool StartJob(std::function<void()> job, std::function<void()> deliver);
    void ReapDropped();

    std::unique_ptr<QThread> worker_;               // the request that waits
    std::vector<std::unique_ptr<QThread>> dropped_; // dropped requests still winding down
    bool abandoned_ = false;
};
