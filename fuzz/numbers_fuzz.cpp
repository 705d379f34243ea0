// The runtime's number rules for text: the numeric test and the conversion
// to a long integer agree with each other, and a number written out reads
// back as itself.
#include "fuzz/fuzz_support.h"
#include "platform/numbers.h"

using namespace corvane;
using namespace corvane::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  // Any text of the characters numbers are made of, and some others.
  const OleString text =
      in.ConsumeBool() ? text_from(in, "0123456789 +-.,()&HhOoEe$\t9x", 40) : any_text(in, 40);
  const std::optional<std::int32_t> value = platform::long_from_text(text);
  if (value) {
    FUZZ_CHECK(platform::is_numeric_text(text), printable(text));
    FUZZ_CHECK(platform::long_from_text(to_text(*value)) == value, printable(text));
  }

  // A long integer written out, with blanks around it, or negated in
  // parentheses, converts back exactly.
  const std::int32_t n = in.ConsumeIntegral<std::int32_t>();
  const OleString blanks(in.ConsumeIntegralInRange<std::size_t>(0, 3), u' ');
  const OleString written = blanks + to_text(n) + blanks;
  FUZZ_CHECK(platform::long_from_text(written) == n, printable(written));
  FUZZ_CHECK(platform::is_numeric_text(written), printable(written));
  if (n > 0) {
    const OleString negative = OLESTR("(") + to_text(n) + OLESTR(")");
    FUZZ_CHECK(platform::long_from_text(negative) == -n, printable(negative));
  }
  // One past the range is no long integer, but still a number.
  const OleString beyond =
      to_text(static_cast<std::int64_t>(n) + (n < 0 ? -(1ll << 32) : (1ll << 32)));
  FUZZ_CHECK(!platform::long_from_text(beyond), printable(beyond));
  FUZZ_CHECK(platform::is_numeric_text(beyond), printable(beyond));
  return 0;
}
