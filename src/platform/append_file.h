#pragma once
#include <cstddef>
#include <string>

namespace dorvik::platform {

// Appends length bytes to the file at path, creating it (readable and
// writable by everyone the process's umask allows) when missing. The bytes go
// out in one write call, so appenders in other threads or processes never
// land inside them, and are flushed to disk before the file is closed.
// False when the file cannot be opened or not every byte was written.
bool AppendInOneWrite(const std::string& path, const void* bytes, size_t length);

}  // namespace dorvik::platform
