#pragma once
// The recorded state of a software disc, kept in a small text file beside
// the disc file so a disc written by one process can be read or appended to
// by the next:
//
//   dorvik-virtual-disc 1
//   medium cd-r
//   capacity 359849
//   formatted 0
//   closed-sessions 1
//   finalized 0
//   track SESSION START RESERVED WRITTEN CLOSED MODE DAMAGED   (one line per track;
//                                                             DAMAGED may be absent: 0)
//   end
#include <optional>
#include <string>

#include "emulator/disc.h"

namespace dorvik::emulator {

std::string StateFilePath(const std::string& discPath);
// Where the 2352-byte audio blocks of a CD are kept, block n at n * 2352.
std::string AudioFilePath(const std::string& discPath);
inline constexpr uint32_t kAudioBlockSize = 2352;
std::string FormatDiscState(const Disc& disc);
// Null (with a reason) when the text is not a state this recorder wrote.
std::optional<Disc> ParseDiscState(const std::string& text, std::string* error);

// Replaces the file atomically (written beside it, then renamed). Throws
// platform::FileError.
void SaveDiscState(const std::string& path, const Disc& disc);
std::optional<Disc> LoadDiscState(const std::string& path, std::string* error);

}  // namespace dorvik::emulator
