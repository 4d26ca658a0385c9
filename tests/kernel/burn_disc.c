/* Writes one session to a software recorder's CD-R through the library's
 * public exports only, as a host would, so the kernel stage can hand the
 * disc file to the VM's drive and see what the kernel's isofs makes of it.
 *
 *   dorvik_kernel_burn DISC LABEL SOURCE...
 *
 * DISC is the recorder's disc file (a blank CD-R when it does not exist
 * yet; an earlier session's disc otherwise, whose tree the write imports).
 * The session is left open, so another may follow. The layout is the
 * library's setting (DORVIK_ISO_LAYOUT). Prints one line per session of
 * the disc: "session N start LBA size BLOCKS". */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <dorvik.h>

enum { kMaxTracks = 99 };

static int fail(const char *what, long result) {
  fprintf(stderr, "dorvik_kernel_burn: %s: %ld\n", what, result);
  return 1;
}

int main(int argc, char **argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: dorvik_kernel_burn DISC LABEL SOURCE...\n");
    return 2;
  }
  /* The shared library makes its recorders when it is loaded, before main
   * runs: the settings that name the disc must be there at exec. */
  char drives[4096];
  if (snprintf(drives, sizeof drives, "%s:cd-r", argv[1]) >= (int)sizeof drives) return fail("disc path too long", 0);
  const char *current = getenv("DORVIK_VIRTUAL_DRIVES");
  if (current == NULL || strcmp(current, drives) != 0) {
    setenv("DORVIK_VIRTUAL_DRIVES", drives, 1);
    setenv("DORVIK_VIRTUAL_OPTIONS", "vendor=KSTAGE", 1);
    setenv("DORVIK_TIME_SCALE", "0", 1);
    execv("/proc/self/exe", argv);
    return fail("cannot restart with the recorder's settings", 0);
  }

  /* Software recorders take the ids after the host's own drives. */
  int32_t id = 0;
  for (int32_t i = 1; i <= 254; ++i) {
    if (Vuz_SetDevice(i) != DORVIK_OK) continue;
    char vendor[9] = {0}, product[17] = {0};
    if (Vuz_GetVendorProductStrings(vendor, product) == DORVIK_OK && strncmp(vendor, "KSTAGE", 6) == 0) id = i;
  }
  if (id == 0) return fail("no software recorder for the disc", 0);
  long r = Vuz_SetDevice(id);
  if (r != DORVIK_OK) return fail("Vuz_SetDevice", r);

  Vuz_ClearFiles();
  for (int i = 3; i < argc; ++i) Vuz_AddFiles(argv[i], "\\", 0);
  r = Vuz_WriteDataCDEx(argv[2], 0, 0, 1, 0);
  if (r != DORVIK_OK) return fail("Vuz_WriteDataCDEx", r);

  DorvikTrack tracks[kMaxTracks];
  int32_t count = 0;
  r = Vuz_GetDiscTracks(tracks, kMaxTracks, &count);
  if (r != DORVIK_OK) return fail("Vuz_GetDiscTracks", r);
  if (count > kMaxTracks) count = kMaxTracks;
  for (int32_t i = 0; i < count; ++i) {
    const DorvikTrack *t = &tracks[i];
    if (t->state != DORVIK_TRACK_BLANK && t->isData)
      printf("session %d start %d size %d\n", (int)t->session, (int)t->start, (int)t->size);
  }
  return 0;
}
