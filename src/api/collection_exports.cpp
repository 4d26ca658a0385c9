// The exports that build the collection. They report nothing: whatever
// happened, the answer is 1.
#include <string>

#include "api/guard.h"
#include "api/library.h"
#include "dorvik.h"

using dorvik::Guarded;
using dorvik::Library;

namespace {
std::string Text(const char* s) { return s ? std::string(s) : std::string(); }
}  // namespace

extern "C" {

DORVIK_API int32_t Vuz_AddFiles(const char* source, const char* discFolder, int32_t mp3Only) {
  return Guarded(DORVIK_OK, [&] {
    Library::Get().collection->AddFiles(Text(source), Text(discFolder), mp3Only != 0);
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_DeleteFiles(const char* discPath, int32_t isFolder) {
  return Guarded(DORVIK_OK, [&] {
    Library::Get().collection->DeleteFiles(Text(discPath), isFolder != 0);
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_ClearFiles(void) {
  return Guarded(DORVIK_OK, [] {
    Library::Get().collection->Clear();
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_WriteClose(void) {
  return Guarded(DORVIK_OK, [] {
    Library::Get().collection->Clear();
    return DORVIK_OK;
  });
}

}  // extern "C"
