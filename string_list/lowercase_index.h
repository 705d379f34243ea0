// The lowercased entries of a list the object alone can write to, kept in one
// block in list order, so that a text search compares against them without
// lowercasing each probe. Only lists whose every entry lowercases character
// by character (the Latin blocks) are indexed: for them the lowercase of an
// entry's first n characters is the first n characters of its lowercase, as
// the prefix location needs.
#pragma once

#include <cstdint>
#include <vector>

#include "automation/ole_types.h"

namespace corvane {

class LowercaseIndex {
 public:
  // Whether the index holds the list `list` (one dimension); builds it on
  // the first question after a change. False for a list that cannot be
  // indexed, or when memory runs short: the caller then lowercases as it
  // goes. Never raises.
  bool cover(const SAFEARRAY* list) noexcept;

  // The lowercased entry at `offset` from the lower bound (offset < count).
  // Never a null pointer, not even for an empty entry of a list of empty
  // entries: the system's comparison refuses one.
  OleStringView operator[](std::size_t offset) const {
    static constexpr OLECHAR kNothing[] = {0};
    const Span s = spans_[offset];
    return OleStringView(text_.empty() ? kNothing : text_.data() + s.start, s.length);
  }
  std::size_t count() const { return spans_.size(); }

  // The list was replaced or let go of: ask again before the next use.
  void forget() noexcept;
  // Entry `offset` now holds `text`: the index follows, or forgets itself
  // when the text cannot be indexed.
  void replace(std::size_t offset, OleStringView text) noexcept;

 private:
  struct Span {
    std::uint32_t start;
    std::uint32_t length;
  };
  enum class State { kUnknown, kBuilt, kNotIndexable };

  bool build(const SAFEARRAY* list);
  void forget_storage() noexcept;
  // Appends the lowercase of `text` to the block; false when a character lies
  // beyond the Latin blocks or the block would outgrow 32-bit offsets.
  bool append(OleStringView text, Span* span);

  State state_ = State::kUnknown;
  std::vector<OLECHAR> text_;
  std::vector<Span> spans_;
  std::size_t live_ = 0;  // characters of the block that entries still use
};

}  // namespace corvane
