/* A minimal C host: loads the library through its public header only.
 *
 * On Windows it is a host of DORVIK.DLL as hosts are written there: the DLL
 * is loaded at run time and every export found by name. Given a work folder
 * on its command line, it also puts a new CD-R software recorder there,
 * writes a collection to it, polling progress and the current file name
 * while the write runs on another thread, and receives the window message
 * about a file that cannot be read. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <dorvik.h>

#if defined(_WIN32)
#include <windows.h>

/* Every export, found by name in the loaded DLL. */
#define DORVIK_EXPORTS(X)                                                                        \
  X(Vuz_SetDevice) X(Vuz_EraseDisc) X(Vuz_GetDiscInfo) X(Vuz_GetDiscInfoEx) X(Vuz_SetCdSpeeds)     \
  X(Vuz_GetCdSpeedsEx) X(Vuz_GetCdSpeeds) X(Vuz_Load) X(Vuz_Unload) X(Vuz_IsDeviceReady)           \
  X(Vuz_BurnProofControl) X(Vuz_GetVendorProductStrings) X(Vuz_GetSupportedWriteModes)             \
  X(Vuz_AddFiles) X(Vuz_DeleteFiles) X(Vuz_WriteClose) X(Vuz_ClearFiles) X(Vuz_SetMessageHandle)   \
  X(Vuz_GetInfo) X(Vuz_StopWrite) X(Vuz_WriteImageToCD) X(Vuz_WriteDataCD) X(Vuz_WriteDataCDEx)      \
  X(Vuz_WriteGetProgress) X(Vuz_WriteGetCurrBurnFileName)
#define DECLARE(name) static __typeof__(&name) p_##name;
DORVIK_EXPORTS(DECLARE)
#define CALL(name) p_##name

