#pragma once
// What the library tells the program while it composes or writes: each
// file it leaves out, said once on stderr unless the source check said it
// already.
#include <set>
#include <string>

namespace dorvik::cli {

// Starts listening; command prefixes each line ("dorvik image: ...").
// alreadyReported: source paths not to be reported again.
void ListenToLibrary(const char* command, const std::set<std::string>& alreadyReported);
// How many files the library reported as left out.
size_t FilesLeftOut();

}  // namespace dorvik::cli
