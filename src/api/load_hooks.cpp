// Only in the shared library: the process-wide objects live from load to
// unload, as a host loading the library expects.
#include "api/library.h"

namespace {
__attribute__((constructor)) void DorvikLoad() {
  try {
    dorvik::Library::StartAtLoad();
  } catch (...) {
  }
}
__attribute__((destructor)) void DorvikUnload() {
  try {
    dorvik::Library::Stop();
  } catch (...) {
  }
}
}  // namespace
