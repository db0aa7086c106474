#pragma once
// Batch input, read as it goes: one text payload a line, or CSV (RFC 4180)
// whose header row names the kind's fields.
#include <csv.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Result.h"

// The longest record read; a longer one is refused and reading goes on at the
// next line, so no input makes a batch hold more than a few of these.
inline constexpr size_t kMaxRecordBytes = 64 * 1024;

struct BatchRecord {
    long line = 0;     // where the record starts, from 1
    size_t number = 0; // its place among the records, from 1
    std::map<std::string, std::string> fields;
    std::string name;  // from the name column, when one is chosen
    std::string error; // a row that cannot be read
};

// Lines of at most kMaxRecordBytes from a descriptor, in a buffer of that
// size. Waits for input with poll, so that stopFd becoming readable (an
// interruption) ends a wait on a terminal or pipe.
class LineReader {
public:
    enum Status { Line, TooLong, End, Stopped, Failed };
    LineReader(int fd, int stopFd) : fd_(fd), stopFd_(stopFd) {}
    // The next line without its newline; its number is line().
    Status Next(std::string& line);
    long line() const { return line_; }
    int error() const { return error_; }
    // Whether Next can answer without waiting for input.
    bool Ready() const { return end_ || stopped_ || error_ || buffer_.find('\n', at_) != std::string::npos; }

private:
    bool Fill();
    int fd_, stopFd_;
    std::string buffer_;
    size_t at_ = 0;
    long line_ = 0;
    bool end_ = false, stopped_ = false;
    int error_ = 0;
};

// The records of the input, one at a time.
class RecordReader {
public:
    virtual ~RecordReader() = default;
    // false at the end of the input (or when stopped, or on a read error: status()).
    virtual bool Next(BatchRecord& record) = 0;
    LineReader::Status status() const { return status_; }
    virtual int error() const = 0; // errno of a failed read
    // Whether the next record (or its first line) is in hand, so Next will not wait.
    virtual bool Ready() const = 0;

protected:
    LineReader::Status status_ = LineReader::Line;
    size_t count_ = 0;
};

// One text payload a line.
std::unique_ptr<RecordReader> ReadLines(int fd, int stopFd);

// CSV: reads the header row first; a header that cannot be used is the failure.
// fields: the names the kind knows; nameColumn may be another column.
Result<std::unique_ptr<RecordReader>> ReadCsv(int fd, int stopFd, const std::vector<std::string>& fields,
                                              const std::string& nameColumn);

// "record too long (over 64 KiB)"
std::string RecordTooLong();
