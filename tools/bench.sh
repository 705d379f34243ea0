#!/usr/bin/env bash
# The benchmarks, native and through the COM boundary under wine64, in one
# run: prints one table (operation, size, time per call, reference, ratio,
# target, verdict) and writes build/bench/results.csv, build/bench/timings.csv
# and the plot build/bench/time_per_call.png (time per call against list
# size, both axes logarithmic). Takes a few minutes.
#
# The COM client runs in a wine prefix of its own (build/bench/wineprefix)
# against a copy of Corvane.dll in build/bench/com, registered there for the
# run with "NoMsgBox.flg" beside it, so that nothing here touches the test
# builds' prefixes or folders.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
tools/ensure-packages.sh g++ cmake ninja-build libgtest-dev googletest libicu-dev libbenchmark-dev \
  g++-mingw-w64-x86-64 wine64 libwine-dev wine64-tools gnuplot-nox

out=$root/build/bench
mkdir -p "$out"
rm -f "$out"/native-*.csv "$out"/com-*.csv

echo "== build: native benchmarks and the win64 COM client"
cmake --preset native >/dev/null
cmake --build --preset native --target corvane_bench >/dev/null
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target corvane_com_bench >/dev/null

echo "== native benchmarks (log: build/bench/native.log)"
# A benchmark that finds a wrong result shows "failed" in its rows and makes
# the run end non-zero, after the table.
native_status=0
CORVANE_BENCH_DIR="$out/scratch" build/native/bin/corvane_bench --out="$out" \
  --benchmark_color=false >"$out/native.log" 2>&1 || native_status=$?
[ -f "$out/native-results.csv" ] || {
  tail -20 "$out/native.log"
  exit 1
}

echo "== COM client under wine64 (log: build/bench/com.log)"
wine=$(sed -n 's/^CORVANE_WINE:FILEPATH=//p' build/win64/CMakeCache.txt)
[ -x "$wine" ] || {
  echo "no wine64 loader found by the win64 build" >&2
  exit 1
}
export WINEPREFIX="$out/wineprefix" WINEDEBUG=-all
mkdir -p "$out/com"
cp build/win64/bin/Corvane.dll "$out/com/"
dll="Z:$out/com/Corvane.dll"
cleanup() {
  "$wine" regsvr32 /u /s "$dll" >/dev/null 2>&1 || true
  rm -f "$out/com/NoMsgBox.flg"
}
trap cleanup EXIT
touch "$out/com/NoMsgBox.flg"
"$wine" regsvr32 /s "$dll" >"$out/com.log" 2>&1
"$wine" build/win64/bin/corvane_com_bench.exe "Z:$out" >>"$out/com.log" 2>&1 || {
  tail -20 "$out/com.log"
  exit 1
}

# One table of both runs.
{
  head -1 "$out/native-results.csv"
  tail -n +2 "$out/native-results.csv"
  tail -n +2 "$out/com-results.csv"
} >"$out/results.csv"
{
  head -1 "$out/native-timings.csv"
  tail -n +2 "$out/native-timings.csv"
  tail -n +2 "$out/com-timings.csv"
} >"$out/timings.csv"

echo
awk -F, '
  function per(v, u) { return u == "ns" ? sprintf("%.1f ns", v) : sprintf("%.2f %s", v, u) }
  NR == 1 { printf "%-66s %8s %17s %17s %6s %9s  %s\n", "operation", "size", "time per call",
            "reference", "ratio", "target", "verdict"; next }
  { printf "%-66s %8s %17s %17s %6s %9s  %s\n", $1, $2, per($3, $4),
           $6 == "" ? "-" : per($6, $4), $7 == "" ? "-" : $7, $8, $9 }
' "$out/results.csv"
echo
echo "reference of each ratio (build/bench/results.csv, column reference):"
awk -F, 'NR > 1 && $5 != "" { printf "  %-66s %s\n", $1 " (" $2 ")", $5 }' "$out/results.csv"

# The plot: one line per series, time per call against list size.
rm -rf "$out/plot"
mkdir -p "$out/plot"
awk -F, -v dir="$out/plot" 'NR > 1 {
    f = $1; gsub(/[^A-Za-z0-9]+/, "_", f)
    print $2, $3 > (dir "/" f ".dat")
    names[f] = $1
  }
  END { for (f in names) print f "\t" names[f] > (dir "/series.txt") }' "$out/timings.csv"
plots=""
while IFS=$'\t' read -r file title; do
  sort -n -o "$out/plot/$file.dat" "$out/plot/$file.dat"
  plots="${plots:+$plots, }'$out/plot/$file.dat' using 1:2 with linespoints title '$title'"
done < <(sort -t$'\t' -k2 "$out/plot/series.txt")
gnuplot <<EOF
set terminal pngcairo size 1100,700 noenhanced
set output '$out/time_per_call.png'
set title 'Corvane: time per call against list size'
set logscale xy
set xlabel 'entries in the list'
set ylabel 'time per call (ns)'
set key outside right
set grid
plot $plots
EOF
echo
echo "written: build/bench/results.csv, build/bench/timings.csv, build/bench/time_per_call.png"
if [ "$native_status" -ne 0 ]; then
  echo "FAILED: a native benchmark found a wrong result or could not measure (build/bench/native.log)"
  exit 1
fi
