#include "diag/trace.h"

namespace dorvik::diag {

// Out of line on purpose: a breakpoint here sees every export go by.
void Trace(const char* /*label*/) {}
void Trace(const char* /*label*/, int32_t /*deviceId*/) {}

}  // namespace dorvik::diag
