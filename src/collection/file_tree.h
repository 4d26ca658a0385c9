#pragma once
// Small file-system operations the collection is built on. Host paths use
// the platform's separator; a trailing separator is optional everywhere.
// What lies under the workspace is reached only through platform::Folder,
// one component at a time and never through a link.
#include <cstdint>
#include <string>

namespace dorvik::platform {
class Folder;
}

namespace dorvik {

// Deletes the folder name inside parent and everything below it. Nothing is
// followed: links inside are removed as links, and a link (or anything but
// a folder) standing at name itself is left alone. True when the folder
// itself could be removed; failures on single entries only show as a failed
// final removal.
bool DeleteTree(const platform::Folder& parent, const std::string& name);
// Removes everything inside folder the same way; the folder stays.
void EmptyFolder(const platform::Folder& folder);

// Removes count bytes at offset from the file name inside folder, in place.
// False when the file cannot be opened, offset is not below its length, or
// count is 0.
bool CutRange(const platform::Folder& folder, const std::string& name, uint64_t offset, uint64_t count);

// path with exactly one trailing separator / without one.
std::string WithSeparator(const std::string& path);
std::string WithoutSeparator(const std::string& path);

}  // namespace dorvik
