#include "trace/locations.h"

#include <algorithm>

#include "automation/vb_text.h"
#include "platform/clock.h"
#include "platform/module_info.h"
#include "platform/text_encoding.h"
#include "trace/error_trap.h"
#include "trace/module_values.h"

namespace corvane::modVBTrace {

namespace {

constexpr ErrorTrap kSystemTimeStampTrap = errors_log_trap(
    OLESTR("in Corvane.modVBTrace.SystemTimeStamp."), OLESTR("modVBTrace.SystemTimeStamp"));
constexpr ErrorTrap kStripNullsTrap =
    errors_log_trap(OLESTR("in Corvane.modVBTrace.StripNulls."), OLESTR("modVBTrace.StripNulls"));
constexpr ErrorTrap kBackwardsInstrTrap =
    errmsgbox_trap(OLESTR("in Corvane.modVBTrace.lfnBackwardsInstr."), 4097);

}  // namespace

OleString sfnProcessName() {
  std::optional<OleString>& name = module_values().process_name;
  if (!name.has_value()) {
    try {
      name = platform::file_base_name(platform::ModuleInfo::current().own_file_path());
    } catch (...) {
      return OleString();  // errors are ignored: the name stays unset
    }
  }
  return *name;
}

OleString SystemTimeStamp() {
  OleString stamp;
  trapped(kSystemTimeStampTrap, [&] {
    const platform::LocalTime now = platform::Clock::current().local_time();
    OleString date = StripNulls(platform::from_ansi(platform::format_date(now, "MM-dd-yy")));
    OleString time = StripNulls(platform::from_ansi(platform::format_time(now, "HH:mm:ss")));
    const OLECHAR millis[] = {static_cast<OLECHAR>(u'0' + now.milliseconds / 100 % 10),
                              static_cast<OLECHAR>(u'0' + now.milliseconds / 10 % 10),
                              static_cast<OLECHAR>(u'0' + now.milliseconds % 10)};
    stamp = std::move(date);
    stamp += u' ';
    stamp += time;
    stamp += u'.';
    stamp.append(millis, 3);
  });
  return stamp;
}

OleString StripNulls(OleStringView sText) {
  OleString result;
  trapped(kStripNullsTrap, [&] {
    const std::size_t nul = sText.find(u'\0');
    result = OleString(nul == OleStringView::npos ? sText : sText.substr(0, nul));
  });
  return result;
}

std::int32_t lfnBackwardsInstr(OleStringView sText, OleStringView sTarget,
                               std::int32_t lTailLength) {
  std::int32_t result = 0;
  trapped(kBackwardsInstrTrap, [&] {
    OleStringView tail = sText;
    if (lTailLength >= 0 && static_cast<std::size_t>(lTailLength) < sText.size()) {
      tail = sText.substr(sText.size() - static_cast<std::size_t>(lTailLength));
    }
    OleString reversed(tail.rbegin(), tail.rend());
    const std::size_t found = instr(reversed, sTarget);
    result = found == 0 ? 0 : static_cast<std::int32_t>(found - 1);
  });
  return result;
}

}  // namespace corvane::modVBTrace
