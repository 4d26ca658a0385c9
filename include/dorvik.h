/* Dorvik: CD/DVD recording library.
 *
 * Plain C interface. Every function returns 1 on success; 0 or a negative
 * code on failure (see the DORVIK_E_* values). No function throws, none
 * allocates memory the caller must free.
 *
 * Strings: 8-bit and NUL-terminated, in the locale's charset; on Linux
 * file and folder names are taken byte for byte and should be UTF-8 (they
 * become the disc's Joliet names). Disc paths use backslash separators and
 * begin with one ("\\" is the root, "\\MUSIC\\" a folder). Buffers the
 * library fills have fixed sizes, given at each function: vendor 8 and
 * product 16 bytes (not terminated when full), the information text 64,
 * the name of the file being written 260 (not terminated: pass it zeroed).
 *
 * Units: speeds in kB/s (1000 bytes a second); 1x is 176 kB/s on CD and
 * 1385 kB/s on DVD (DORVIK_SPEED_1X_CD, DORVIK_SPEED_1X_DVD). Sizes of
 * discs and tracks in 2048-byte sectors (blocks), free room in bytes.
 * Profiles are MMC profile numbers (DORVIK_PROFILE_*).
 *
 * Threads: every function may be called from any thread, but one drive
 * takes one command at a time: a host keeps its calls for a drive on one
 * thread, apart from Vuz_WriteGetProgress, Vuz_WriteGetCurrBurnFileName and
 * Vuz_StopWrite, which are made to be called from another thread while a
 * write export runs. Calls that block for long: the write exports (the
 * whole job: minutes), Vuz_EraseDisc (until the drive has erased: seconds
 * for a quick blank, up to an hour for a full DVD-RW), Vuz_GetCdSpeedsEx and
 * Vuz_GetCdSpeeds (they try each speed: a second or two); every other call
 * sends a few commands and returns within a second, or within the drive's
 * own command timeout when it hangs. Host messages (the callback of
 * Vuz_SetMessageCallback) may come from a thread of the library's.
 */
#ifndef DORVIK_H
#define DORVIK_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(DORVIK_BUILDING)
     /* DORVIK.DLL's module definition file names its exports, and nothing else does. */
#    define DORVIK_API
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

/* Window message (wParam) the library sends about a collection file it
 * cannot open or leaves off the disc (lParam: its path), and, when a session
 * is appended to a CD, about an entry of the disc's last session that the
 * new session cannot carry over (lParam: its disc path, "\folder\file";
 * the folder's path when the damaged entry has no readable name). */
#define DORVIK_NOTIFY_UNREADABLE_FILE 600

/* MMC profile numbers, as Vuz_GetDiscInfo reports the loaded medium. */
#define DORVIK_PROFILE_NONE 0x00              /* no medium */
#define DORVIK_PROFILE_CD_ROM 0x08
#define DORVIK_PROFILE_CD_R 0x09
#define DORVIK_PROFILE_CD_RW 0x0A
#define DORVIK_PROFILE_DVD_ROM 0x10
#define DORVIK_PROFILE_DVD_R 0x11             /* DVD-R, sequential recording */
#define DORVIK_PROFILE_DVD_RAM 0x12
#define DORVIK_PROFILE_DVD_RW_OVERWRITE 0x13  /* DVD-RW, restricted overwrite */
#define DORVIK_PROFILE_DVD_RW_SEQUENTIAL 0x14 /* DVD-RW, sequential recording */
#define DORVIK_PROFILE_DVD_PLUS_RW 0x1A
#define DORVIK_PROFILE_DVD_PLUS_R 0x1B

/* 1x in kB/s: multiply by the speed factor for Vuz_SetCdSpeeds. */
#define DORVIK_SPEED_1X_CD 176
#define DORVIK_SPEED_1X_DVD 1385

/* Selects the recorder by id (low 8 bits): 0 is an inert entry that is
 * always there, /dev/srN drives that can record take ids from 1 in number
 * order, then the software recorders of DORVIK_VIRTUAL_DRIVES. Returns 1,
 * or -8 when no recorder has that id. */
