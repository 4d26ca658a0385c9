/* A minimal C host: loads the library through its public header only. */
#include <stdio.h>
#include <string.h>

#include <dorvik.h>

static int notified;
static void on_message(void *context, uint32_t window, uint32_t messageId, uint32_t wParam, const char *lParam) {
  (void)context; (void)window; (void)messageId; (void)wParam; (void)lParam;
  notified++;
}

int main(void) {
  int failures = 0;
#define CHECK(expr, want)                                                   \
  do {                                                                      \
    long got = (long)(expr);                                                \
    if (got != (want)) {                                                    \
      fprintf(stderr, "%s: got %ld, want %ld\n", #expr, got, (long)(want)); \
      failures++;                                                           \
    }                                                                       \
  } while (0)
  CHECK(Vuz_IsDeviceReady(), DORVIK_E_NO_DEVICE);
  CHECK(Vuz_SetDevice(0), 1);
  CHECK(Vuz_IsDeviceReady(), 1);
  DorvikTrack tracks[2];
  int32_t count = -1;
  CHECK(Vuz_GetDiscTracks(tracks, 2, &count), DORVIK_E_REFUSED); /* the inert entry holds no disc */
  CHECK(count, 0);
  CHECK(Vuz_SetDevice(250), DORVIK_E_NO_DEVICE);
  CHECK(Vuz_SetMessageCallback(on_message, NULL), 1);
  CHECK(Vuz_SetMessageHandle(1, 0x401), 1);
  int32_t number = 0;
  char text[64];
  CHECK(Vuz_GetInfo(&number, text), 1);
  if (failures == 0) printf("host ok: %s\n", text);
  return failures == 0 ? 0 : 1;
}
