#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds on a copy of its committed corpus, and prints
# each target's executions. Crashes leave their input in build-sanitize/fuzz-findings/.
#   tests/fuzz/run.sh SECONDS [BUILD_DIR]      (BUILD_DIR defaults to build-sanitize, made by ./dev.sh sanitize)
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:?usage: tests/fuzz/run.sh SECONDS [BUILD_DIR]}
build=${2:-build-sanitize}
findings="$build/fuzz-findings"
mkdir -p "$findings"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:allocator_may_return_null=1}
status=0
for target in settings_line table_file numbers picture jpeg_shrink; do
    work="$build/fuzz-corpus/$target"
    rm -rf "$work"
    mkdir -p "$work"
    cp tests/fuzz/corpus/$target/* "$work/"
    log="$build/fuzz-$target.log"
    if "$build/tests/fuzz/fuzz_$target" "$work" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 \
        -print_final_stats=1 -artifact_prefix="$findings/$target-" >"$log" 2>&1; then
        runs=$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
        echo "fuzz_$target: ${seconds}s, ${runs:-?} executions, no crash"
    else
        echo "fuzz_$target: FAILED, see $log and $findings/"
        tail -30 "$log"
        status=1
    fi
done
exit $status
