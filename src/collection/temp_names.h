#pragma once
// Unique names in the temporary directory. Three counters, one per kind of
// name, each starting at 1000 for the process and advancing on every
// attempt; an attempt turns its counter value into a number 0..32767 with
// RuntimeRandom, so the same attempts give the same names on every platform.
#include <cstdint>
#include <string>

namespace dorvik {

// The first value the classic C runtime generator yields after being seeded
// with seed (seed * 214013 + 2531011, bits 16..30).
uint32_t RuntimeRandom(uint32_t seed);

// A new, empty folder temporary directory + "Folder" + n, created by this
// call. Empty when there is no temporary directory or no folder could be made.
std::string CreateWorkspaceFolder();

// A new, empty file temporary directory + "Temp" + n + ".tmp" (no extension
// given) or + "." + extension, created exclusively by this call, so it is
// ours alone: every process draws the same names from 1000, and a name that
// was merely free when chosen may be chosen by another process as well. A
// taken name moves on to the next one. Empty when there is no temporary
// directory or no file could be created.
std::string ReserveTempFileName(const std::string& extension = "");

}  // namespace dorvik
