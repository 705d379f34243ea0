#include "string_list/lowercase_index.h"

#include <limits>
#include <new>

#include "automation/bstr.h"
#include "string_list/compare_text.h"

namespace corvane {

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
  } catch (const std::bad_alloc&) {
    forget();
    return;
  }
  live_ = live_ - span.length + fresh.length;
  span = fresh;
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
  return true;
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
