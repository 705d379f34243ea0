#include "trace/trace_forwarding.h"

namespace corvane::modVBTrace {

bool UseSendTrace() {
  return false;
}

void SendTraceStatement(OleStringView, std::int32_t, bool) {}

}  // namespace corvane::modVBTrace
