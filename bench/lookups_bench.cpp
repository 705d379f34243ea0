// The lookups: the exact-match search against the plain search it cannot
// beat, the prefix location against the exact search, heap allocations per
// call of both searches.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "automation/bstr.h"
#include "automation/safe_array.h"
#include "automation/vb_text.h"
#include "bench_support.h"
#include "platform/collation.h"
#include "string_list/clsStringList.h"
#include "string_list/compare_text.h"

using corvane::OleString;

namespace {

// n distinct words of `shortest` to `longest` characters, sorted as the text
// search needs.
std::vector<OleString> make_sorted_words(std::size_t n, std::size_t shortest, std::size_t longest) {
  const std::u16string alphabet =
      u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJ0123456789 -'.\u00e9\u00e8\u00e4\u00f6";
  std::mt19937 random(static_cast<unsigned>(n + longest));
  std::uniform_int_distribution<std::size_t> length(shortest, longest);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::vector<std::pair<OleString, OleString>> keyed;  // lowercased, original
  keyed.reserve(n);
  while (keyed.size() < n) {
    OleString w;
    for (std::size_t k = length(random); k > 0; --k) w.push_back(alphabet[pick(random)]);
    keyed.emplace_back(corvane::platform::lowercase(w), w);
  }
  auto less = [](const auto& a, const auto& b) {
    return corvane::lfnCompareText(a.first, b.first) < 0;
  };
  std::sort(keyed.begin(), keyed.end(), less);
  keyed.erase(std::unique(keyed.begin(), keyed.end(),
                          [&](const auto& a, const auto& b) { return !less(a, b) && !less(b, a); }),
              keyed.end());
  std::vector<OleString> words;
  words.reserve(keyed.size());
  for (auto& k : keyed) words.push_back(std::move(k.second));
  return words;
}

}  // namespace

const std::vector<OleString>& sorted_words(std::size_t n) {
  static std::map<std::size_t, std::vector<OleString>> cache;
  auto& words = cache[n];
  if (words.empty()) words = make_sorted_words(n, 6, 20);
  return words;
}

const std::vector<OleString>& sorted_long_words(std::size_t n) {
  static std::map<std::size_t, std::vector<OleString>> cache;
  auto& words = cache[n];
  if (words.empty()) words = make_sorted_words(n, 200, 256);
  return words;
}

void fill(corvane::clsStringList& list, const std::vector<OleString>& words) {
  list.put_StringList(corvane::string_array_variant(corvane::string_array_from(0, words)).get());
}

namespace {

// A list of `words` whose every entry was looked up once: the searches'
// aids (keys made at an entry's first probe) are in place, as in a list that
// has served a while. Kept for the run: the first lookups of a million
// entries take seconds.
struct WarmList {
  corvane::clsStringList list;
  double first_lookup_ns = 0;  // the mean of the first lookups
  double aids_per_text = 0;    // the aids' bytes / the list's own text bytes
};

WarmList& warm_list(const std::vector<OleString>& words) {
  static std::map<const std::vector<OleString>*, std::unique_ptr<WarmList>> cache;
  std::unique_ptr<WarmList>& warm = cache[&words];
  if (warm) return *warm;
  warm = std::make_unique<WarmList>();
  warm->list.Init(OLESTR(""), OLESTR(""), OLESTR(""), 2);
  fill(warm->list, words);
  // The process's first search sets up the comparison and its keys once: not
  // a first lookup's cost.
  benchmark::DoNotOptimize(warm->list.lfnMatch(words.front()));
  Walk walk(words.size());
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t k = 0; k < words.size(); ++k, walk.next()) {
    benchmark::DoNotOptimize(warm->list.lfnMatch(words[walk.index()]));
  }
  const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
  warm->first_lookup_ns = took.count() / static_cast<double>(words.size());
  // A BSTR's own bytes: its length, its text and its terminator.
  double text_bytes = 0;
  for (const auto& w : words) text_bytes += 4 + 2 * static_cast<double>(w.size()) + 2;
  warm->aids_per_text = static_cast<double>(warm->list.search_aids_bytes()) / text_bytes;
  return *warm;
}

