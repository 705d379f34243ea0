#include "string_list/clsStringList.h"

#include <cstdint>
#include <utility>

#include "automation/bstr.h"
#include "automation/error.h"
#include "automation/safe_array.h"
#include "automation/vb_text.h"
#include "string_list/array_utils.h"
#include "string_list/list_box.h"
#include "string_list/memory_access.h"
#include "trace/error_trap.h"
#include "trace/module_values.h"
#include "trace/summary_log.h"
#include "trace/trace_log.h"

namespace corvane {

using modVBTrace::GlobalErrorsLog;
using modVBTrace::GlobalTrace;

namespace {

constexpr modVBTrace::ErrorTrap kStringListTrap =
    modVBTrace::member_msgbox_trap(OLESTR("in Corvane.clsStringList.StringList."));
constexpr modVBTrace::ErrorTrap kTransferTrap = modVBTrace::member_msgbox_trap(
    OLESTR("in Corvane.clsStringList.TransferVBListBoxToStringList."));
constexpr modVBTrace::ErrorTrap kInitTrap =
    modVBTrace::member_errmsgbox_trap(OLESTR("in Corvane.clsStringList.Init."));
constexpr modVBTrace::ErrorTrap kAssignTrap =
    modVBTrace::raise_trap(OLESTR("in Corvane.clsStringList.AssignStringList."));
constexpr modVBTrace::ErrorTrap kReplaceStringTrap =
    modVBTrace::member_errmsgbox_trap(OLESTR("in Corvane.clsStringList.ReplaceString."));

constexpr OleStringView kReplaceSource = OLESTR("clsStringList.ReplaceString");
constexpr OleStringView kTerminateSource = OLESTR("clsStringList.Class_Terminate");

// "<what>Error n:" CR LF description, the form of the two bound-reading entries.
OleString bound_failure(OleStringView what, const AutomationError& e) {
  OleString msg(what);
  msg += OLESTR("Error ");
  msg += to_text(e.number());
  msg += OLESTR(":\r\n");
  msg += e.description();
  return msg;
}

}  // namespace

clsStringList::~clsStringList() {
  // An owned list is destroyed below even when the assigned flag clears the
  // cell first (after a failed AssignStringList it still holds the list).
  SafeArrayPtr owned(list_is_shared() ? nullptr : m_sStringList);
  try {
    if (m_bStringListAssigned != VARIANT_FALSE) {
      GlobalTrace(kTerminateSource, OLESTR("Before Clearing VarPtrStringArray(m_sStringList)"), 2,
                  true, false, 1, false);
      modVBoost::memory_access().zero_value(reinterpret_cast<std::intptr_t>(&m_sStringList));
      GlobalTrace(kTerminateSource, OLESTR("After Clearing VarPtrStringArray(m_sStringList)"), 2,
                  true, false, 1, false);
    }
  } catch (...) {
    // No trap here: a failing trace line must not keep the object alive.
  }
  m_sStringList = nullptr;
}

const LowercaseIndex* clsStringList::lowercase_index() const {
  if (m_bDescriptorHandedOut || m_sStringList == nullptr || list_is_shared()) return nullptr;
  return m_lowercaseIndex.cover(m_sStringList) ? &m_lowercaseIndex : nullptr;
}

void clsStringList::erase_list() {
  m_lowercaseIndex.forget();
  SAFEARRAY* old = std::exchange(m_sStringList, nullptr);
  if (old != &m_tStringListSA) SafeArrayPtr destroy(old);
}

Variant clsStringList::get_StringList() {
  Variant result;
  result.get().vt = VT_ARRAY | VT_BSTR;
  result.get().parray = nullptr;
  modVBTrace::trapped(kStringListTrap,
                      [&] { result.get().parray = copy_string_array(m_sStringList).release(); });
  return result;
}

void clsStringList::put_StringList(const VARIANT& value) {
  modVBTrace::trapped(kStringListTrap, [&] {
    bool is_string_array = false;
    SAFEARRAY* source = string_array_of(value, &is_string_array);
    SafeArrayPtr copy;
    if (is_string_array) {
      // Copied before the old list goes, so that a source that is the list
      // itself survives; a failed copy still leaves the list empty.
      try {
        copy = copy_string_array(source);
      } catch (...) {
        erase_list();
        throw;
      }
    }
    erase_list();
    if (!is_string_array) {
      throw AutomationError(-1, OLESTR("Unexpected parameter passed to StringList property"),
                            OLESTR("Corvane"));
    }
    m_sStringList = copy.release();
  });
}

void clsStringList::TransferVBListBoxToStringList(const VARIANT& ctlVBListBox) {
  modVBTrace::trapped(kTransferTrap, [&] {
    ListBoxControl box = ListBoxControl::from_variant(ctlVBListBox);
    if (box.ListCount() <= 0) return;
    // ListCount - 1 in 16-bit arithmetic, on a second reading of the count.
    const std::int16_t count = box.ListCount();
    if (count == INT16_MIN) throw AutomationError(vb_error::kOverflow);
    const std::int32_t last = count - 1;
    if (last < 0) throw AutomationError(vb_error::kSubscriptOutOfRange);
    SafeArrayPtr fresh = create_string_array({SAFEARRAYBOUND{static_cast<ULONG>(last + 1), 0}});
    erase_list();
    m_sStringList = fresh.release();
    // The control may call back into this object while the list fills; what
    // a search lowercased of the half-filled list is forgotten at the end.
    struct ForgetAtEnd {
      LowercaseIndex& index;
      ~ForgetAtEnd() { index.forget(); }
    } forget_at_end{m_lowercaseIndex};
    for (std::int32_t i = 0; i <= last; ++i) {
      string_element(m_sStringList, i) = Bstr(box.List(static_cast<std::int16_t>(i))).release();
    }
  });
}

void clsStringList::Init(OleStringView sGlobalLog, OleStringView sGlobalSummaryLog,
                         OleStringView sLogFilePath, std::int32_t eTraceLevel) {
  modVBTrace::trapped(kInitTrap, [&] {
    modVBTrace::ModuleValues& values = modVBTrace::module_values();
    values.process_name = OleString(OLESTR("Corvane"));
    values.detail_log_path = OleString(sGlobalLog);
    values.summary_log_path = OleString(sGlobalSummaryLog);
    values.log_folder = OleString(sLogFilePath);
    values.trace_level = eTraceLevel;
    modVBoost::create_memory_access();
  });
}

void clsStringList::AssignStringList(std::intptr_t ppSA) {
  modVBTrace::trapped(kAssignTrap, [&] {
    if (ppSA == 0) return;
    m_bStringListAssigned = VARIANT_TRUE;  // before the copy: it stays set if the copy fails
    const SAFEARRAY copy = modArrayUtils::CopyOfStringArrayDescriptor1D(ppSA);
    if (m_sStringList != nullptr && !list_is_shared()) {
      m_retiredLists.emplace_back(m_sStringList);
    }
    m_lowercaseIndex.forget();
    m_tStringListSA = copy;
    modVBoost::memory_access().write_value(reinterpret_cast<std::intptr_t>(&m_sStringList),
                                           reinterpret_cast<std::intptr_t>(&m_tStringListSA));
  });
}

void clsStringList::ReplaceString(std::int32_t lIndex, OleStringView sReplacementString) {
  modVBTrace::trapped(kReplaceStringTrap, [&] {
    std::int32_t lower = 0;
    std::int32_t upper = 0;
    try {
      lower = array_lower_bound(m_sStringList);
    } catch (const AutomationError& e) {
      GlobalErrorsLog(kReplaceSource, bound_failure(OLESTR("No strings in StringList. "), e), 2,
                      true, true);
      return;
    }
    try {
      upper = array_upper_bound(m_sStringList);
    } catch (const AutomationError& e) {
      GlobalErrorsLog(kReplaceSource, bound_failure(OLESTR("Retrieving UBound.  "), e), 2, true,
                      true);
      return;
    }
    if (lower <= lIndex && lIndex <= upper) {
      BSTR& cell = string_element(m_sStringList, lIndex);
      Bstr replacement(sReplacementString);
      SysFreeString(cell);
      cell = replacement.release();
      m_lowercaseIndex.replace(static_cast<std::size_t>(std::int64_t{lIndex} - lower),
                               bstr_view(cell));
    } else {
      OleString msg = OLESTR("Index for string to be replaced is outside of range of array: ");
      msg += to_text(lIndex);
      GlobalErrorsLog(kReplaceSource, msg, 2, true, true);
    }
  });
}

}  // namespace corvane
