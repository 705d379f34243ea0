// Filling and reading the list: the property put and get copy every string,
// so they are measured against a bare loop of SysAllocStringLen copies of
// the same strings; sharing a caller's array costs the same whatever its
// length.
#include <benchmark/benchmark.h>

#include <memory>

#include "automation/bstr.h"
#include "automation/safe_array.h"
#include "bench_support.h"

namespace {

using namespace corvane;

// The client's String() array of the first n sorted words.
SafeArrayPtr client_array(std::size_t n) {
  const auto& words = sorted_words(n);
  SafeArrayPtr a = create_string_array({SAFEARRAYBOUND{static_cast<ULONG>(words.size()), 0}});
  for (std::size_t i = 0; i < words.size(); ++i) {
    string_element(a.get(), static_cast<std::int32_t>(i)) = Bstr(words[i]).release();
  }
  return a;
}

void BM_AssignStringList(benchmark::State& state) {
  SafeArrayPtr array = client_array(static_cast<std::size_t>(state.range(0)));
  SAFEARRAY* variable = array.get();
  clsStringList list;
  for (auto _ : state) {
    list.AssignStringList(reinterpret_cast<std::intptr_t>(&variable));
    benchmark::DoNotOptimize(list.string_list());
  }
}

// Each put lets go of the previous copy and makes a new one.
void BM_PutStringList(benchmark::State& state) {
  SafeArrayPtr array = client_array(static_cast<std::size_t>(state.range(0)));
  Variant value;
  value.get().vt = VT_ARRAY | VT_BSTR;
  value.get().parray = array.get();
  clsStringList list;
  for (auto _ : state) {
    list.put_StringList(value.get());
    benchmark::DoNotOptimize(list.string_list());
  }
  value.get().vt = VT_EMPTY;
}

// A put followed by the first text search of the new list, which lowercases
// every entry once for the searches after it.
void BM_PutThenFirstSearch(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  SafeArrayPtr array = client_array(n);
  Variant value;
  value.get().vt = VT_ARRAY | VT_BSTR;
  value.get().parray = array.get();
  const OleString target(bstr_view(static_cast<BSTR*>(array.get()->pvData)[n / 2]));
  clsStringList list;
  for (auto _ : state) {
    list.put_StringList(value.get());
    benchmark::DoNotOptimize(list.lfnMatch(target).get().lVal);
  }
  value.get().vt = VT_EMPTY;
}

// Each get hands out a copy, which the caller frees.
void BM_GetStringList(benchmark::State& state) {
  SafeArrayPtr array = client_array(static_cast<std::size_t>(state.range(0)));
  Variant value;
  value.get().vt = VT_ARRAY | VT_BSTR;
  value.get().parray = array.get();
  clsStringList list;
  list.put_StringList(value.get());
  value.get().vt = VT_EMPTY;
  for (auto _ : state) {
    Variant copy = list.get_StringList();
    benchmark::DoNotOptimize(copy.get().parray);
  }
}

// The least a copy of the list can cost: storage for the pointers, one
// SysAllocStringLen per string, and freeing it all again.
void BM_SysAllocStringLen_copies(benchmark::State& state) {
  SafeArrayPtr array = client_array(static_cast<std::size_t>(state.range(0)));
  const std::size_t n = array.get()->rgsabound[0].cElements;
  const auto* from = static_cast<const BSTR*>(array.get()->pvData);
  for (auto _ : state) {
    std::unique_ptr<BSTR[]> copies(new BSTR[n]);
    for (std::size_t i = 0; i < n; ++i)
      copies[i] = SysAllocStringLen(from[i], SysStringLen(from[i]));
    benchmark::DoNotOptimize(copies.get());
    for (std::size_t i = 0; i < n; ++i) SysFreeString(copies[i]);
  }
}

BENCHMARK(BM_AssignStringList)->Arg(10)->Arg(1000000)->Repetitions(7)->ReportAggregatesOnly();
BENCHMARK(BM_PutStringList)
    ->Arg(1000)
    ->Arg(1000000)
    ->Repetitions(5)
    ->ReportAggregatesOnly()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PutThenFirstSearch)
    ->Arg(1000000)
    ->Repetitions(5)
    ->ReportAggregatesOnly()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetStringList)
    ->Arg(1000)
    ->Arg(1000000)
    ->Repetitions(5)
    ->ReportAggregatesOnly()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SysAllocStringLen_copies)
    ->Arg(1000)
    ->Arg(1000000)
    ->Repetitions(5)
    ->ReportAggregatesOnly()
    ->Unit(benchmark::kMillisecond);

}  // namespace