DORVIK_API int32_t DORVIK_CALL Vuz_SetDevice(int32_t deviceId);
/* Erases the rewritable disc; returns 1, -6, -7, -8, -10 or -15. */
DORVIK_API int32_t DORVIK_CALL Vuz_EraseDisc(void);
/* Reports blank, writable and MMC profile of the disc; returns 1, -8 or -15. */
DORVIK_API int32_t DORVIK_CALL Vuz_GetDiscInfo(int32_t *isBlank, int32_t *isWritable, int32_t *profile);
/* As Vuz_GetDiscInfo, plus the free bytes less a 10240-block reserve; returns 1, -8 or -15. */
DORVIK_API int32_t DORVIK_CALL Vuz_GetDiscInfoEx(int32_t *isBlank, int32_t *isWritable, int32_t *profile,
                                                 uint64_t *freeBytes);
/* Sets read and write speed in kB/s (0xFFFF: the fastest); the drive takes
 * the fastest speed it has at or below each. Returns 1 or -8. */
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
/* Copies the 8-byte vendor and 16-byte product fields (unterminated when
 * full: pass buffers of 9 and 17 zeroed bytes to get strings); returns 1,
 * 0 or -8. */
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
/* Reports the library's version number (0xMMmmpp) and a text of at most 63
 * characters plus NUL (a 64-byte buffer); returns 1. */
DORVIK_API int32_t DORVIK_CALL Vuz_GetInfo(int32_t *number, char *text);

#if !defined(_WIN32) /* the Linux extensions: DORVIK.DLL has exactly the 25 functions above */
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
 * -20 while a job writes to it, 0 when the drive gives no disc information. */
DORVIK_API int32_t DORVIK_CALL Vuz_GetDiscTracks(DorvikTrack *tracks, int32_t capacity, int32_t *count);
#endif /* the Linux extensions */

/* ---- Linux extensions for hosts such as the dorvik program ---- */
#if !defined(_WIN32) /* DORVIK.DLL has none of them */

/* Image layouts (see the README): classic, the library's default, and
 * interchange, which every reader opens. */
#define DORVIK_LAYOUT_SETTING (-1)   /* as the DORVIK_ISO_LAYOUT setting says (classic when unset) */
#define DORVIK_LAYOUT_CLASSIC 0
#define DORVIK_LAYOUT_INTERCHANGE 1
/* Linux extension: the layout of every image this process composes from
 * now on, a write's included, before the setting; DORVIK_LAYOUT_SETTING
 * goes back to the setting. Returns 1, or 0 for another value. */
DORVIK_API int32_t DORVIK_CALL Vuz_SetImageLayout(int32_t layout);

/* Linux extension: composes the collection into the data track a write
 * job would stream, without a drive: the same preparation (playlist,
 * volume label of at most 13 bytes used) and layout, laid out for
 * startSector (0 for a first session). *sectors receives the track's
 * length in 2048-byte sectors (a multiple of 32). Files left out are told
 * to the host as during a write (DORVIK_NOTIFY_UNREADABLE_FILE). A
 * composition already open is ended first. Returns 1, or 0 when the image
 * cannot be composed (no temporary folder, an unusable collection). */
DORVIK_API int32_t DORVIK_CALL Vuz_ComposeImage(const char *volumeLabel, int32_t addPlaylist, uint32_t startSector,
                                                uint32_t *sectors);
/* Linux extension: the next count sectors of the composed track into
 * buffer (count * 2048 bytes); sectors past the track's end are zeros.
 * Returns 1, or 0 when no composition is open. */
DORVIK_API int32_t DORVIK_CALL Vuz_ComposeReadSectors(uint8_t *buffer, uint32_t count);
/* Linux extension: ends the composition and deletes its temporary files,
 * the playlist file it wrote included (its entry stays in the collection
 * until Vuz_ClearFiles). Returns 1. */
DORVIK_API int32_t DORVIK_CALL Vuz_ComposeEnd(void);

/* Linux extension: what the current recorder is. */
#define DORVIK_DEVICE_INERT 0    /* id 0: answers without a drive, holds no disc */
#define DORVIK_DEVICE_DRIVE 1    /* a drive behind a device node (/dev/srN) */
#define DORVIK_DEVICE_SOFTWARE 2 /* a software recorder over a disc file */
/* Linux extension: sets *kind and copies the device node or disc file
 * (empty for the inert entry) into location, NUL-terminated and cut to
 * size - 1 bytes. Returns 1 or -8. */
