#include "string_list/lowercase_index.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "automation/bstr.h"
#include "platform/collation.h"
#include "string_list/compare_text.h"

namespace corvane {

namespace {

// A hash of the text's UTF-16 units, four at a time.
std::uint64_t text_hash(OleStringView text) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15u;
  std::uint64_t h = text.size() * kMultiplier;
  std::size_t i = 0;
  for (; i + 4 <= text.size(); i += 4) {
    std::uint64_t x = 0;
    std::memcpy(&x, text.data() + i, sizeof x);
    h = (h ^ x) * kMultiplier;
    h ^= h >> 29;
  }
  for (; i < text.size(); ++i) h = (h ^ text[i]) * kMultiplier;
  return h ^ (h >> 32);
}

}  // namespace

bool LowercaseIndex::cover(const SAFEARRAY* list) noexcept {
  if (state_ == State::kUnknown) {
    try {
      state_ = build(list) ? State::kBuilt : State::kNotIndexable;
    } catch (const std::bad_alloc&) {
      state_ = State::kNotIndexable;
    }
    if (state_ != State::kBuilt) forget_storage();
  }
  return state_ == State::kBuilt;
}

void LowercaseIndex::forget() noexcept {
  state_ = State::kUnknown;
  forget_storage();
}

void LowercaseIndex::forget_storage() noexcept {
  std::vector<OLECHAR>().swap(text_);
  std::vector<Span>().swap(spans_);
  live_ = 0;
  forget_keys();
}

void LowercaseIndex::forget_keys() noexcept {
  std::vector<unsigned char>().swap(keys_);
  std::vector<std::uint32_t>().swap(key_starts_);
  live_key_bytes_ = 0;
  std::vector<std::uint32_t>().swap(slots_);
  slots_used_ = 0;
}

std::size_t LowercaseIndex::memory_bytes() const {
  return text_.capacity() * sizeof(OLECHAR) + spans_.capacity() * sizeof(Span) + keys_.capacity() +
         (key_starts_.capacity() + slots_.capacity()) * sizeof(std::uint32_t);
}

void LowercaseIndex::replace(std::size_t offset, OleStringView text) noexcept {
  if (state_ != State::kBuilt || offset >= spans_.size()) return;
  Span& span = spans_[offset];
  Span fresh{};
  try {
    // Replacements leave their old text behind; once most of the block is
    // left behind, the index is built afresh at its next use.
    if (text_.size() > 2 * live_ + 4096 || !append(text, &fresh)) {
      forget();
      return;
    }
    if (has_keys() && key_starts_[offset] != kNoKey) {
      // Made again at the entry's next probe.
      live_key_bytes_ -= key_length(offset);
      key_starts_[offset] = kNoKey;
    }
  } catch (const std::bad_alloc&) {
    forget();
    return;
  }
  live_ = live_ - span.length + fresh.length;
  span = fresh;
  if (!slots_.empty()) {
    try {
      enter(offset);
    } catch (const std::bad_alloc&) {
      forget();
    }
  }
}

bool LowercaseIndex::build(const SAFEARRAY* list) {
  if (list == nullptr || list->cDims != 1 || list->pvData == nullptr) return false;
  const auto* cells = static_cast<const BSTR*>(list->pvData);
  const std::size_t count = list->rgsabound[0].cElements;
  spans_.resize(count);
  text_.reserve(count * 16);  // a guess; the block grows as it must
  for (std::size_t i = 0; i < count; ++i) {
    if (!append(bstr_view(cells[i]), &spans_[i])) return false;
  }
  text_.shrink_to_fit();
  live_ = text_.size();
  // Keys, when wanted: none is made yet; the table finds the entry whose
  // key a target may take.
  if (keys_wanted_) {
    key_starts_.assign(count, kNoKey);
    build_table();
  }
  return true;
}

void LowercaseIndex::build_table() {
  std::vector<std::uint32_t>(spans_.size() * 3 / 2 + 2, kNoEntry).swap(slots_);
  slots_used_ = 0;
  for (std::size_t i = 0; i < spans_.size(); ++i) enter(i);
}

std::size_t LowercaseIndex::first_slot(OleStringView text) const noexcept {
  // The hash's top 32 bits scaled to the table's size.
  return static_cast<std::size_t>(((text_hash(text) >> 32) * slots_.size()) >> 32);
}

void LowercaseIndex::enter(std::size_t offset) {
  // At most two thirds full, so that a lookup meets a free slot soon.
  if (3 * (slots_used_ + 1) > 2 * slots_.size()) {
    build_table();  // enters this entry too, under its present text
    return;
  }
  std::size_t at = first_slot((*this)[offset]);
  while (slots_[at] != kNoEntry) at = next_slot(at);
  slots_[at] = static_cast<std::uint32_t>(offset);
  ++slots_used_;
}

std::optional<std::size_t> LowercaseIndex::find(OleStringView lowered) const noexcept {
  if (slots_.empty()) return std::nullopt;
  for (std::size_t at = first_slot(lowered); slots_[at] != kNoEntry; at = next_slot(at)) {
    const OleStringView entry = (*this)[slots_[at]];
    if (entry.size() == lowered.size() &&
        std::memcmp(entry.data(), lowered.data(), lowered.size() * sizeof(OLECHAR)) == 0) {
      return slots_[at];
    }
  }
  return std::nullopt;
}

bool LowercaseIndex::target_key(OleStringView lowered, std::vector<unsigned char>& key) const {
  key.clear();
  if (!has_keys()) return false;
  if (const std::optional<std::size_t> same = find(lowered)) {
    // Copied: making another entry's key may move the block.
    if (const unsigned char* borrowed = this->key(*same)) {
      key.assign(borrowed, borrowed + key_length(*same));
      return true;
    }
  }
  return platform::sort_keys_pay_off() && append_usable_sort_key(lowered, key);
}

std::size_t LowercaseIndex::key_length(std::size_t offset) const noexcept {
  return std::strlen(reinterpret_cast<const char*>(keys_.data() + key_starts_[offset])) + 1;
}

const unsigned char* LowercaseIndex::key(std::size_t offset) const noexcept {
  if (!has_keys()) return nullptr;
  std::uint32_t& start = key_starts_[offset];
  if (start == kNoKey) {
    // Keys of replaced entries are left behind; once most of the block is,
    // it is started afresh.
    if (keys_.size() > 2 * live_key_bytes_ + 8192) {
      keys_.clear();
      key_starts_.assign(key_starts_.size(), kNoKey);
      live_key_bytes_ = 0;
    }
    const std::size_t at = keys_.size();
    if (at >= kNoKey / 2) return nullptr;
    try {
      // The block grows by a quarter at a time rather than doubling: keys
      // are most of the memory the index takes.
      const std::size_t room = 6 * (*this)[offset].size() + 32;
      if (keys_.capacity() - at < room) keys_.reserve(at + std::max(room, at / 4));
      if (!append_usable_sort_key((*this)[offset], keys_)) return nullptr;
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    start = static_cast<std::uint32_t>(at);
    live_key_bytes_ += keys_.size() - at;
  }
  return keys_.data() + start;
}

bool LowercaseIndex::append(OleStringView text, Span* span) {
  const std::size_t start = text_.size();
  if (text.size() > std::numeric_limits<std::uint32_t>::max() - start) return false;
  text_.resize(start + text.size());
  if (!lowercase_latin(text.data(), text.size(), text_.data() + start)) {
    text_.resize(start);
    return false;
  }
  *span = Span{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(text.size())};
  return true;
}

}  // namespace corvane
