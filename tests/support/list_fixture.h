// What the string-list tests share: packed rows of words, a list under a
// harness that has run Init, and one way each to fill a list, read it back and
// search it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>

#include "automation/bstr.h"
#include "automation/safe_array.h"
#include "automation/vb_text.h"
#include "string_list/clsStringList.h"
#include "support/log_capture.h"

namespace corvane::testing {

// The words of a packed row (UTF-8), split at `blank`; an empty row has none.
inline std::vector<OleString> words(const std::string& packed, char blank = ' ') {
  std::vector<OleString> out;
  for (std::size_t at = 0, end = 0; !packed.empty() && at <= packed.size(); at = end + 1) {
    end = std::min(packed.find(blank, at), packed.size());
    out.push_back(from_utf8(packed.substr(at, end - at)));
  }
  return out;
}

inline void fill(clsStringList& list, std::int32_t lower, const std::vector<OleString>& items) {
  list.put_StringList(string_array_variant(string_array_from(lower, items)).get());
}
inline void fill(clsStringList& list, std::int32_t lower, const std::string& packed) {
  fill(list, lower, words(packed));
}

// A variant of that type whose pointer field (the by-reference cell, the
// array, the string, the object) is `p`; nothing is owned.
inline VARIANT of_type(VARTYPE vt, void* p = nullptr) {
  VARIANT v{};
  v.vt = vt;
  v.byref = p;
  return v;
}

inline std::string entry(SAFEARRAY* a, std::int32_t i) {
  return to_utf8(bstr_view(string_element(a, i)));
}

// A one-dimensional string array as "lower:entry|entry", "none" without one.
inline std::string listed(SAFEARRAY* a) {
  if (a == nullptr) return "none";
  std::string out = std::to_string(array_lower_bound(a)) + ":";
  for (std::int32_t i = array_lower_bound(a); i <= array_upper_bound(a); ++i)
    out += (i > array_lower_bound(a) ? "|" : "") + entry(a, i);
  return out;
}

// lfnMatch's answer: the index, or "I2:n" for a 16-bit one (no search ran).
inline std::string match(clsStringList& list, OleStringView target, bool as_long = false) {
  const Variant v = list.lfnMatch(target, as_long);
  if (v.get().vt == VT_I4) return std::to_string(v.get().lVal);
  return "I" + std::to_string(v.get().vt) + ":" + std::to_string(v.get().iVal);
}
inline std::string match(clsStringList& list, const std::string& target, bool as_long = false) {
  return match(list, from_utf8(target), as_long);
}

inline std::int32_t prefix(clsStringList& list, const std::string& target) {
  return list.lfnMatchingPrefixLocation(from_utf8(target), 0);
}

// Words in the order Windows' string sort gives them after lowercasing, one
// word a line: punctuation and symbols (not ignored) before digits before
// letters, accents after the plain letter. Each word sorts strictly before the
// next, and the next after it.
inline constexpr const char* kSortedWords =
    "\n'a\n-\n-a\n \n\u00a0\n!\n#\n$\n%\n&\n(\n)\n*\n/\n@\n[\n\\\n^\n_\n`\n{\n|\n~"
    "\n\u00a3\n\u00a5\n\u20ac\n+\n<\n=\n0\n00\n01\n1\n10\n11\n2\n9\na\n\u00e4\na''\na'b"
    "\na-\na--\na-b\na-c\na b\na.b\na_b\na1\na10\na2\nab\nab-\nae\naf\n\u00e5sa\nb\nco-op"
    "\ncoop\ncote\ncot\u00e9\nc\u00f4te\nc\u00f4t\u00e9\ne\n\u00e9\nf\nitem-1\nitem (1)"
    "\nitem (10)\nitem 1\nitem 10\nitem 2\nitem.1\nitem_1\nnaive\nna\u00efve\nno\n\u00f1o\nnz"
    "\no'brien\no'neil\nobrien\nol\n\u00f8l\nresume\nr\u00e9sum\u00e9\nss\nst\nx-ray\nx ray"
    "\nx.ray\nxray\nz\nzebra\nzoe";

// A list under a harness that has run Init at trace level 2.
class ListTest : public ::testing::Test {
 protected:
  ListTest() { h.init(); }
  TraceHarness h;
  clsStringList list;
};

}  // namespace corvane::testing
