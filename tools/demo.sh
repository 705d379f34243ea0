#!/usr/bin/env bash
# The main job: builds the corvane host and runs it on a sample list at trace
# level 4, then shows the list it read back and the detail log it wrote, and
# writes the HTML report of the log folder.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/ensure-packages.sh g++ cmake ninja-build libgtest-dev libicu-dev
cmake --preset native >/dev/null
cmake --build --preset native --target corvane
logs=$(mktemp -d)
echo "== corvane on tools/sample_list.txt (entry 2 replaced, entry 9 out of range)"
build/native/bin/corvane --detail-log "$logs/detail.log" --summary-log "$logs/summary.log" \
  --log-dir "$logs" --trace-level 4 --replace "2=charlie (13)" --replace "9=nowhere" \
  tools/sample_list.txt
echo "== detail log $logs/detail.log"
cat "$logs/detail.log"
echo "== report of $logs (the out-of-range replacement is its error)"
build/native/bin/corvane report "$logs"
