// lfnBackwardsInstr and sfnStripScribePrefix on any text.
#include "fuzz/fuzz_support.h"
#include "trace/locations.h"

using namespace corvane;
using namespace corvane::fuzzing;

namespace {

// The text with every copy of `piece` taken out, scanning left to right.
OleString without_every(const OleString& text, const OleString& piece) {
  OleString kept;
  std::size_t from = 0;
  for (std::size_t hit; (hit = text.find(piece, from)) != OleString::npos;
       from = hit + piece.size())
    kept.append(text, from, hit - from);
  return kept + text.substr(from);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  // The tail counts characters after the last occurrence of a one-character
  // target within the last lTailLength characters.
  const OleString text = text_from(in, "ab :.\\", 300);
  const OleString target(1, static_cast<OLECHAR>(in.PickValueInArray({u' ', u'\\', u'.', u'a'})));
  const std::int32_t tail_length = in.ConsumeIntegralInRange<std::int32_t>(-3, 320);
  const std::int32_t counted = modVBTrace::lfnBackwardsInstr(text, target, tail_length);
  const OleStringView tail = tail_length >= 0 && static_cast<std::size_t>(tail_length) < text.size()
                                 ? OleStringView(text).substr(text.size() - tail_length)
                                 : OleStringView(text);
  const std::size_t last = tail.rfind(target);
  const std::int32_t expected =
      last == OleStringView::npos ? 0 : static_cast<std::int32_t>(tail.size() - last - 1);
  FUZZ_CHECK(counted == expected, printable(text) + " tail " + std::to_string(tail_length) +
                                      " -> " + std::to_string(counted));

  // Any target: the count stays within the tail.
  const OleString other = any_text(in, 4);
  const std::int32_t any = modVBTrace::lfnBackwardsInstr(text, other, tail_length);
  FUZZ_CHECK(any >= 0 && static_cast<std::size_t>(any) <= tail.size(), printable(other));

  // The server prefix goes with the name after it, and nothing else changes
  // in a text that does not hold the prefix.
  OleString message = any_text(in, 60);
  if (in.ConsumeBool()) {
    message += in.ConsumeBool() ? OleString(modVBTrace::kServerExceptionPrefix)
                                : OLESTR("COM.Marrowind.QUILLON.server.");
    message += text_from(in, "Ab.:x ", 30);
    message += any_text(in, 60);
  }
  // The first prefix, in any case, goes through the colon after it, and every
  // copy of exactly that piece goes; with no colon after it, every copy of
  // the prefix as written in lower case goes.
  const OleString stripped = modVBTrace::sfnStripScribePrefix(message);
  const std::size_t at = instr(message, modVBTrace::kServerExceptionPrefix, 1, CompareMode::kText);
  OleString unprefixed = message;
  if (at != 0) {
    const std::size_t start = at - 1;
    const std::size_t colon = message.find(u':', start + modVBTrace::kServerExceptionPrefix.size());
    unprefixed = without_every(message, colon == OleString::npos
                                            ? OleString(modVBTrace::kServerExceptionPrefix)
                                            : message.substr(start, colon - start + 1));
  }
  FUZZ_CHECK(stripped == unprefixed, printable(message) + " -> " + printable(stripped));
  return 0;
}
