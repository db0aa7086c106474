#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "BatchInput.h"

bool LineReader::Fill()
{
    if (at_ > 0) {
        buffer_.erase(0, at_);
        at_ = 0;
    }
    const size_t have = buffer_.size();
    buffer_.resize(have + kMaxRecordBytes + 1 - std::min(have, kMaxRecordBytes));
    for (;;) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        const int ready = ::poll(fds, stopFd_ >= 0 ? 2 : 1, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready > 0 && (fds[1].revents & POLLIN)) stopped_ = true;
        if (ready < 0 || stopped_) break;
        const ssize_t n = ::read(fd_, buffer_.data() + have, buffer_.size() - have);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n < 0) error_ = errno;
        if (n <= 0) end_ = true;
        buffer_.resize(have + static_cast<size_t>(n > 0 ? n : 0));
        return n > 0;
    }
    buffer_.resize(have);
    return false;
}

LineReader::Status LineReader::Next(std::string& line)
{
    bool tooLong = false;
    for (;;) {
        const size_t newline = buffer_.find('\n', at_);
        if (newline != std::string::npos) {
            ++line_;
            if (!tooLong) line.assign(buffer_, at_, newline - at_);
            at_ = newline + 1;
            return tooLong ? TooLong : Line;
        }
        // A line past the bound is dropped as it comes, up to its newline.
        if (buffer_.size() - at_ > kMaxRecordBytes) {
            tooLong = true;
            buffer_.clear();
            at_ = 0;
        }
        if (stopped_) return Stopped;
        if (error_) return Failed;
        if (end_ || !Fill()) {
            if (stopped_) return Stopped;
            if (error_) return Failed;
            if (at_ == buffer_.size() && !tooLong) return End;
            ++line_;
            if (!tooLong) line.assign(buffer_, at_, std::string::npos);
            at_ = buffer_.size();
            return tooLong ? TooLong : Line;
        }
    }
}
