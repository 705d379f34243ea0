// Exact match search: lfnMatch and its two binary searches, as text and as
// long integers.
#include "automation/bstr.h"
#include "automation/error.h"
#include "automation/safe_array.h"
#include "automation/vb_text.h"
#include "platform/numbers.h"
#include "string_list/clsStringList.h"
#include "string_list/compare_text.h"
#include "string_list/sort_keys.h"
#include "trace/error_trap.h"
#include "trace/summary_log.h"
#include "trace/trace_log.h"

namespace corvane {

namespace {

constexpr modVBTrace::ErrorTrap kMatchTrap =
    modVBTrace::member_errmsgbox_trap(OLESTR("in Corvane.clsStringList.lfnMatch."));
constexpr OleStringView kTraceSource = OLESTR("clsStringList.lfnMatch");
constexpr OleStringView kBoundSource = OLESTR("clsStringList.lfnMatchLong");
constexpr std::int32_t kProbeLevel = 4;

void trace_probe_line(OleString line) {
  modVBTrace::GlobalTrace(kTraceSource, line, kProbeLevel, true, false, 1, false);
}

// Whether the trace level lets the search's lines through: asked once per
// search, so that no trace text is built otherwise (the level cannot change
// during a search).
bool probes_traced() {
  return modVBTrace::trace_level_enabled(kProbeLevel);
}

// "Target string: " target ". lLow: 0. lHigh: 0", written before the bounds
// are read.
void trace_target(OleStringView target) {
  OleString line = OLESTR("Target string: ");
  line += target;
  line += OLESTR(". lLow: 0. lHigh: 0");
  trace_probe_line(std::move(line));
}

// "lMid: " mid ". Comparing: " entry ". rc = " rc
void trace_probe(std::int32_t mid, BSTR entry, std::int32_t rc) {
  OleString line = OLESTR("lMid: ");
  line += to_text(mid);
  line += OLESTR(". Comparing: ");
  line += bstr_view(entry);
  line += OLESTR(". rc = ");
  line += to_text(rc);
  trace_probe_line(std::move(line));
}

// The list's lower bound, or the logged failure to read it.
bool read_lower_bound(SAFEARRAY* list, std::int32_t* lower) {
  try {
    *lower = array_lower_bound(list);
    return true;
  } catch (const AutomationError& e) {
    OleString msg = OLESTR("Error ");
    msg += to_text(e.number());
    msg += OLESTR(" retrieving lBound of StringList:\r\n");
    msg += e.description();
    modVBTrace::GlobalErrorsLog(kBoundSource, msg, 2, true, true);
    return false;
  }
}

}  // namespace

Variant clsStringList::lfnMatch(OleStringView sTarget, bool bMatchAsLong) {
  Variant result;
  result.get().vt = VT_I2;
  result.get().iVal = -1;
  modVBTrace::trapped(kMatchTrap, [&] {
    std::int32_t found = -1;
    if (!bMatchAsLong) {
      found = lfnMatchText(sTarget);
    } else {
      const std::optional<std::int32_t> target = platform::long_from_text(sTarget);
      if (!target) return;  // no search: the 16-bit -1 stays
      found = lfnMatchLong(*target);
    }
    result.get().vt = VT_I4;
    result.get().lVal = found;
  });
  return result;
}

std::int32_t clsStringList::lfnMatchText(OleStringView sTarget) {
  std::int32_t result = -1;
  modVBTrace::trapped(kMatchTrap, [&] {
    const bool tracing = probes_traced();
    if (tracing) trace_target(sTarget);
    std::int32_t lLow = 0;
    if (!read_lower_bound(m_sStringList, &lLow)) return;
    std::int32_t lHigh = array_upper_bound(m_sStringList);
    const StringCells list(m_sStringList);
    const LowercaseText target(sTarget);
    LowercaseText entry;
    const ProbePrefetcher prefetcher(m_sStringList);
    // The entries already lowercased, when the list has them (see
    // lowercase_index); each probe otherwise lowercases its entry.
    const LowercaseIndex* lowered = lowercase_index();
    // With the entries' sort keys, a probe compares the target's key, taken
    // once, with the entry's: the same answer as the comparison (see
    // sort_keys.h) for a target of the blocks the keys were checked on.
    const unsigned char* target_key = nullptr;
    if (lowered != nullptr && target.latin() && lowered->target_key(target.view(), m_targetKey)) {
      target_key = m_targetKey.data();
    }
    const std::int32_t first = lLow;
    while (lLow <= lHigh) {
      const std::int32_t lMid = binary_search_midpoint(lLow, lHigh);
      BSTR stored = list[lMid];
      std::int16_t rc = 0;
      const auto offset = static_cast<std::size_t>(lMid - first);
      const unsigned char* probe_key = target_key != nullptr ? lowered->key(offset) : nullptr;
      if (probe_key != nullptr) {
        rc = static_cast<std::int16_t>(compare_sort_keys(target_key, probe_key));
      } else if (lowered != nullptr) {
        rc = static_cast<std::int16_t>(lfnCompareText(target.view(), (*lowered)[offset]));
      } else {
        prefetcher.next_probes(lLow, lMid, lHigh);
        rc = static_cast<std::int16_t>(
            lfnCompareText(target.view(), entry.assign(bstr_view(stored))));
      }
      if (tracing) trace_probe(lMid, stored, rc);
      if (rc == 0) {
        result = lMid;
        return;
      }
      if (rc < 0) {
        lHigh = lMid - 1;
      } else {
        lLow = lMid + 1;
      }
    }
  });
  return result;
}

std::int32_t clsStringList::lfnMatchLong(std::int32_t lTarget) {
  std::int32_t result = -1;
  modVBTrace::trapped(kMatchTrap, [&] {
    const bool tracing = probes_traced();
    if (tracing) trace_target(to_text(lTarget));
    std::int32_t lLow = 0;
    if (!read_lower_bound(m_sStringList, &lLow)) return;
    std::int32_t lHigh = array_upper_bound(m_sStringList);
    const StringCells list(m_sStringList);
    while (lLow <= lHigh) {
      const std::int32_t lMid = binary_search_midpoint(lLow, lHigh);
      BSTR stored = list[lMid];
      const std::optional<std::int32_t> probe = platform::long_from_text(bstr_view(stored));
      if (!probe) return;  // an entry that is no number ends the search
      if (tracing) trace_probe(lMid, stored, 0);
      if (lTarget == *probe) {
        result = lMid;
        return;
      }
      if (lTarget < *probe) {
        lHigh = lMid - 1;
      } else {
        lLow = lMid + 1;
      }
    }
  });
  return result;
}

}  // namespace corvane
