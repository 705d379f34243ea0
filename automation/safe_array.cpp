#include "automation/safe_array.h"

#include "automation/bstr.h"
#include "automation/error.h"

namespace corvane {

namespace {

// One bound through the system call `get`: error 9 when there is no array or
// no such dimension.
template <class GetBound>
std::int32_t read_bound(SAFEARRAY* psa, unsigned dimension, GetBound get) {
  LONG bound = 0;
  if (psa == nullptr || FAILED(get(psa, dimension, &bound))) {
    throw AutomationError(vb_error::kSubscriptOutOfRange);
  }
  return bound;
}

}  // namespace

std::int32_t array_lower_bound(SAFEARRAY* psa, unsigned dimension) {
  return read_bound(psa, dimension,
                    [](SAFEARRAY* a, UINT d, LONG* b) { return SafeArrayGetLBound(a, d, b); });
}

std::int32_t array_upper_bound(SAFEARRAY* psa, unsigned dimension) {
  return read_bound(psa, dimension,
                    [](SAFEARRAY* a, UINT d, LONG* b) { return SafeArrayGetUBound(a, d, b); });
}

std::vector<SAFEARRAYBOUND> array_bounds(SAFEARRAY* psa) {
  std::vector<SAFEARRAYBOUND> bounds;
  if (psa == nullptr) return bounds;
  bounds.reserve(psa->cDims);
  // The descriptor keeps the rightmost dimension first.
  for (unsigned d = psa->cDims; d-- > 0;) bounds.push_back(psa->rgsabound[d]);
  return bounds;
}

SafeArrayPtr create_string_array(const std::vector<SAFEARRAYBOUND>& bounds) {
  if (bounds.empty()) throw AutomationError(vb_error::kSubscriptOutOfRange);
  std::vector<SAFEARRAYBOUND> copy = bounds;
  SAFEARRAY* psa = SafeArrayCreate(VT_BSTR, static_cast<UINT>(copy.size()), copy.data());
  if (psa == nullptr) throw AutomationError(vb_error::kOutOfMemory);
  return SafeArrayPtr(psa);
}

SafeArrayPtr string_array_from(std::int32_t lower, const std::vector<OleString>& items) {
  SafeArrayPtr array =
      create_string_array({SAFEARRAYBOUND{static_cast<ULONG>(items.size()), lower}});
  auto* cells = static_cast<BSTR*>(array.get()->pvData);
  for (std::size_t i = 0; i < items.size(); ++i) cells[i] = Bstr(items[i]).release();
  return array;
}

SafeArrayPtr copy_string_array(SAFEARRAY* source) {
  if (source == nullptr) return SafeArrayPtr();
  if (source->cDims == 0) throw AutomationError(vb_error::kSubscriptOutOfRange);
  SafeArrayPtr copy = create_string_array(array_bounds(source));
  // Both arrays have the same shape, so their element storage lines up cell
  // for cell.
  std::size_t count = 1;
  for (unsigned d = 0; d < source->cDims; ++d) count *= source->rgsabound[d].cElements;
  auto* from = static_cast<BSTR*>(source->pvData);
  auto* to = static_cast<BSTR*>(copy.get()->pvData);
  for (std::size_t i = 0; i < count; ++i) {
    if (from[i] != nullptr) to[i] = Bstr(bstr_view(from[i])).release();
  }
  return copy;
}

void StringCells::out_of_range() {
  throw AutomationError(vb_error::kSubscriptOutOfRange);
}

BSTR& string_element(SAFEARRAY* psa, std::int32_t index) {
  if (psa == nullptr || psa->cDims != 1 || psa->pvData == nullptr) {
    throw AutomationError(vb_error::kSubscriptOutOfRange);
  }
  const SAFEARRAYBOUND& b = psa->rgsabound[0];
  const std::int64_t offset = static_cast<std::int64_t>(index) - b.lLbound;
  if (offset < 0 || offset >= static_cast<std::int64_t>(b.cElements)) {
    throw AutomationError(vb_error::kSubscriptOutOfRange);
  }
  return static_cast<BSTR*>(psa->pvData)[offset];
}

}  // namespace corvane
