// Sharing a caller's array costs the same whatever its length; the property
// put copies every string.
#include <benchmark/benchmark.h>

#include "automation/bstr.h"
#include "automation/safe_array.h"
#include "bench_support.h"

namespace {

using namespace corvane;

SafeArrayPtr client_array(std::size_t n) {
  SafeArrayPtr a = create_string_array({SAFEARRAYBOUND{static_cast<ULONG>(n), 0}});
  for (std::size_t i = 0; i < n; ++i) {
    string_element(a.get(), static_cast<std::int32_t>(i)) =
        Bstr(OLESTR("entry of the list")).release();
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

BENCHMARK(BM_AssignStringList)->Arg(10)->Arg(1000000)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_PutStringList)
    ->Arg(10)
    ->Arg(1000000)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

}  // namespace
