#!/bin/sh
# Runs every fuzz target of a native build for SECONDS each, one after another, from
# the build's copy of the seeds into its own growing corpus, and prints how many
# inputs each ran and how fast. A finding stops the run with the input saved under
# NATIVE_BUILD_DIR/fuzz/artifacts/TARGET/; once fixed, it belongs in fuzz/findings/.
# Usage: run.sh NATIVE_BUILD_DIR SECONDS
# FUZZ_RUNS=N stops each target after N inputs instead (SECONDS still bounds it),
# FUZZ_MAX_LEN=BYTES caps the inputs (crafted headers and tables fit in a few KB, and
# whole-file seeds run a hundred times slower), FUZZ_ONLY=TARGET runs one target.
set -eu
if [ $# -ne 2 ]; then
    echo "usage: $0 NATIVE_BUILD_DIR SECONDS" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)

status=0
found=0
for source in "$here"/fuzz_*.cpp; do
    target=$(basename "$source" .cpp)
    [ -z "${FUZZ_ONLY:-}" ] || [ "$FUZZ_ONLY" = "$target" ] || continue
    program="$build/bin/$target"
    if [ ! -x "$program" ]; then
        echo "$target: not built in $build (the fuzzers need the native clang build)" >&2
        exit 1
    fi
    found=$((found + 1))
    corpus="$build/fuzz/corpus/$target"
    artifacts="$build/fuzz/artifacts/$target"
    log="$build/fuzz/$target.log"
    mkdir -p "$corpus" "$artifacts"
    echo "$target: fuzzing for $seconds s (log: $log)"
    if "$program" -max_total_time="$seconds" -runs="${FUZZ_RUNS:--1}" -max_len="${FUZZ_MAX_LEN:-0}" \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$build/fuzz/seeds" >"$log" 2>&1; then
        outcome=0
    elif grep -q 'libFuzzer: run interrupted' "$log"; then
        outcome=130
    else
        outcome=1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    case $outcome in
    0) echo "$target: ${runs:-?} runs, ${speed:-?} execs/s, no finding" ;;
    130)
        echo "$target: ${runs:-?} runs, ${speed:-?} execs/s, interrupted, no finding"
        exit 130
        ;;
    *)
        echo "$target: FINDING after ${runs:-?} runs (log: $log, input saved in $artifacts)"
        grep -E 'ERROR|broken promise|SUMMARY|Test unit written' "$log" >&2 || tail -n 20 "$log" >&2
        status=1
        ;;
    esac
done
[ $found -gt 0 ] || { echo "no fuzz targets in $here" >&2; exit 1; }
exit $status
