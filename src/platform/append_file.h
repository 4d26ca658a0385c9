#pragma once
#include <cstddef>
#include <string>

namespace dorvik::platform {

// Appends length bytes to the file at path, creating it (readable and
// writable by everyone the process's umask allows) when missing. The bytes go
// out in one write call, so appenders in other threads or processes never
// land inside them, and are flushed to disk before the file is closed.
// A link or anything but a regular file under the name is refused, and the
// open never waits (a pipe there would block every writer).
// False when the file cannot be opened or not every byte was written.
bool AppendInOneWrite(const std::string& path, const void* bytes, size_t length);

}  // namespace dorvik::platform