DORVIK_API int32_t DORVIK_CALL Vuz_GetDeviceLocation(int32_t *kind, char *location, int32_t size);

/* Linux extension: what went wrong while the library looked for recorders
 * when it was loaded (each problem is also written to the diagnostic log). */
#define DORVIK_PROBLEM_SETTING 1      /* an entry of DORVIK_VIRTUAL_DRIVES, _OPTIONS or _FAULTS */
#define DORVIK_PROBLEM_DEVICE 2       /* a device node that could not be opened */
#define DORVIK_PROBLEM_NOT_RECORDER 3 /* a device that answered but cannot record */
typedef struct DorvikSetupProblem {
  int32_t kind;        /* DORVIK_PROBLEM_* */
  int32_t systemError; /* errno of the failed system call (EACCES, EBUSY ...), else 0 */
  int32_t deviceId;    /* the recorder made all the same (not quite as asked), else 0 */
  char subject[260];   /* the entry, setting or device node, NUL-terminated */
  char text[260];      /* what is wrong, in English, NUL-terminated */
} DorvikSetupProblem;
/* Linux extension: copies the problems into problems[0..capacity-1] and
 * sets *count to how many there are (problems may be NULL to ask only the
 * count). Returns 1. */
DORVIK_API int32_t DORVIK_CALL Vuz_GetSetupProblems(DorvikSetupProblem *problems, int32_t capacity, int32_t *count);

/* Linux extension: one file or folder of a disc's session. */
typedef struct DorvikDiscEntry {
  const char *path;  /* disc path, folders ending in a backslash; UTF-8; valid during the call */
  int32_t isFolder;
  int64_t size;      /* bytes (files) */
  int64_t modified;  /* recording time, seconds since 1970 UTC; 0 when the disc gives none */
  uint32_t extent;   /* first sector (files) */
} DorvikDiscEntry;
/* Called for each entry, synchronously; return 0 to stop the walk. */
typedef int32_t (*DorvikDiscEntryCallback)(void *context, const DorvikDiscEntry *entry);
/* Linux extension: walks the file tree of the newest session of the disc
 * in the current recorder that holds one, as a session appended to it
 * would carry the tree over (Joliet names where the session has them),
 * folders before what they hold. *track receives the track listed (may be
 * NULL). Returns 1, -8, -15 when the drive is not ready, 0 when the disc is
 * blank or no session holds an ISO 9660 tree. */
DORVIK_API int32_t DORVIK_CALL Vuz_ListDiscFiles(DorvikDiscEntryCallback callback, void *context, int32_t *track);

/* Linux extension: the file the diagnostic log is written to
 * (DORVIK_LOG_DIR, else beside the library), NUL-terminated; empty when
 * there is no folder. Returns 1, or 0 when size cannot hold it. */
DORVIK_API int32_t DORVIK_CALL Vuz_GetLogPath(char *path, int32_t size);

/* Linux extension: what a read-back of the last data track found. */
typedef struct DorvikVerifyReport {
  uint32_t start;          /* the track's first sector (LBA) */
  uint32_t sectors;        /* sectors sent to the drive, all compared */
  uint32_t differing;      /* sectors that read back otherwise, or not at all */
  uint32_t firstDiffering; /* LBA of the first of them; 0 when none differ */
} DorvikVerifyReport;
/* Linux extension: reads back, through the current recorder, the last data
 * track this process wrote to it (2048-byte sectors: a data write or an
 * ISO image) and compares each sector with a sum the library took as the
 * sector went to the drive. Blocks for as long as reading the track takes.
 * Returns 1 with the report filled (differing 0: the disc holds what was
 * sent); 0 when there is nothing to compare (no such track, or it was a
 * simulated write, file output or audio); -8, -15 when the drive is not
 * ready, -20 while a job writes to it. */
DORVIK_API int32_t DORVIK_CALL Vuz_VerifyWrittenTrack(DorvikVerifyReport *report);
#endif /* the Linux extensions for hosts */

#ifdef __cplusplus
}
#endif

#endif /* DORVIK_H */
