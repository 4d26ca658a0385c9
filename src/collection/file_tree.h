#pragma once
// Small file-system operations the collection is built on. Host paths use
// the platform's separator; a trailing separator is optional everywhere.
#include <cstdint>
#include <string>

namespace dorvik {

// True when path names an existing folder.
bool FolderExists(const std::string& path);

// Deletes a folder and everything below it. Symbolic links are removed as
// links, never followed. True when the folder itself could be removed;
// failures on single entries only show as a failed final removal.
bool DeleteTree(const std::string& folder);

// Removes count bytes at offset from a file in place. False when the file
// cannot be opened, offset is not below its length, or count is 0.
bool CutRange(const std::string& path, uint64_t offset, uint64_t count);

// path with exactly one trailing separator / without one.
std::string WithSeparator(const std::string& path);
std::string WithoutSeparator(const std::string& path);

}  // namespace dorvik
