// The lowercased entries of a list the object alone can write to, kept in one
// block in list order, so that a text search compares against them without
// lowercasing each probe. Only lists whose every entry lowercases character
// by character (the Latin blocks) are indexed: for them the lowercase of an
// entry's first n characters is the first n characters of its lowercase, as
// the prefix location needs. When the system's sort keys can stand in for
// its comparison (see sort_keys.h), the index also keeps the key of each
// entry an exact search has probed, made at its first probe: a search touches
// a few entries, and the same ones again near the middle, so a key is made
// once and a large list costs nothing up front.
//
// The index also finds an entry by its exact lowercased text (a hash table of
// entry offsets): a search whose target is an entry of the list takes that
// entry's key as its own, the same bytes the system would make for the same
// text, and so makes no key of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "automation/ole_types.h"
#include "string_list/sort_keys.h"

namespace corvane {

class LowercaseIndex {
 public:
  // `keys`: whether the index is to keep sort keys (where they stand in for
  // the comparison, see sort_keys.h).
  explicit LowercaseIndex(bool keys = sort_keys_trusted()) : keys_wanted_(keys) {}

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

  // Whether the index keeps keys: the system's keys were found to agree with
  // its comparison.
  bool has_keys() const { return !key_starts_.empty(); }
  // The sort key of the lowercased entry at `offset` (offset < count), made
  // at the first question; null when the index keeps no keys or the key
  // cannot be made (the caller then compares the texts). Valid until the
  // next question.
  const unsigned char* key(std::size_t offset) const noexcept;

  // The offset of an entry whose lowercase is exactly `lowered`, if any.
  std::optional<std::size_t> find(OleStringView lowered) const noexcept;

  // Replaces `key` by the sort key of `lowered` (a lowercased text of the
  // Latin blocks) for a search to compare with key(): an identical entry's
  // key when the list has one, else the system's, where making a key pays
  // off against the comparisons it saves. False when there is none: the
  // search then compares the texts.
  bool target_key(OleStringView lowered, std::vector<unsigned char>& key) const;

  // The bytes the index takes: lowercased text, keys and their offsets, and
  // the table of the exact texts.
  std::size_t memory_bytes() const;

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
  void forget_keys() noexcept;
  // The bytes of entry `offset`'s key, its 0 included (the key is made).
  std::size_t key_length(std::size_t offset) const noexcept;
  // Fills the table of exact texts afresh with every entry, at one and a
  // half slots an entry.
  void build_table();
  // Where the lookup of `text` starts in the table.
  std::size_t first_slot(OleStringView text) const noexcept;
  // The slot a lookup tries after `at`: the next, the first after the last.
  std::size_t next_slot(std::size_t at) const noexcept {
    return at + 1 == slots_.size() ? 0 : at + 1;
  }
  // Enters entry `offset` under its present text; the table is built afresh
  // when it grows past half full.
  void enter(std::size_t offset);

  bool keys_wanted_;
  State state_ = State::kUnknown;
  std::vector<OLECHAR> text_;
  std::vector<Span> spans_;
  std::size_t live_ = 0;  // characters of the block that entries still use
  // The keys made so far, one after another in one block, and where each
  // entry's starts (kNoKey until it is made). Mutable: made while searching.
  static constexpr std::uint32_t kNoKey = UINT32_MAX;
  mutable std::vector<unsigned char> keys_;
  mutable std::vector<std::uint32_t> key_starts_;
  mutable std::size_t live_key_bytes_ = 0;  // bytes of the block that entries still use
  // Open addressing on the lowercased text's hash: entry offsets, kNoEntry
  // for a free slot. A replaced entry stays under its old text too; a lookup
  // compares the texts, so such a slot never answers for the old text.
  static constexpr std::uint32_t kNoEntry = UINT32_MAX;
  std::vector<std::uint32_t> slots_;
  std::size_t slots_used_ = 0;
};

}  // namespace corvane
