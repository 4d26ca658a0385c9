/* Dorvik: CD/DVD recording library.
 *
 * Plain C interface. Every function returns 1 on success; 0 or a negative
 * code on failure (see the DORVIK_E_* values). No function throws, none
 * allocates memory the caller must free. Strings are 8-bit, in the locale's
 * charset (UTF-8 in practice); disc paths use backslash separators.
 */
#ifndef DORVIK_H
#define DORVIK_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(DORVIK_BUILDING)
#    define DORVIK_API __declspec(dllexport)
#  else
#    define DORVIK_API __declspec(dllimport)
#  endif
#  define DORVIK_CALL __cdecl
#else
#  define DORVIK_API __attribute__((visibility("default")))
#  define DORVIK_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. */
#define DORVIK_OK 1
#define DORVIK_E_REFUSED 0            /* the device refused a command, or the job could not be prepared */
#define DORVIK_E_FREE_SPACE (-5)      /* free space of the disc could not be read */
#define DORVIK_E_BLANK_FAILED (-6)    /* BLANK failed */
#define DORVIK_E_NOT_ERASABLE (-7)    /* drive cannot write, inert device, or medium not erasable */
#define DORVIK_E_NO_DEVICE (-8)       /* no device selected, or the id names none */
#define DORVIK_E_RAM_FORMAT (-10)     /* DVD-RAM formatting write parameters refused */
#define DORVIK_E_NOT_READY (-15)      /* TEST UNIT READY failed */
#define DORVIK_E_BUSY (-20)           /* a write job is running: another write export, or an export that
                                         would send commands to the drive being written, is refused */
#define DORVIK_E_TOO_BIG (-124)       /* data exceeds free blocks less a 10240-block reserve */
#define DORVIK_E_TRACK_NOT_READY (-700) /* the drive was not ready when a track was to begin */
#define DORVIK_E_TRACK_PREPARE (-701)   /* the drive refused the write preparation of a track */
#define DORVIK_E_MEDIUM_UNSUPPORTED (-702) /* the loaded medium is not one the library writes */

/* Window message the library sends about a collection file it cannot open. */
#define DORVIK_NOTIFY_UNREADABLE_FILE 600

/* Selects the recorder by id (low 8 bits); returns 1, or -8 when no recorder has that id. */
DORVIK_API int32_t DORVIK_CALL Vuz_SetDevice(int32_t deviceId);
/* Erases the rewritable disc; returns 1, -6, -7, -8, -10 or -15. */
DORVIK_API int32_t DORVIK_CALL Vuz_EraseDisc(void);
/* Reports blank, writable and MMC profile of the disc; returns 1, -8 or -15. */
DORVIK_API int32_t DORVIK_CALL Vuz_GetDiscInfo(int32_t *isBlank, int32_t *isWritable, int32_t *profile);
/* As Vuz_GetDiscInfo, plus the free bytes less a 10240-block reserve; returns 1, -8 or -15. */
DORVIK_API int32_t DORVIK_CALL Vuz_GetDiscInfoEx(int32_t *isBlank, int32_t *isWritable, int32_t *profile,
                                                 uint64_t *freeBytes);
/* Sets read and write speed in kB/s; returns 1 or -8. */
DORVIK_API int32_t DORVIK_CALL Vuz_SetCdSpeeds(uint16_t readSpeed, uint16_t writeSpeed);
/* Reports current and maximum speeds in kB/s; returns 1, 0, -8 or -15. */
DORVIK_API int32_t DORVIK_CALL Vuz_GetCdSpeeds(uint16_t *readSpeed, uint16_t *writeSpeed,
                                               uint16_t *maxReadSpeed, uint16_t *maxWriteSpeed);
/* Reports current, maximum and minimum speeds in kB/s; returns 1, 0, -8 or -15. */
DORVIK_API int32_t DORVIK_CALL Vuz_GetCdSpeedsEx(uint16_t *readSpeed, uint16_t *writeSpeed,
                                                 uint16_t *maxReadSpeed, uint16_t *maxWriteSpeed,
                                                 uint16_t *minWriteSpeed);
