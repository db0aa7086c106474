#pragma once
// Writing a symbol's file: whole or not at all, and never somewhere the user
// did not name nor over a file they may not write.
#include <functional>
#include <string>
#include <string_view>

#include "Result.h"

// Writes everything to a descriptor, through interrupted and partial writes; false on an error.
bool WriteFd(int fd, std::string_view bytes);

// Takes a piece of the output; false when it cannot be written.
using Sink = std::function<bool(std::string_view)>;
// Writes the whole output into the sink; false when it could not.
using Producer = std::function<bool(const Sink&)>;

struct WriteOptions {
    bool replace = true;     // false: an existing name is an error
    bool sync = false;       // fsync before the rename
    bool followLinks = true; // false (a batch): a symbolic link is refused
};

// Temporary files are named ".qrgen-PID-N" (see the man page): short, so a
// target name of 255 bytes still works, and with the writer's pid, so a later
// run can tell an abandoned one from one being written.
inline constexpr std::string_view kTempPrefix = ".qrgen-";

// path as the user named it. A symbolic link is followed only where the
// kernel's rule for links in shared sticky folders would follow it (whatever
// fs.protected_symlinks says); a dangling one is refused. A file the user owns
// is replaced whole through a temporary name, keeping its mode; a file they may
// write but do not own is written in place, keeping owner and mode; one they
// may not write is refused ("Permission denied"). Thread-safe.
Result<void> WriteFile(const std::string& path, const WriteOptions& options, const Producer& produce);

// The same for a name inside an open folder (a batch's -O folder); shown is
// what messages call it.
Result<void> WriteFileAt(int folder, const std::string& name, const std::string& shown, const WriteOptions& options,
                         const Producer& produce);

// Whether every symbolic link on the way from path to what it names may be
// followed by the same rule (for names that are devices or FIFOs, which are
// opened where they are).
Result<void> CheckLinks(const std::string& path);

// Removes ".qrgen-PID-*" files in the folder that are over an hour old and
// whose writer is no longer running (left by a kill -9).
void RemoveAbandonedTemporaries(int folder);
