#pragma once
// Temporary files that are ours alone. A temporary name is only a name
// nobody used when it was chosen; two processes that choose at once (their
// name sequences are the same) would share it. Creating the file
// exclusively on the spot settles who owns it.
#include <string>

namespace dorvik::iso {

// A new, empty file in the temporary directory, named by the temporary-name
// rule ("Temp" + number + ".tmp", or "." + extension); empty when none can
// be created.
std::string ReserveTemporaryFile(const std::string& extension = "");

}  // namespace dorvik::iso