/* Closes the tray; returns 1 or -8. */
DORVIK_API int32_t DORVIK_CALL Vuz_Load(void);
/* Allows removal and opens the tray; returns 1 or -8. */
DORVIK_API int32_t DORVIK_CALL Vuz_Unload(void);
/* Returns 1 when the drive is ready, -15 when not, -8 without a device. */
DORVIK_API int32_t DORVIK_CALL Vuz_IsDeviceReady(void);
/* Stores a buffer-underrun-protection preference; always returns 1. */
DORVIK_API int32_t DORVIK_CALL Vuz_BurnProofControl(int32_t value);
/* Copies the 8-byte vendor and 16-byte product fields (unterminated when full); returns 1, 0 or -8. */
DORVIK_API int32_t DORVIK_CALL Vuz_GetVendorProductStrings(char *vendor, char *product);
/* Reports the CD write modes the drive lists; returns 1 or -8. */
DORVIK_API int32_t DORVIK_CALL Vuz_GetSupportedWriteModes(int32_t *trackAtOnce, int32_t *sessionAtOnce,
                                                          int32_t *raw);
/* Writing. A write export (Vuz_WriteDataCD, Vuz_WriteDataCDEx,
 * Vuz_WriteImageToCD) runs the whole job on the calling thread and returns
 * when it has ended: seconds to many minutes. Meanwhile another thread may
 * call Vuz_WriteGetProgress, Vuz_WriteGetCurrBurnFileName and
 * Vuz_StopWrite. One job runs at a time: a second write export returns
 * DORVIK_E_BUSY (-20), and so does every export that would send a command
 * to the drive being written (Vuz_GetDiscInfo, Vuz_Unload, ...); other
 * drives and the collection exports are not affected (the collection must
 * not be changed during a data job, which reads it).
 *
 * Job results: 1 when every track was written and finished (a track that
 * failed in the middle, or was stopped, is finished too: read the disc to
 * be sure); 0 when the image file cannot be opened or recognised, or a
 * track cannot be prepared; -5 when the disc's free room cannot be read
 * (for example a closed disc); -124 when the data and a reserve of 10240
 * blocks do not fit; -700, -701, -702 as above; -8 without a device;
 * -20 while another job runs. Nothing is written to the disc for results
 * other than 1, -700, -701, -702 (which come from the medium's
 * preparation, before the first block). */

/* Stops the track being written: its threads end within one write, the
 * track and session are still closed and the write export returns.
 * Callable from any thread, also when nothing is written; returns 1. */
DORVIK_API int32_t DORVIK_CALL Vuz_StopWrite(void);
/* Writes a disc image file to the disc: 2048-byte sectors (ISO 9660, UDF)
 * or raw 2352/2448-byte sectors, whose user data is written. Blocks; the
 * job result (above). */
DORVIK_API int32_t DORVIK_CALL Vuz_WriteImageToCD(const char *imagePath, int32_t testWrite);
/* Adds a file or folder tree under a disc folder; always returns 1. */
DORVIK_API int32_t DORVIK_CALL Vuz_AddFiles(const char *source, const char *discFolder, int32_t mp3Only);
/* Removes a file or folder (by disc path) from the collection; always returns 1. */
DORVIK_API int32_t DORVIK_CALL Vuz_DeleteFiles(const char *discPath, int32_t isFolder);
/* Writes the collection as an ISO 9660 + Joliet disc (volume label: at
 * most 13 bytes are used; NULL is an empty label), optionally with
 * Playlist.M3U; testWrite 1 asks the drive to simulate (CD-R/RW, DVD-R,
 * sequential DVD-RW; other media ignore it and record). The session is
 * left open and the tray opened as Vuz_WriteDataCDEx last chose (closed
 * and opened at first). Blocks; the job result (above). */
