#!/usr/bin/env bash
# Fuzzes each target for a bounded time, starting from its seed corpus.
# Usage: tests/fuzz/run-fuzzers.sh [seconds per target] [build dir]
# New inputs go to <build dir>/corpus/<target>/, a crashing input to
# <build dir>/findings/; copy a finding into tests/fuzz/corpus/<target>/
# once it is fixed, so that every build replays it.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
build=${2:-build-fuzz}
mkdir -p "$build/findings"
for target in button_codec shortcut_text web_address; do
  mkdir -p "$build/corpus/$target"
  echo "Fuzzing $target for ${seconds}s"
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -dict="tests/fuzz/$target.dict" -artifact_prefix="$build/findings/$target-" "$build/corpus/$target" "tests/fuzz/corpus/$target" \
    2>"$build/findings/$target.log" || { tail -n 60 "$build/findings/$target.log"; exit 1; }
  grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::new_units_added)' \
    "$build/findings/$target.log" || true
done
