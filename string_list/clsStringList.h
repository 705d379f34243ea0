// The string list object: one ordered list of automation strings that the
// client fills (property put, list-box transfer) and reads back. The class
// knows nothing of IDispatch; the COM shell adapts it. Every member catches
// its own errors and returns normally.
#pragma once

#include <cstdint>
#include <vector>

#include "automation/ole_types.h"
#include "automation/safe_array.h"
#include "automation/variant.h"
#include "string_list/compare_text.h"
#include "string_list/lowercase_index.h"

namespace corvane {

class clsStringList {
 public:
  clsStringList() = default;
  clsStringList(const clsStringList&) = delete;
  clsStringList& operator=(const clsStringList&) = delete;
  ~clsStringList();

  // A copy of the list as a variant of type String() (0x2008); it holds no
  // array while the list has never been filled.
  Variant get_StringList();
  // Replaces the list with a copy of a String() array of any dimensions and
  // bounds; anything else empties the list and raises -1 into the trap.
  void put_StringList(const VARIANT& value);
  // Replaces the list with the items of a list-box control, bounds 0 to
  // ListCount - 1; an empty list box leaves the list as it was.
  void TransferVBListBoxToStringList(const VARIANT& ctlVBListBox);
  // Hands the log paths and the trace level to the trace library (for every
  // instance of the apartment) and names the process "Corvane".
  void Init(OleStringView sGlobalLog, OleStringView sGlobalSummaryLog, OleStringView sLogFilePath,
            std::int32_t eTraceLevel);
  // Replaces one entry; a missing list or an index outside the bounds is
  // logged, not raised.
  void ReplaceString(std::int32_t lIndex, OleStringView sReplacementString);

  // Exact match by binary search: the index of an entry equal to sTarget
  // (as text ignoring case, or as long integers), or -1, as a 32-bit integer
  // variant; the 16-bit -1 when no search ran (a target that is no number).
  Variant lfnMatch(OleStringView sTarget, bool bMatchAsLong = false);

  // The bytes the searches' aids take (the lowercased entries, their sort
  // keys and the table of their texts); 0 for a list that has none.
  std::size_t search_aids_bytes() const {
    const LowercaseIndex* index = lowercase_index();
    return index != nullptr ? index->memory_bytes() : 0;
  }

  // Prefix location: the first entry of the run that begins with the prefix
  // (ignoring case), else the last entry that sorts before it. CompareType
  // is accepted and ignored.
  std::int32_t lfnMatchingPrefixLocation(OleStringView sTargetPrefix, std::int32_t CompareType);
  std::int32_t lfnFirstMatchingPrefix(OleStringView sTargetPrefix);

  // The lowest index whose description (its code ignored unless
  // bDescriptionWithCode) equals the text, ignoring case; on a match the text
  // becomes the stored entry. -1 when nothing matches.
  std::int32_t lfnMatchingPrefixLocationServerChange(OleString& sTargetPrefix,
                                                     std::int32_t CompareType,
                                                     bool bDescriptionWithCode = false);

  // Whether a description ends in a numeric code in parentheses. Raises its
  // errors to the caller (error 5 for an empty description).
  bool bfnDescriptionContainsCode(OleStringView sDesc);

  // Points the list at a copy of the header of the caller's array: ppSA is
  // the address of the caller's array variable (the cell that holds the
  // SAFEARRAY pointer). The lookups then read the caller's strings in place;
  // the caller keeps them alive, unmoved and not re-dimensioned while this
  // object lives. Raises its errors to the caller. 0 does nothing.
  void AssignStringList(std::intptr_t ppSA);
  // The address of this object's own array variable, for another instance's
  // AssignStringList.
  // Whoever holds it may write into this object's lists from now on.
  std::intptr_t ppStringListDescriptor() const {
    m_bDescriptorHandedOut = true;
    m_lowercaseIndex.forget();
    return reinterpret_cast<std::intptr_t>(&m_sStringList);
  }

  // The list as it is held (null while never filled).
  SAFEARRAY* string_list() const { return m_sStringList; }

 private:
  // True while the list points at the object's copy of a caller's descriptor.
  bool list_is_shared() const { return m_sStringList == &m_tStringListSA; }
  // Empties the list: an owned array is destroyed with its strings, a shared
  // one is only let go of, so the caller's strings stay untouched.
  void erase_list();

  std::int32_t lfnMatchText(OleStringView sTarget);
  std::int32_t lfnMatchLong(std::int32_t lTarget);
  std::int32_t lfnNextString(OleStringView sTargetPrefix, std::int32_t lStart,
                             std::int16_t iDirection);
  OleString sfnSubStringWithoutCode(OleStringView sDesc);
  // The first n characters of entry i (all of it when shorter), lowercased:
  // read off the list's lowercased entries when it has them (`lowered`),
  // else lowercased into `buffer`.
  OleStringView head_of_entry(std::int32_t i, std::size_t n, const LowercaseIndex* lowered,
                              LowercaseText& buffer) const;
  // The lowercased entries, for a list that only this object can write to:
  // one it owns (filled by the property or the list box) and whose
  // descriptor it never handed out. Null for any other list, whose entries
  // are lowercased as the search meets them.
  const LowercaseIndex* lowercase_index() const;

  SAFEARRAY* m_sStringList = nullptr;
  SAFEARRAY m_tStringListSA{};
  VARIANT_BOOL m_bStringListAssigned = VARIANT_FALSE;
  // Lists the object owned before an AssignStringList pointed it elsewhere:
  // another instance may still read them through this object's descriptor,
  // so they live as long as the object does.
  std::vector<SafeArrayPtr> m_retiredLists;
  // Built on the first text search of a list, forgotten when the list goes.
  mutable LowercaseIndex m_lowercaseIndex;
  // The sort key of a search's target, its storage kept from one
  // search to the next.
  std::vector<unsigned char> m_targetKey;
  mutable bool m_bDescriptorHandedOut = false;
};

}  // namespace corvane
