#pragma once
// Disc paths as the host gives them: backslash separators, relative to the
// disc's root, leading backslash optional, folders ending in a backslash.
#include <optional>
#include <string>
#include <vector>

namespace dorvik {

inline constexpr char kDiscSeparator = '\\';

// A target folder in the form "\" (root) or "\A\B\": a backslash put in front
// when missing, and one appended when the result is longer than one character.
std::string NormaliseTargetFolder(const std::string& target);

// True for a name that can stand as one workspace entry: not empty, not "."
// or "..", and free of both the disc's and the host's separators, so joining
// it to a workspace folder can never leave that folder.
bool IsSafeEntryName(const std::string& name);

// The components of a disc path (empty components dropped); nullopt when any
// component is not a safe entry name.
std::optional<std::vector<std::string>> SplitDiscPath(const std::string& discPath);

}  // namespace dorvik
