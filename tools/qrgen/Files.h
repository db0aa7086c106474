#pragma once
// Reading input without ever holding more than can fit, and writing files whole
// or not at all.
#include <optional>
#include <string>
#include <string_view>

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

// The whole of a file ("-" for standard input), for batch input.
std::optional<std::string> ReadAll(const std::string& path, std::string& error);

struct WriteOptions {
    bool replace = true; // false: an existing file is an error
    bool sync = false;   // fsync before the rename (the rename alone keeps the file whole or absent)
};

// Writes to a temporary name in the same folder and renames it into place, so
// the target is either the previous file or the whole new one. When replacing,
// a symbolic link is written through (the temporary file goes beside the file
// it names) and a replaced file keeps its permission bits. A name that is a
// device, FIFO or socket is refused, never replaced. Returns the error text,
// or nothing on success. Thread-safe.
std::optional<std::string> WriteWhole(const std::string& path, std::string_view bytes, const WriteOptions& options);

// Whether path (links followed) exists and is neither a regular file nor a
// folder: a device, FIFO or socket, such as /dev/null or /dev/stdout on a pipe.
bool IsSpecialNode(const std::string& path);

// Writes into such a node in place; it is opened, never created or renamed
// over. Returns the error text, or nothing on success.
std::optional<std::string> WriteIntoNode(const std::string& path, std::string_view bytes);

// Writes everything to standard output.
bool WriteStdout(std::string_view bytes);

// Remembers the process umask (call once before threads start).
void RememberUmask();
