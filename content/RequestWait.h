#pragma once
#include <functional>
#include <memory>
#include <optional>

class QEventLoop;
class QThread;

// The window's one wait for the network. A request runs on a worker thread
// while the caller's event loop keeps the window alive; only one request waits
// at a time, and Abandon ends the wait at once (the program is ending): the
// worker's request is aborted and its outcome dropped.
class RequestWait {
public:
    RequestWait();
    ~RequestWait();
    RequestWait(const RequestWait&) = delete;
    RequestWait& operator=(const RequestWait&) = delete;

    // Runs request and returns its result; nothing when another request is
    // already waiting, or when the wait was abandoned.
    template <class Result>
    std::optional<Result> Run(std::function<Result()> request)
    {
        // Shared with the worker: an abandoned worker may still finish after this returns.
        auto result = std::make_shared<std::optional<Result>>();
        if (!RunJob([result, request = std::move(request)] { *result = request(); })) return std::nullopt;
        return std::move(*result);
    }

    bool Waiting() const { return loop_ != nullptr; }

    // Ends the wait under way, if any, and refuses every later request.
    void Abandon();

private:
    // True when job ran to its end and was not abandoned.
    bool RunJob(std::function<void()> job);

    QEventLoop* loop_ = nullptr;
    std::unique_ptr<QThread> worker_;
    bool abandoned_ = false;
};
