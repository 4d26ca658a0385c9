// The exports that build the collection. They report nothing: whatever
// happened, the answer is 1. A null pointer is not taken for an empty
// string: an empty disc path with the folder switch would remove the whole
// collection, which a missing argument should never do.
#include <string>

#include "api/guard.h"
#include "api/library.h"
#include "dorvik.h"

using dorvik::Guarded;
using dorvik::Library;


extern "C" {

DORVIK_API int32_t Vuz_AddFiles(const char* source, const char* discFolder, int32_t mp3Only) {
  return Guarded(DORVIK_OK, [&] {
    if (source && discFolder) Library::Get().collection->AddFiles(source, discFolder, mp3Only != 0);
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_DeleteFiles(const char* discPath, int32_t isFolder) {
  return Guarded(DORVIK_OK, [&] {
    if (discPath) Library::Get().collection->DeleteFiles(discPath, isFolder != 0);
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
