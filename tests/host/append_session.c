/* A host that writes one session through the shared library, as a user's
 * program would on another day: selects recorder 1, adds each SOURCE to
 * the disc's root (an argument "-PATH" removes the disc path PATH instead)
 * and calls Vuz_WriteDataCDEx. Prints the disc info before the write and
 * the write's result.
 *
 * usage: append_session LEAVE_OPEN LABEL [SOURCE | -DISCPATH]... */
#include <stdio.h>
#include <stdlib.h>

#include <dorvik.h>

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: append_session LEAVE_OPEN LABEL [SOURCE | -DISCPATH]...\n");
    return 2;
  }
  if (Vuz_SetDevice(1) != DORVIK_OK) {
    fprintf(stderr, "append_session: no recorder 1\n");
    return 2;
  }
  int32_t blank = -1, writable = -1, profile = -1;
  Vuz_GetDiscInfo(&blank, &writable, &profile);
  printf("before: blank %d writable %d profile %d\n", blank, writable, profile);
  for (int i = 3; i < argc; ++i) {
    if (argv[i][0] == '-') Vuz_DeleteFiles(argv[i] + 1, 0);
    else Vuz_AddFiles(argv[i], "\\", 0);
  }
  const int32_t result = Vuz_WriteDataCDEx(argv[2], 0, 0, atoi(argv[1]), 0);
  printf("result: %d\n", result);
  return result == DORVIK_OK ? 0 : 1;
}