DORVIK_API int32_t DORVIK_CALL Vuz_WriteDataCD(const char *volumeLabel, int32_t addPlaylist, int32_t testWrite);
/* As Vuz_WriteDataCD, choosing for this and later writes whether a CD's
 * session stays open for another (ignored, and cleared, on DVD) and
 * whether the tray opens at the end (else the disc is reloaded). Blocks;
 * the job result (above). */
DORVIK_API int32_t DORVIK_CALL Vuz_WriteDataCDEx(const char *volumeLabel, int32_t addPlaylist, int32_t testWrite,
                                                 int32_t leaveSessionOpen, int32_t ejectAfterWrite);
/* The percentage of the current track's blocks written, 0 when no track is
 * written. Above 100 only at the end of a track whose size is not a
 * multiple of the blocks per write (16 on CD, 32 on DVD). Any thread. */
DORVIK_API int32_t DORVIK_CALL Vuz_WriteGetProgress(void);
/* Copies the name of the file being written into name, without a NUL (pass
 * a zeroed buffer of at least 260 bytes): "Processing..." while a track is
 * prepared, the source path of the file being read, empty after a track.
 * Any thread; returns 1. */
DORVIK_API int32_t DORVIK_CALL Vuz_WriteGetCurrBurnFileName(char *name);
/* Empties the collection (same as Vuz_ClearFiles); returns 1. */
DORVIK_API int32_t DORVIK_CALL Vuz_WriteClose(void);
/* Empties the collection into a new workspace; returns 1. */
DORVIK_API int32_t DORVIK_CALL Vuz_ClearFiles(void);
/* Sets the window and message number for host notifications; returns 1. */
DORVIK_API int32_t DORVIK_CALL Vuz_SetMessageHandle(uint32_t window, uint32_t messageId);
/* Reports the library's version number and a text of at most 63 characters plus NUL; returns 1. */
DORVIK_API int32_t DORVIK_CALL Vuz_GetInfo(int32_t *number, char *text);

/* Linux extension: where Windows sends a window message, POSIX hosts get
 * this callback, called synchronously with the window and message number
 * last given to Vuz_SetMessageHandle, wParam (600) and the NUL-terminated
 * path. A window of 0 still suppresses it, as on Windows. Pass NULL to
 * remove the callback. Returns 1. */
typedef void (*DorvikMessageCallback)(void *context, uint32_t window, uint32_t messageId,
                                      uint32_t wParam, const char *lParam);
DORVIK_API int32_t DORVIK_CALL Vuz_SetMessageCallback(DorvikMessageCallback callback, void *context);

/* Linux extension: one track of the disc in the current recorder, as the
 * drive describes it (READ DISC INFORMATION and READ TRACK INFORMATION, or
 * its table of contents where it does not answer the latter). */
#define DORVIK_TRACK_CLOSED 0 /* written and closed */
#define DORVIK_TRACK_OPEN 1   /* incomplete: writing may go on in it */
#define DORVIK_TRACK_BLANK 2  /* nothing written yet: where the next track or session goes */
typedef struct DorvikTrack {
  int32_t session;       /* session number, from 1 */
  int32_t track;         /* track number, from 1 */
  int32_t start;         /* first sector (LBA) */
  int32_t size;          /* sectors; an open or blank track counts the room it may still take */
  int32_t state;         /* DORVIK_TRACK_CLOSED, DORVIK_TRACK_OPEN or DORVIK_TRACK_BLANK */
  int32_t isData;        /* 1 for a data track, 0 for audio */
  int32_t sessionClosed; /* 1 when the track's session is closed */
} DorvikTrack;
/* Linux extension: lists the disc's tracks in track order into
 * tracks[0..capacity-1] and sets *count to the number of tracks the disc
 * has (which may be more than capacity; tracks may be NULL to ask only the
 * count). Returns 1, -8 without a device, -15 when the drive is not ready,
 * 0 when the drive gives no disc information. */
DORVIK_API int32_t DORVIK_CALL Vuz_GetDiscTracks(DorvikTrack *tracks, int32_t capacity, int32_t *count);

#ifdef __cplusplus
}
#endif

#endif /* DORVIK_H */
