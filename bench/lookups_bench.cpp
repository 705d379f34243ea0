// The exact-match search against the plain search it cannot beat: the same
// sorted strings, already lowercased, searched with std::lower_bound and the
// same comparison. Also counts heap allocations per call.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "automation/bstr.h"
#include "automation/safe_array.h"
#include "bench_support.h"
#include "platform/collation.h"
#include "string_list/clsStringList.h"
#include "string_list/compare_text.h"

using corvane::OleString;

const std::vector<OleString>& sorted_words(std::size_t n) {
  static std::map<std::size_t, std::vector<OleString>> cache;
  auto& words = cache[n];
  if (!words.empty()) return words;
  const std::u16string alphabet =
      u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJ0123456789 -'.\u00e9\u00e8\u00e4\u00f6";
  std::mt19937 random(static_cast<unsigned>(n));
  std::uniform_int_distribution<std::size_t> length(6, 20);
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
  for (auto& k : keyed) words.push_back(std::move(k.second));
  return words;
}

void fill(corvane::clsStringList& list, const std::vector<OleString>& words) {
  list.put_StringList(corvane::string_array_variant(corvane::string_array_from(0, words)).get());
}

namespace {

void BM_lfnMatch(benchmark::State& state) {
  const auto& words = sorted_words(static_cast<std::size_t>(state.range(0)));
  corvane::clsStringList list;
  list.Init(OLESTR(""), OLESTR(""), OLESTR(""), 2);
  fill(list, words);
  std::size_t i = 0;
  long found = 0;
  const long before = allocation_count();
  for (auto _ : state) {
    corvane::Variant v = list.lfnMatch(words[i]);
    found += v.get().lVal >= 0;
    benchmark::DoNotOptimize(v.get().lVal);
    i = (i * 7919 + 1) % words.size();
  }
  const long allocations = allocation_count() - before;
  if (found != static_cast<long>(state.iterations())) state.SkipWithError("an entry was not found");
  state.counters["allocs/call"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations());
  state.counters["entries"] = static_cast<double>(words.size());
}

void BM_lower_bound(benchmark::State& state) {
  const auto& words = sorted_words(static_cast<std::size_t>(state.range(0)));
  std::vector<OleString> lowered;
  lowered.reserve(words.size());
  for (const auto& w : words) lowered.push_back(corvane::platform::lowercase(w));
  std::size_t i = 0;
  for (auto _ : state) {
    auto it = std::lower_bound(
        lowered.begin(), lowered.end(), lowered[i],
        [](const OleString& a, const OleString& b) { return corvane::lfnCompareText(a, b) < 0; });
    benchmark::DoNotOptimize(it);
    i = (i * 7919 + 1) % lowered.size();
  }
  state.counters["entries"] = static_cast<double>(words.size());
}

// Medians of five runs: this machine is shared, single runs wander.
BENCHMARK(BM_lfnMatch)->Arg(1000)->Arg(1000000)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_lower_bound)->Arg(1000)->Arg(1000000)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
