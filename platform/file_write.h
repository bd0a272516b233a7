#pragma once
// Writing a file so that a failure never leaves a half-written one: the new
// content goes to a temporary file beside the target, which replaces the
// target only once it is complete and on disk. And reading a file that comes
// from outside, so that what is not a small regular file is refused unread.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace platform {

enum class WriteError {
    None,
    CannotCreate,  // the target may not be written (read-only), or the temporary file could not be created
    WriteFailed,   // the content could not be written in full (disk full, I/O error)
    CannotReplace, // the complete file could not take the place of the old one
};

// Writes `bytes` as the file `path`, replacing an existing file as opening it
// for writing would: a file that the process may not write is left alone. As
// permission bits do not stop root, a file without any write bit counts as
// read-only for every user. The replacement keeps the old file's permissions.
// `synced`: on disk before it replaces the old file, so that it survives the
// machine's crash too; without, it survives the program's.
WriteError WriteFileReplacing(const std::string& path, const std::string& bytes, bool synced = true);

// The temporary file of a write is named `path` + ".tmp" + six characters.
inline constexpr const char* kTemporaryInfix = ".tmp";

// Removes, in `dir`, the temporary files of writes that were interrupted (the
// program was killed): those of targets that `ours` accepts and that no
// writer holds any more. Returns how many.
std::size_t RemoveAbandonedTemporaries(const std::string& dir,
                                       const std::function<bool(const std::string& target)>& ours);

// Reads a whole file; nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

enum class ReadError {
    None,
    Missing,     // no such file
    NotRegular,  // a directory, FIFO, device or socket: not opened for reading
    TooLarge,    // more than the bytes allowed
    ReadFailed,  // no permission, I/O error
};

// Reads a regular file of at most maxBytes. Never waits for a FIFO's writer
// and never reads more than maxBytes + 1 bytes, whatever the file claims.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes, ReadError* error = nullptr);

}  // namespace platform
