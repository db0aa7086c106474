#pragma once
// Reading input without ever holding more than can fit; writing into devices.
#include <optional>
#include <string>
#include <string_view>

#include "Result.h"
#include "Write.h"
#include "clsQRCode.h"

// The most characters any symbol holds (version 40-L, numeric). Every character
// takes at least one input byte, so a longer input can never fit.
inline constexpr size_t kMaxInputBytes = clsQRCode::kMaxInputBytes;

struct InputRead {
    enum Status { Ok, TooLong, Unreadable } status = Ok;
    std::string bytes;
    std::string error; // for Unreadable
};

// Reads a file ("-" for standard input) up to kMaxInputBytes; a regular file
// that is larger is refused from its size alone.
InputRead ReadBounded(const std::string& path);

// Whether path (links followed) exists and is neither a regular file nor a
// folder: a device, FIFO or socket, such as /dev/null or /dev/stdout on a pipe.
bool IsSpecialNode(const std::string& path);

// Writes into such a node in place; it is opened, never created or renamed over.
Result<void> WriteIntoNode(const std::string& path, const Producer& produce);

inline bool WriteStdout(std::string_view bytes) { return WriteFd(1, bytes); }
