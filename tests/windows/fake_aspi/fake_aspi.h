#pragma once
// A stand-in for the ASPI for Win32 manager, built as WNASPI32.dll beside
// the test programs so the loader finds it first. It answers the adapter
// inquiry, device type and disk information from a scripted topology, and
// hands each execute request to the test's device, completing it at once,
// later on a thread of its own (signalling the request's event), or never.
#include <cstdint>

#include "transport/win32/aspi.h"

extern "C" {

enum FakeAspiCompletion : uint32_t {
  kFakeAspiAtOnce = 0,    // SendASPI32Command answers with the final status
  kFakeAspiLater = 1,     // answers pending; a thread completes and signals
  kFakeAspiNever = 2,     // answers pending and leaves it so until aborted
};

// Runs one execute request against the scripted device: sets the status,
// adapter and target status, and the sense area.
typedef void (*FakeAspiDevice)(void* context, dorvik::aspi::ExecuteScsi* request);

struct FakeAspiDisk {
  uint8_t adapter, target, driveNumber;
};

struct FakeAspiScript {
  uint32_t supportInfo;     // GetASPI32SupportInfo's answer
  uint8_t inquiryStatus;    // the adapter inquiry's status
  uint8_t adapterCount;     // its byte 8
  uint8_t targetCount;      // its byte 45
  uint8_t diskCount;
  FakeAspiDisk disks[16];   // who answers the disk information request
  uint32_t completion;      // FakeAspiCompletion
  bool honourAbort;         // an abort request ends a pending request as aborted
  FakeAspiDevice device;
  void* context;
};

// Replaces the script and forgets the requests seen so far.
__declspec(dllexport) void __cdecl FakeAspi_SetScript(const FakeAspiScript* script);
// Requests seen since the script was set, by request code.
__declspec(dllexport) uint32_t __cdecl FakeAspi_Count(uint8_t command);
// The adapter and target of the n-th disk information request (adapter << 8 | target).
__declspec(dllexport) uint32_t __cdecl FakeAspi_DiskQuery(uint32_t n);
// Waits for the completion threads started so far.
__declspec(dllexport) void __cdecl FakeAspi_Drain();

}
