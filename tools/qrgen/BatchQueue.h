#pragma once
// The records between the reader and the workers, handed over a chunk at a
// time (one lock and wake-up for many records) and a few chunks at most, so
// the input's length never shows in memory.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "BatchInput.h"

using RecordChunk = std::vector<BatchRecord>;

// A chunk is handed over at this many records, or once it holds this many
// bytes (so at most twice kMaxRecordBytes), or when the next record must wait.
inline constexpr size_t kChunkRecords = 64;
inline constexpr size_t kChunkBytes = 64 * 1024;

class RecordQueue {
public:
    explicit RecordQueue(size_t capacity) : capacity_(capacity) {}

    // Waits while full; false once stopped.
    bool Push(RecordChunk&& chunk)
    {
        std::unique_lock lock(mutex_);
        notFull_.wait(lock, [&] { return stopped_ || chunks_.size() < capacity_; });
        if (stopped_) return false;
        chunks_.push_back(std::move(chunk));
        notEmpty_.notify_one();
        return true;
    }

    // Waits while empty; false once stopped, or closed and empty.
    bool Pop(RecordChunk& chunk)
    {
        std::unique_lock lock(mutex_);
        notEmpty_.wait(lock, [&] { return stopped_ || closed_ || !chunks_.empty(); });
        if (stopped_ || chunks_.empty()) return false;
        chunk = std::move(chunks_.front());
        chunks_.pop_front();
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
        chunks_.clear();
        notEmpty_.notify_all();
        notFull_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable notEmpty_, notFull_;
    std::deque<RecordChunk> chunks_;
    size_t capacity_;
    bool closed_ = false, stopped_ = false;
};
