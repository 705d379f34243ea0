// Owner of a SAFEARRAY and the operations the component performs on arrays of
// automation strings, with the runtime's errors (9 for a missing array or an
// index out of bounds, 7 when memory runs out).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "automation/ole_types.h"

namespace corvane {

class SafeArrayPtr {
 public:
  SafeArrayPtr() = default;
  explicit SafeArrayPtr(SAFEARRAY* psa) : p_(psa) {}
  SafeArrayPtr(const SafeArrayPtr&) = delete;
  SafeArrayPtr& operator=(const SafeArrayPtr&) = delete;
  SafeArrayPtr(SafeArrayPtr&& other) noexcept : p_(other.release()) {}
  SafeArrayPtr& operator=(SafeArrayPtr&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~SafeArrayPtr() { reset(); }

  SAFEARRAY* get() const { return p_; }
  SAFEARRAY* release() { return std::exchange(p_, nullptr); }
  void reset(SAFEARRAY* psa = nullptr) {
    if (SAFEARRAY* old = std::exchange(p_, psa)) SafeArrayDestroy(old);
  }

 private:
  SAFEARRAY* p_ = nullptr;
};

// LBound and UBound of dimension `dimension` (1 is the leftmost), as the runtime
// reads them: error 9 when there is no array or no such dimension.
std::int32_t array_lower_bound(SAFEARRAY* psa, unsigned dimension = 1);
std::int32_t array_upper_bound(SAFEARRAY* psa, unsigned dimension = 1);

// Bounds of every dimension, leftmost first.
std::vector<SAFEARRAYBOUND> array_bounds(SAFEARRAY* psa);

// A new array of strings with the given bounds (leftmost dimension first),
// every element the empty (null) string.
SafeArrayPtr create_string_array(const std::vector<SAFEARRAYBOUND>& bounds);

// A new one-dimensional array of strings, `lower` to lower + size - 1,
// holding copies of the texts.
SafeArrayPtr string_array_from(std::int32_t lower, const std::vector<OleString>& items);

// A new array with the dimensions and bounds of `source` (an array of strings)
// and a copy of every string; null gives null.
SafeArrayPtr copy_string_array(SAFEARRAY* source);

// The cell of element `index` of a one-dimensional array of strings; error 9
// when there is no array, it has another number of dimensions, or the index is
// outside its bounds.
BSTR& string_element(SAFEARRAY* psa, std::int32_t index);

// The cells of a one-dimensional array of strings, for a loop that reads many
// of them: the descriptor is looked at once, each access only checks its
// index (error 9 as string_element gives it, at the access).
class StringCells {
 public:
  explicit StringCells(SAFEARRAY* psa) {
    if (psa != nullptr && psa->cDims == 1 && psa->pvData != nullptr) {
      cells_ = static_cast<BSTR*>(psa->pvData);
      lower_ = psa->rgsabound[0].lLbound;
      count_ = psa->rgsabound[0].cElements;
    }
  }
  BSTR& operator[](std::int32_t index) const {
    const std::int64_t offset = static_cast<std::int64_t>(index) - lower_;
    if (offset < 0 || offset >= count_) out_of_range();
    return cells_[offset];
  }

 private:
  [[noreturn]] static void out_of_range();
  BSTR* cells_ = nullptr;
  std::int64_t lower_ = 0;
  std::int64_t count_ = 0;  // 0 when the array is not one of strings in one dimension
};

}  // namespace corvane
