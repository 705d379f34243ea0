// AssignStringList on array headers with any fields: the copy is taken only
// of a one-dimensional string array whose storage can be read at both ends,
// is refused with an error otherwise, and never reads where it should not
// (the header is at a readable address; its data pointer may be anything).
// A copy that names the caller's real strings serves lookups on them.
#include <vector>

#include "automation/error.h"
#include "automation/safe_array.h"
#include "fuzz/fuzz_support.h"
#include "string_list/clsStringList.h"

using namespace corvane;
using namespace corvane::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::size_t count = in.ConsumeIntegralInRange<std::size_t>(0, 16);
  std::vector<OleString> texts;
  for (std::size_t i = 0; i < count; ++i)
    texts.push_back(OLESTR("item") + to_text(static_cast<std::int64_t>(i) + 10));
  const SafeArrayPtr strings = string_array_from(0, texts);  // the caller's own strings
  void* const cells = count == 0 ? nullptr : strings.get()->pvData;

  SAFEARRAY header{};
  header.cDims = in.PickValueInArray<USHORT>({1, 1, 1, 0, 2, 0xFFFF});
  header.fFeatures = in.ConsumeBool() ? USHORT{FADF_BSTR} : in.ConsumeIntegral<USHORT>();
  header.cbElements = in.ConsumeBool() ? ULONG{sizeof(BSTR)} : in.ConsumeIntegral<ULONG>();
  header.cLocks = in.ConsumeIntegral<ULONG>();
  header.rgsabound[0].lLbound = in.ConsumeIntegral<LONG>();
  const bool real_count = in.ConsumeBool();
  header.rgsabound[0].cElements =
      real_count ? static_cast<ULONG>(count) : in.ConsumeIntegral<ULONG>();
  // The caller's cells, none, anywhere at all, or near the top of the
  // address space, where the end would wrap.
  const int place = in.ConsumeIntegralInRange<int>(0, 3);
  header.pvData = reinterpret_cast<void*>(place == 0   ? reinterpret_cast<std::uintptr_t>(cells)
                                          : place == 1 ? std::uintptr_t{0}
                                          : place == 2 ? in.ConsumeIntegral<std::uintptr_t>()
                                                       : ~std::uintptr_t{0} -
                                                             in.ConsumeIntegral<std::uint16_t>());
  SAFEARRAY* variable = in.ConsumeBool() ? &header : nullptr;

  clsStringList list;
  bool copied = false;
  try {
    list.AssignStringList(reinterpret_cast<std::intptr_t>(&variable));
    copied = true;
  } catch (const AutomationError& error) {
    FUZZ_CHECK(error.number() == -1, "error " + std::to_string(error.number()));
  }
  const bool acceptable =
      variable == nullptr || ((header.fFeatures & FADF_BSTR) != 0 &&
                              header.cbElements == sizeof(BSTR) && header.cDims == 1);
  FUZZ_CHECK(!copied || acceptable, "a bad header was copied");
  if (!copied || variable == nullptr) return 0;
  const SAFEARRAY* copy = list.string_list();
  FUZZ_CHECK(copy != nullptr && copy->cDims == 1 && copy->fFeatures == 0x0111 &&
                 copy->pvData == header.pvData &&
                 copy->rgsabound[0].cElements == header.rgsabound[0].cElements &&
                 copy->rgsabound[0].lLbound == header.rgsabound[0].lLbound,
             "the copy differs from the header");
  // The caller's own strings, numbered so that no two indexes the search
  // adds together overflow 32 bits (that overflow is an error by design).
  const std::int64_t first = header.rgsabound[0].lLbound;
  const std::int64_t last = first + static_cast<std::int64_t>(count) - 1;
  if (header.pvData == cells && real_count && count > 0 && 2 * first >= INT32_MIN &&
      2 * last <= INT32_MAX) {
    const std::size_t pick = in.ConsumeIntegralInRange<std::size_t>(0, count - 1);
    const Variant found = list.lfnMatch(texts[pick]);
    FUZZ_CHECK(found.get().vt == VT_I4 && found.get().lVal == first + static_cast<LONG>(pick),
               "lookup on the shared strings");
  }
  return 0;
}
