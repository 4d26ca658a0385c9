#pragma once
// The trace hook: every export passes it a label on the way in and another on
// the way out (none when it leaves early on a failure). It records nothing;
// it is one place to break in a debugger, or to attach a tracer later,
// without touching the exports.
#include <cstdint>

namespace dorvik::diag {

void Trace(const char* label);
// Device selection also hands over the id its entry label mentions.
void Trace(const char* label, int32_t deviceId);

inline constexpr char kTraceStart[] = "<-----------Start(DeviceId:%d)--------->";
inline constexpr char kTraceStartEnd[] = "<-----------Start end sucess--------->";
inline constexpr char kTraceBlankDisc[] = "<----BlankDisc---->";
inline constexpr char kTraceBlankDiscEnd[] = "<----BlankDisc end---->";
inline constexpr char kTraceGetDiscInfo[] = "<----GetDiscInfo---->";
inline constexpr char kTraceGetDiscInfoEnd[] = "<----GetDiscInfo end---->";
inline constexpr char kTraceSetCdSpeeds[] = "<----SetCdSpeeds---->";
inline constexpr char kTraceSetCdSpeedsEnd[] = "<----SetCdSpeeds end---->";
inline constexpr char kTraceGetCdSpeeds[] = "<----GetCdSpeeds ---->";
inline constexpr char kTraceGetCdSpeedsEnd[] = "<----GetCdSpeeds end---->";
inline constexpr char kTraceLoad[] = "<----Load---->";
inline constexpr char kTraceLoadEnd[] = "<----Load end---->";
inline constexpr char kTraceUnload[] = "<----Unload---->";
inline constexpr char kTraceUnloadEnd[] = "<----Unload end---->";
inline constexpr char kTraceIsDeviceReady[] = "<----IsDeviceReadyEx---->";
inline constexpr char kTraceIsDeviceReadyEnd[] = "<----IsDeviceReadyEx end---->";
inline constexpr char kTraceGetVendorProductStrings[] = "<----GetVendorProductStrings---->";
inline constexpr char kTraceGetVendorProductStringsEnd[] = "<----GetVendorProductStrings end---->";
inline constexpr char kTraceGetSupportedWriteModes[] = "<----GetSupportedWriteModes---->";
inline constexpr char kTraceGetSupportedWriteModesEnd[] = "<----GetSupportedWriteModes end---->";
// Stopping a write: entry and exit.
inline constexpr char kTraceAbortWrite[] = "<----AbortWrite---->";
inline constexpr char kTraceAbortWriteEnd[] = "<----AbortWrite end---->";
// Exit only: the image write (whatever the job's result), the data write
// job (on success), and the finish of every track.
inline constexpr char kTraceWriteImageToCdEnd[] = "<----WriteImageToCD end---->";
inline constexpr char kTraceWriteCdEnd[] = "<----WriteCd end---->";
inline constexpr char kTraceBurnEnd[] = "<----Burn End---->";

}  // namespace dorvik::diag