// lfnMatch as text over `words`, every call a hit; counts heap allocations.
void run_lfnMatch(benchmark::State& state, const std::vector<OleString>& words) {
  WarmList& warm = warm_list(words);
  Walk walk(words.size());
  long found = 0;
  const long before = allocation_count();
  for (auto _ : state) {
    const std::size_t i = walk.index();
    corvane::Variant v = warm.list.lfnMatch(words[i]);
    found += v.get().lVal == static_cast<std::int32_t>(i);
    benchmark::DoNotOptimize(v.get().lVal);
    walk.next();
  }
  const long allocations = allocation_count() - before;
  if (found != static_cast<long>(state.iterations())) state.SkipWithError("an entry was not found");
  state.counters["allocs/call"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations());
  state.counters["entries"] = static_cast<double>(words.size());
  state.counters["first lookup ns"] = warm.first_lookup_ns;
  state.counters["aids/text"] = warm.aids_per_text;
}

void BM_lfnMatch(benchmark::State& state) {
  run_lfnMatch(state, sorted_words(static_cast<std::size_t>(state.range(0))));
}

void BM_lfnMatch_long_entries(benchmark::State& state) {
  run_lfnMatch(state, sorted_long_words(static_cast<std::size_t>(state.range(0))));
}

// What lfnMatch cannot beat: the same strings already lowercased, searched
// with std::lower_bound and the same comparison.
void BM_lower_bound(benchmark::State& state) {
  const auto& words = sorted_words(static_cast<std::size_t>(state.range(0)));
  std::vector<OleString> lowered;
  lowered.reserve(words.size());
  for (const auto& w : words) lowered.push_back(corvane::platform::lowercase(w));
  Walk walk(lowered.size());
  for (auto _ : state) {
    auto it = std::lower_bound(
        lowered.begin(), lowered.end(), lowered[walk.index()],
        [](const OleString& a, const OleString& b) { return corvane::lfnCompareText(a, b) < 0; });
    benchmark::DoNotOptimize(it);
    walk.next();
  }
  state.counters["entries"] = static_cast<double>(words.size());
}

// The prefix location on the same list, each entry in turn as the prefix.
void BM_lfnMatchingPrefixLocation(benchmark::State& state) {
  const auto& words = sorted_words(static_cast<std::size_t>(state.range(0)));
  corvane::clsStringList& list = warm_list(words).list;  // the list lfnMatch searches
  Walk walk(words.size());
  const long before = allocation_count();
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.lfnMatchingPrefixLocation(words[walk.index()], 0));
    walk.next();
  }
  state.counters["allocs/call"] =
      static_cast<double>(allocation_count() - before) / static_cast<double>(state.iterations());
  state.counters["entries"] = static_cast<double>(words.size());
}

// The long-integer search over "0", "3", "6", ...: every call a hit.
void BM_lfnMatch_as_long(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::vector<OleString> numbers;
  numbers.reserve(n);
  for (std::size_t k = 0; k < n; ++k) numbers.push_back(corvane::to_text(std::int32_t(k * 3)));
  corvane::clsStringList list;
  list.Init(OLESTR(""), OLESTR(""), OLESTR(""), 2);
  fill(list, numbers);
  Walk walk(n);
  long found = 0;
  const long before = allocation_count();
  for (auto _ : state) {
    const std::size_t i = walk.index();
    corvane::Variant v = list.lfnMatch(numbers[i], true);
    found += v.get().lVal == static_cast<std::int32_t>(i);
    walk.next();
  }
  const long allocations = allocation_count() - before;
  if (found != static_cast<long>(state.iterations())) state.SkipWithError("an entry was not found");
  state.counters["allocs/call"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations());
}

// Medians of five runs: this machine is shared, single runs wander.
BENCHMARK(BM_lfnMatch)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_lower_bound)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_lfnMatchingPrefixLocation)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_lfnMatch_long_entries)->Arg(10000)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_lfnMatch_as_long)->Arg(100000)->Repetitions(3)->ReportAggregatesOnly();

}  // namespace
