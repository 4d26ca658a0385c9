#pragma once
// The names a directory entry gets: an 8.3-style primary identifier, taken
// byte for byte from the host's name, and the full Joliet name in UCS-2.
#include <cstddef>
#include <optional>
#include <string>

namespace dorvik::iso {

// Most UCS-2 characters one directory record can carry: 33 + 2n + 1 <= 255.
inline constexpr size_t kJolietNameLimit = 110;

// A folder's primary identifier: up to 8 bytes kept, longer names become
// their first 6 bytes and "~1". Used for directory records and path tables.
std::string PrimaryFolderName(const std::string& name);
// A file's primary identifier: base shortened as a folder name, extension
// (after the last '.') cut to 3 bytes.
std::string PrimaryFileName(const std::string& name);
// The Joliet identifier, big-endian UCS-2 bytes; nullopt when the name
// holds a character UCS-2 cannot carry. Names longer than one record holds
// are cut, keeping the extension.
std::optional<std::string> JolietName(const std::string& name);

}  // namespace dorvik::iso
