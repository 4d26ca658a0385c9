// One drive-answer target; DORVIK_FUZZ_EXERCISE names what it asks.
#include "exercises.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return dorvik::fuzz::RunDriveTarget(data, size, dorvik::fuzz::DORVIK_FUZZ_EXERCISE);
}