static int FindExports(HMODULE dll) {
  int missing = 0;
#define FIND(name)                                                      \
  p_##name = (__typeof__(&name))(void (*)(void))GetProcAddress(dll, #name); \
  if (!p_##name) {                                                      \
    fprintf(stderr, "export %s not found\n", #name);                    \
    missing++;                                                          \
  }
  DORVIK_EXPORTS(FIND)
  return missing;
}
#else
#define CALL(name) name
static int notified;
static void on_message(void *context, uint32_t window, uint32_t messageId, uint32_t wParam, const char *lParam) {
  (void)context; (void)window; (void)messageId; (void)wParam; (void)lParam;
  notified++;
}
#endif

static int failures;
#define CHECK(expr, want)                                                   \
  do {                                                                      \
    long got = (long)(expr);                                                \
    if (got != (want)) {                                                    \
      fprintf(stderr, "%s: got %ld, want %ld\n", #expr, got, (long)(want)); \
      failures++;                                                           \
    }                                                                       \
  } while (0)

#if defined(_WIN32)
/* The host's window: keeps the path of the last unreadable-file message. */
static char unreadable[MAX_PATH];
static int messages;
static LRESULT CALLBACK HostWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == 0x401 && wParam == DORVIK_NOTIFY_UNREADABLE_FILE) {
    lstrcpynA(unreadable, (const char *)lParam, sizeof unreadable);
    messages++;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

static volatile LONG writeResult = 12345;
static DWORD WINAPI WriteCollection(void *unused) {
  (void)unused;
  InterlockedExchange(&writeResult, CALL(Vuz_WriteDataCD)("HOST DISC", 0, 0));
  return 0;
}

/* Writes a folder with a file the library cannot open to the recorder,
 * polling while the write runs, as a host's user interface does. */
static void WriteAndWatch(const char *work) {
  char folder[MAX_PATH], file[MAX_PATH], locked[MAX_PATH];
  snprintf(folder, sizeof folder, "%s\\collection", work);
  snprintf(file, sizeof file, "%s\\song.mp3", folder);
  snprintf(locked, sizeof locked, "%s\\locked.mp3", folder);
  CreateDirectoryA(folder, NULL);
  static char data[3 << 20];
  for (size_t i = 0; i < sizeof data; i++) data[i] = (char)(i * 7);
  FILE *f = fopen(file, "wb");
  fwrite(data, 1, sizeof data, f);
  fclose(f);
  f = fopen(locked, "wb");
  fwrite(data, 1, 4096, f);
  fclose(f);
  /* Held without sharing, so the library cannot open it while writing. */
  HANDLE hold = CreateFileA(locked, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);

  WNDCLASSA cls = {0};
  cls.lpfnWndProc = HostWindow;
  cls.hInstance = GetModuleHandleA(NULL);
  cls.lpszClassName = "DorvikHost";
  RegisterClassA(&cls);
  HWND window = CreateWindowExA(0, "DorvikHost", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, cls.hInstance, NULL);
  CHECK(CALL(Vuz_SetMessageHandle)((uint32_t)(uintptr_t)window, 0x401), 1);
  CHECK(CALL(Vuz_AddFiles)(folder, "\\", 0), 1);

  HANDLE writer = CreateThread(NULL, 0, WriteCollection, NULL, 0, NULL);
  int highest = 0, polls = 0, named = 0;
  while (WaitForSingleObject(writer, 20) == WAIT_TIMEOUT) {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    int progress = CALL(Vuz_WriteGetProgress)();
    if (progress > highest) highest = progress;
    char name[260] = {0};
    CALL(Vuz_WriteGetCurrBurnFileName)(name);
    if (strstr(name, "song.mp3")) named = 1;
    polls++;
  }
  CloseHandle(writer);
  CloseHandle(hold);
  CHECK(writeResult, 1);
  CHECK(messages >= 1, 1);
  CHECK(strstr(unreadable, "locked.mp3") != NULL, 1);
  CHECK(highest > 0, 1);
  CHECK(named, 1);
  printf("write: result %ld, %d polls, progress up to %d%%, message about %s\n", (long)writeResult, polls, highest,
         unreadable);
  /* The write ended with the tray open; closed again, the disc is no longer blank. */
  CHECK(CALL(Vuz_IsDeviceReady)(), DORVIK_E_NOT_READY);
  CHECK(CALL(Vuz_Load)(), 1);
  CHECK(CALL(Vuz_IsDeviceReady)(), 1);
  int32_t blank = -1, writable = -1, profile = -1;
  CHECK(CALL(Vuz_GetDiscInfo)(&blank, &writable, &profile), 1);
  CHECK(blank, 0);
  CHECK(profile, 0x09);
  DestroyWindow(window);
}
#endif

int main(int argc, char **argv) {
#if defined(_WIN32)
  /* A new software recorder, which the library finds beside the drive letters. */
  char drives[MAX_PATH + 16] = "";
  if (argc > 1) {
    char disc[MAX_PATH];
    CreateDirectoryA(argv[1], NULL);
    snprintf(disc, sizeof disc, "%s\\disc.img", argv[1]);
    DeleteFileA(disc);
    snprintf(drives, sizeof drives, "%s.state", disc);
    DeleteFileA(drives);
    snprintf(drives, sizeof drives, "%s:cd-r", disc);
  }
  _putenv_s("DORVIK_VIRTUAL_DRIVES", drives);
  HMODULE dll = LoadLibraryA("DORVIK.DLL");
  if (!dll) {
    fprintf(stderr, "DORVIK.DLL not loaded (error %lu)\n", GetLastError());
    return 1;
  }
  if (FindExports(dll) != 0) return 1;
#else
  (void)argc;
  (void)argv;
#endif
  CHECK(CALL(Vuz_IsDeviceReady)(), DORVIK_E_NO_DEVICE);
  CHECK(CALL(Vuz_SetDevice)(0), 1);
  CHECK(CALL(Vuz_IsDeviceReady)(), 1);
#if !defined(_WIN32)
  DorvikTrack tracks[2];
  int32_t count = -1;
  CHECK(Vuz_GetDiscTracks(tracks, 2, &count), DORVIK_E_REFUSED); /* the inert entry holds no disc */
  CHECK(count, 0);
#endif
  CHECK(CALL(Vuz_SetDevice)(250), DORVIK_E_NO_DEVICE);
#if !defined(_WIN32)
  CHECK(Vuz_SetMessageCallback(on_message, NULL), 1);
#endif
  CHECK(CALL(Vuz_SetMessageHandle)(1, 0x401), 1);
  int32_t number = 0;
  char text[64];
  CHECK(CALL(Vuz_GetInfo)(&number, text), 1);
#if defined(_WIN32)
  if (argc > 1) {
    /* The recorder takes the first id beside the letters. */
    CHECK(CALL(Vuz_SetDevice)(26), 1);
    char vendor[8], product[16];
    CHECK(CALL(Vuz_GetVendorProductStrings)(vendor, product), 1);
    CHECK(memcmp(vendor, "DORVIK  ", 8) == 0 && memcmp(product, "Virtual Recorder", 16) == 0, 1);
    int32_t blank = -1, writable = -1, profile = -1;
    CHECK(CALL(Vuz_GetDiscInfo)(&blank, &writable, &profile), 1);
    CHECK(blank, 1);
    CHECK(profile, 0x09);
    WriteAndWatch(argv[1]);
  }
  CHECK(FreeLibrary(dll) != 0, 1);
#endif
  if (failures == 0) printf("host ok: %s\n", text);
  return failures == 0 ? 0 : 1;
}
