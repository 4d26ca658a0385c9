// Linux extensions for hosts that compose images themselves: the layout
// choice, and the collection composed into a track read sector by sector
// (what `dorvik image` writes to a file).
#include "api/guard.h"
#include "api/image_composition.h"
#include "api/library.h"
#include "dorvik.h"
#include "iso/iso_layout.h"

#if !defined(_WIN32)  // not one of DORVIK.DLL's exports

using dorvik::Guarded;
using dorvik::Library;

extern "C" {

DORVIK_API int32_t Vuz_SetImageLayout(int32_t layout) {
  return Guarded(DORVIK_E_REFUSED, [&] {
    switch (layout) {
      case DORVIK_LAYOUT_SETTING: dorvik::iso::ChooseIsoLayout(std::nullopt); break;
      case DORVIK_LAYOUT_CLASSIC: dorvik::iso::ChooseIsoLayout(dorvik::iso::IsoLayout::Classic); break;
      case DORVIK_LAYOUT_INTERCHANGE: dorvik::iso::ChooseIsoLayout(dorvik::iso::IsoLayout::Interchange); break;
      default: return DORVIK_E_REFUSED;
    }
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_ComposeImage(const char* volumeLabel, int32_t addPlaylist, uint32_t startSector,
                                    uint32_t* sectors) {
  return Guarded(DORVIK_E_REFUSED, [&] {
    if (sectors) *sectors = 0;
    auto& lib = Library::Get();
    const uint32_t n = lib.composition->Compose(*lib.collection, volumeLabel ? volumeLabel : "", addPlaylist != 0,
                                                startSector);
    if (n == 0) return DORVIK_E_REFUSED;
    if (sectors) *sectors = n;
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_ComposeReadSectors(uint8_t* buffer, uint32_t count) {
  return Guarded(DORVIK_E_REFUSED, [&] {
    if (!buffer && count > 0) return DORVIK_E_REFUSED;
    return Library::Get().composition->Read(buffer, count) ? DORVIK_OK : DORVIK_E_REFUSED;
  });
}

DORVIK_API int32_t Vuz_ComposeEnd(void) {
  return Guarded(DORVIK_OK, [] {
    Library::Get().composition->End();
    return DORVIK_OK;
  });
}

}  // extern "C"

#endif
