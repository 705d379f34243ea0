#include "tools/report/session_stats.h"

#include <algorithm>
#include <iterator>

#include "automation/vb_text.h"
#include "platform/profiles.h"
#include "trace/summary_log.h"

namespace corvane::report {

namespace {

// The fields IncrementFieldCount counts in (the severity counters and the
// dictations uploaded) and the dictations' total duration.
constexpr std::int32_t kCounters[] = {4, 5, 6, 14, 15};
// The value buffer the library reads a field with.
constexpr std::size_t kValueBuffer = 256;

}  // namespace

std::vector<SessionStat> read_session_stats(const std::filesystem::path& ini) {
  const OleString file = from_utf8(reinterpret_cast<const char*>(ini.u8string().c_str()));
  std::vector<SessionStat> stats;
  for (std::int32_t f = 0; f < modVBTrace::kSessionStatFields; ++f) {
    const OleString name = modVBTrace::sfnSessionStatFieldName(f);
    const OleString value = platform::Profiles::current().read(file, OLESTR("SessionStats"), name,
                                                               OLESTR(""), kValueBuffer);
    stats.push_back(
        {to_utf8(name), to_utf8(value),
         std::find(std::begin(kCounters), std::end(kCounters), f) != std::end(kCounters)});
  }
  return stats;
}

}  // namespace corvane::report
