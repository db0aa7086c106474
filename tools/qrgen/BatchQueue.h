#pragma once
// The records between the reader and the workers: a few at a time, so the
// input's length never shows in memory.
#include <condition_variable>
#include <deque>
#include <mutex>

#include "BatchInput.h"

class RecordQueue {
public:
    explicit RecordQueue(size_t capacity) : capacity_(capacity) {}

    // Waits while full; false once stopped.
    bool Push(BatchRecord&& record)
    {
        std::unique_lock lock(mutex_);
        notFull_.wait(lock, [&] { return stopped_ || records_.size() < capacity_; });
        if (stopped_) return false;
        records_.push_back(std::move(record));
        notEmpty_.notify_one();
        return true;
    }

    // Waits while empty; false once stopped, or closed and empty.
    bool Pop(BatchRecord& record)
    {
        std::unique_lock lock(mutex_);
        notEmpty_.wait(lock, [&] { return stopped_ || closed_ || !records_.empty(); });
        if (stopped_ || records_.empty()) return false;
        record = std::move(records_.front());
        records_.pop_front();
        notFull_.notify_one();
        return true;
    }

    // No more records will come.
    void Close()
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        notEmpty_.notify_all();
    }

    // Records not yet taken are dropped (an interruption).
    void Stop()
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        records_.clear();
        notEmpty_.notify_all();
        notFull_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable notEmpty_, notFull_;
    std::deque<BatchRecord> records_;
    size_t capacity_;
    bool closed_ = false, stopped_ = false;
};
