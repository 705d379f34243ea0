#!/usr/bin/env bash
# Every test of every build, in about a quarter of an hour on two cores: the
# native build (also under a German locale), the 64-bit Windows build under
# wine64, the 32-bit product build under wine32 where this machine can run
# 32-bit programs, the native tests under AddressSanitizer with
# UndefinedBehaviorSanitizer (built and run beside the wine stages), every
# fuzz target for a short bounded time (CORVANE_FUZZ_SECONDS each, 10 by
# default), the hostile COM client's short count, and the release kit
# (packed, installed, used and removed under wine64, beside the fuzz
# targets). Warnings are errors. Prints each stage's duration and
# "N passed, N failed" at the end; exits non-zero on any failure.
# The long runs (the hostile client's full count, valgrind, fuzzing for
# minutes) are tools/soak.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/ensure-packages.sh g++ cmake ninja-build libgtest-dev googletest libicu-dev libbenchmark-dev clang-format \
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 libwine-dev wine64-tools xvfb xauth imagemagick \
  clang-16 libclang-rt-16-dev wine32:i386 locales wixl msitools zip unzip osslsigncode openssl \
  chromium fonts-dejavu-core
tools/ensure-locale.sh de_DE.UTF-8
export CORVANE_WERROR=ON

passed=0
failed=0
durations=()
# stage NAME COMMAND...: runs one step, counts it as one check that passed or
# failed, and keeps its duration for the table at the end.
stage() {
  local name=$1 started=$SECONDS
  shift
  echo "== $name"
  if "$@"; then
    passed=$((passed + 1))
  else
    echo "== FAILED: $name"
    failed=$((failed + 1))
  fi
  durations+=("$(printf '%-34s %4d s' "$name" $((SECONDS - started)))")
}

# ctest_stage NAME PRESET [ctest arguments]: every test of the run counts.
ctest_stage() {
  local name=$1 preset=$2 started=$SECONDS log
  shift 2
  log=$(mktemp)
  echo "== $name"
  ctest --preset "$preset" "$@" 2>&1 | tee "$log" || true
  local counts
  counts=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "$log")
  if [ -z "$counts" ]; then
    echo "== FAILED: $name ran no test"
    failed=$((failed + 1))
  else
    read -r f total <<<"$counts"
    failed=$((failed + f))
    passed=$((passed + total - f))
  fi
  rm -f "$log"
  durations+=("$(printf '%-34s %4d s' "$name" $((SECONDS - started)))")
}

build() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}

# The release kit: packed from the Windows builds above, then installed,
# used and removed under wine64 (tests/kit/install_test.sh).
kit() {
  tools/package.sh && tests/kit/install_test.sh
}

format() {
  clang-format --dry-run --Werror $(git ls-files '*.cpp' '*.h')
}

german_locale() {
  LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 build/native/bin/corvane_tests --gtest_brief=1
}

stage "format" format
for preset in native win64 win32; do
  stage "$preset: build" build "$preset"
done

# beside_start NAME COMMAND...: runs a stage in the background, beside the
# stages that follow; beside_finish NAME waits for it, shows its output and
# counts it. Used for stages that keep one core busy at most while the
# others leave one free.
declare -A beside_jobs beside_logs
beside_start() {
  local name=$1 log
  shift
  log=$(mktemp)
  (
    started=$SECONDS
    rc=0
    "$@" >"$log" 2>&1 || rc=$?
    echo "$rc $((SECONDS - started))" >"$log.result"
  ) &
  beside_jobs[$name]=$!
  beside_logs[$name]=$log
}
beside_finish() {
  local name=$1 log=${beside_logs[$1]} rc seconds
  wait "${beside_jobs[$name]}" || true
  echo "== $name (beside)"
  cat "$log"
  read -r rc seconds <"$log.result"
  if [ "$rc" -eq 0 ]; then
    passed=$((passed + 1))
  else
    echo "== FAILED: $name"
    failed=$((failed + 1))
  fi
  durations+=("$(printf '%-34s %4d s' "$name (beside)" "$seconds")")
  rm -f "$log" "$log.result"
}

# The sanitizer build and its tests go on beside the wine stages.
beside_start "native: ASan + UBSan" tools/sanitize.sh asan

ctest_stage "native: tests" native
stage "native: tests under de_DE.UTF-8" german_locale
ctest_stage "win64: tests" win64 -E '^com_hostile_client$'
ctest_stage "win64: hostile COM client, short" win64 -R '^com_hostile_client$'
# The 32-bit build is always built; its tests run where the 32-bit loader
# can be executed at all (the probe answers 1 where the kernel refuses it).
probe=0
tools/can-run-32bit.sh || probe=$?
case $probe in
  0) ctest_stage "win32: tests" win32 ;;
  1) echo "win32: tests skipped: this machine cannot run 32-bit programs" ;;
  *) echo "== FAILED: win32: no 32-bit wine loader was installed"
     failed=$((failed + 1)) ;;
esac
beside_finish "native: ASan + UBSan"
# The kit's test waits on wine's installer most of the time: it runs beside
# the fuzz targets, which keep one core busy.
beside_start "kit: package, install, use, remove" kit
for target in $(sed -n 's/^foreach(target \(.*\))$/\1/p' fuzz/CMakeLists.txt); do
  stage "fuzz: $target" tools/fuzz.sh "${CORVANE_FUZZ_SECONDS:-10}" "$target"
done

beside_finish "kit: package, install, use, remove"

echo "== durations"
printf '   %s\n' "${durations[@]}"
echo "   all                                $(printf '%4d' "$SECONDS") s"
echo "${passed} passed, ${failed} failed"
[ "$failed" -eq 0 ]
