#!/usr/bin/env bash
# The native test suite under AddressSanitizer with UndefinedBehaviorSanitizer
# (and LeakSanitizer), built with clang into build/sanitize, and the ordinary
# native build's tests under valgrind memcheck. Any error or leak fails.
#
#   tools/sanitize.sh [asan|valgrind]...     (both when none is named)
#
# The sanitizer build also holds the fuzz targets (tools/fuzz.sh runs them).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/ensure-packages.sh clang-16 libclang-rt-16-dev valgrind
jobs="${CORVANE_JOBS:-2}"
steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(asan valgrind)

# The sanitizer build: every library and test with ASan and UBSan (every UB
# check fatal) and the fuzzer's coverage, so that the fuzz targets share it.
# Warnings are the g++ builds' business: clang's differ, and do not stop it.
configure_sanitize() {
  local flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -fsanitize=fuzzer-no-link"
  cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16 -DCORVANE_FUZZ=ON \
    -DCORVANE_WERROR=OFF \
    "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags" \
    "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" \
    "-DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null
  cmake --build build/sanitize -j "$jobs"
}

for step in "${steps[@]}"; do
  case "$step" in
    asan)
      echo "== native: AddressSanitizer, UndefinedBehaviorSanitizer, LeakSanitizer"
      configure_sanitize
      ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1 \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build/sanitize --output-on-failure
      ;;
    valgrind)
      echo "== native: valgrind memcheck"
      cmake --preset native >/dev/null
      cmake --build --preset native -j "$jobs"
      # The suite's own process is checked; the programs it starts run as
      # they are (valgrind would slow the many-writers test's eight writers).
      valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
        --errors-for-leak-kinds=definite,indirect,possible --show-leak-kinds=definite,indirect,possible \
        --track-origins=no --num-callers=30 --trace-children=no --quiet \
        build/native/bin/corvane_tests --gtest_brief=1
      ;;
    *)
      echo "unknown step: $step" >&2
      exit 2
      ;;
  esac
done
