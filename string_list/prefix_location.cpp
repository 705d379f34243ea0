// Prefix location: a binary search for an entry that begins with a prefix,
// the walk from its last probe to the result, and the linear search for a
// description.
#include <optional>

#include "automation/bstr.h"
#include "automation/error.h"
#include "automation/safe_array.h"
#include "string_list/clsStringList.h"
#include "string_list/compare_text.h"
#include "string_list/sort_keys.h"
#include "trace/error_trap.h"

namespace corvane {

namespace {

using modVBTrace::member_msgbox_trap;

constexpr modVBTrace::ErrorTrap kLocationTrap =
    member_msgbox_trap(OLESTR("in Corvane.clsStringList.lfnMatchingPrefixLocation."));
constexpr modVBTrace::ErrorTrap kFirstTrap =
    member_msgbox_trap(OLESTR("in Corvane.clsStringList.lfnFirstMatchingPrefix."));
constexpr modVBTrace::ErrorTrap kServerChangeTrap =
    member_msgbox_trap(OLESTR("in Corvane.clsStringList.lfnMatchingPrefixLocationServerChange."));
constexpr modVBTrace::ErrorTrap kNextStringTrap =
    member_msgbox_trap(OLESTR("in Corvane.clsStringList.lfnNextString."));

}  // namespace

OleStringView clsStringList::head_of_entry(std::int32_t i, std::size_t n,
                                           const LowercaseIndex* lowered,
                                           LowercaseText& buffer) const {
  if (lowered != nullptr) {
    const std::int64_t offset = std::int64_t{i} - m_sStringList->rgsabound[0].lLbound;
    if (offset >= 0 && static_cast<std::uint64_t>(offset) < lowered->count())
      return (*lowered)[static_cast<std::size_t>(offset)].substr(0, n);
  }
  const OleStringView entry = bstr_view(string_element(m_sStringList, i));
  return buffer.assign(entry.substr(0, n));
}

std::int32_t clsStringList::lfnMatchingPrefixLocation(OleStringView sTargetPrefix,
                                                      std::int32_t /*CompareType*/) {
  std::int32_t result = 0;
  modVBTrace::trapped(kLocationTrap, [&] {
    std::int32_t lLow = 0;
    try {
      lLow = array_lower_bound(m_sStringList);
    } catch (const AutomationError&) {
      return;  // no list: 0, without a message
    }
    std::int32_t lHigh = array_upper_bound(m_sStringList);
    const std::int32_t first = lLow;
    const std::size_t n = sTargetPrefix.size();
    const LowercaseText target(sTargetPrefix);
    LowercaseText head;
    const LowercaseIndex* lowered = lowercase_index();
    const ProbePrefetcher prefetcher(lowered == nullptr ? m_sStringList : nullptr);
    // An entry no longer than the prefix is its own head: a probe of such an
    // entry compares the prefix's sort key with the entry's (see exact_match).
    const unsigned char* target_key = nullptr;
    if (lowered != nullptr && target.latin() && lowered->target_key(target.view(), m_targetKey)) {
      target_key = m_targetKey.data();
    }
    std::int32_t lMid = 0;
    std::optional<std::int32_t> last_rc;
    while (lLow <= lHigh) {
      lMid = binary_search_midpoint(lLow, lHigh);
      prefetcher.next_probes(lLow, lMid, lHigh);
      const unsigned char* probe_key = nullptr;
      if (target_key != nullptr) {
        const auto offset = static_cast<std::size_t>(lMid - first);
        if ((*lowered)[offset].size() <= n) probe_key = lowered->key(offset);
      }
      const std::int32_t rc =
          probe_key != nullptr
              ? compare_sort_keys(target_key, probe_key)
              : lfnCompareText(target.view(), head_of_entry(lMid, n, lowered, head));
      last_rc = rc;
      if (rc == 0) break;
      if (rc < 0) {
        lHigh = lMid - 1;
      } else {
        lLow = lMid + 1;
      }
    }
    // The comparison with the last probe decides the direction of the walk;
    // with no probe at all, entry 0 is compared (and its absence is error 9).
    const auto rc = static_cast<std::int16_t>(
        last_rc ? *last_rc : lfnCompareText(target.view(), head_of_entry(lMid, n, lowered, head)));
    result = lfnNextString(sTargetPrefix, lMid, rc);
  });
  return result;
}

std::int32_t clsStringList::lfnFirstMatchingPrefix(OleStringView sTargetPrefix) {
  std::int32_t result = 0;
  modVBTrace::trapped(kFirstTrap, [&] { result = lfnMatchingPrefixLocation(sTargetPrefix, 0); });
  return result;
}

std::int32_t clsStringList::lfnNextString(OleStringView sTargetPrefix, std::int32_t lStart,
                                          std::int16_t iDirection) {
  std::int32_t result = 0;
  modVBTrace::trapped(kNextStringTrap, [&] {
    const std::size_t n = sTargetPrefix.size();
    const LowercaseText target(sTargetPrefix);
    LowercaseText head;
    const LowercaseIndex* lowered = lowercase_index();
    std::int32_t lFound = -1;
    // iDirection is the comparison of the prefix with the head of entry
    // lStart, so the walk's first step is known without comparing again
    // (unless that comparison failed, -2).
    if (iDirection >= 0) {
      // Down to index 0 (not the lower bound) for the last entry that sorts
      // before the prefix.
      std::int32_t i = lStart;
      if (iDirection == 1) {
        if (lStart >= 0) lFound = lStart;
      } else if (iDirection == 0) {
        i = lStart - 1;
      }
      for (; lFound < 0 && i >= 0; --i) {
        if (lfnCompareText(head_of_entry(i, n, lowered, head), target.view()) < 0) lFound = i;
      }
      result = iDirection == 0 ? lFound + 1 : lFound;
    } else {
      // Up to the end for the first entry that sorts after the prefix.
      const std::int32_t lUB = array_upper_bound(m_sStringList);
      if (iDirection == -1) lFound = lStart > 0 ? lStart - 1 : 0;
      for (std::int32_t i = lStart; lFound < 0 && i <= lUB; ++i) {
        if (lfnCompareText(head_of_entry(i, n, lowered, head), target.view()) > 0) {
          lFound = i > 0 ? i - 1 : 0;
          break;
        }
      }
      result = lFound >= 0 ? lFound : lUB;
    }
  });
  return result;
}

std::int32_t clsStringList::lfnMatchingPrefixLocationServerChange(OleString& sTargetPrefix,
                                                                  std::int32_t /*CompareType*/,
                                                                  bool bDescriptionWithCode) {
  std::int32_t result = -1;
  modVBTrace::trapped(kServerChangeTrap, [&] {
    const std::int32_t lUB = array_upper_bound(m_sStringList);
    const LowercaseText target(sTargetPrefix);
    LowercaseText candidate;
    for (std::int32_t i = 0; i <= lUB; ++i) {
      const OleStringView entry = bstr_view(string_element(m_sStringList, i));
      if (bDescriptionWithCode) {
        candidate.assign(entry);
      } else {
        candidate.assign(sfnSubStringWithoutCode(entry));
      }
      if (lfnCompareText(candidate.view(), target.view()) == 0) {
        result = i;
        sTargetPrefix = OleString(entry);
        return;
      }
    }
  });
  return result;
}

}  // namespace corvane
