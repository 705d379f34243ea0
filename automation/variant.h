// Owner of one VARIANT and the small questions the component asks of the
// variants its clients pass.
#pragma once

#include <cstdint>

#include "automation/ole_types.h"
#include "automation/safe_array.h"

namespace corvane {

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      VariantClear(&v_);
      v_ = other.v_;
      VariantInit(&other.v_);
    }
    return *this;
  }
  ~Variant() { VariantClear(&v_); }

  VARIANT& get() { return v_; }
  const VARIANT& get() const { return v_; }
  VARIANT* put() {
    VariantClear(&v_);
    return &v_;
  }
  // Hands the contents to the caller, leaving this variant empty.
  VARIANT release() {
    VARIANT out = v_;
    VariantInit(&v_);
    return out;
  }

 private:
  VARIANT v_;
};

// A variant of type String() (VT_ARRAY | VT_BSTR) that owns the array.
Variant string_array_variant(SafeArrayPtr array);

// How many by-reference VARIANTs are followed: more than any client builds
// (a script passes one level), few enough that a variant pointing at itself
// or a cycle of them ends instead of looping for ever.
inline constexpr int kMaxVariantIndirections = 16;

// The variant a by-reference variant points at (followed to the end of the
// chain, at most kMaxVariantIndirections steps: a longer chain or a cycle
// ends at a by-reference VARIANT, which no member takes); the variant itself
// otherwise.
const VARIANT& dereferenced(const VARIANT& v);

// The array of automation strings a variant holds, directly or by reference,
// when its runtime type name is "String()"; `found` tells whether it is one.
SAFEARRAY* string_array_of(const VARIANT& v, bool* found);

// The variant's value as a 16-bit integer, with the runtime's conversion rules
// (error 6 when out of range, 13 when not convertible).
std::int16_t variant_to_int16(const VARIANT& v);

// The variant's value as text (error 13 when not convertible).
OleString variant_to_text(const VARIANT& v);

}  // namespace corvane
