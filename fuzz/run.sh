#!/usr/bin/env bash
# run.sh SECONDS -- builds the fuzz configuration and runs every fuzz target
# for SECONDS each on a scratch copy of its seed corpus; exits non-zero on
# any finding.  Environment: FUZZ_BUILD (build folder, default build-fuzz),
# FUZZ_TARGETS (default "pcx png map def camera"), FUZZ_WORK (scratch folder;
# findings are kept there), FUZZ_JOBS (targets at a time, default 1).
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: fuzz/run.sh SECONDS}
build=${FUZZ_BUILD:-build-fuzz}
targets=${FUZZ_TARGETS:-pcx png map def camera}
jobs=${FUZZ_JOBS:-1}
work=${FUZZ_WORK:-$(mktemp -d "${TMPDIR:-/tmp}/tavo-fuzz.XXXXXX")}

if [ ! -f "$build/CMakeCache.txt" ]; then
    CXX=${CXX:-clang++} cmake -S . -B "$build" -DTAVO_FUZZ=ON -DTAVO_TESTS=OFF \
        -DTAVO_BENCH=OFF -DTAVO_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
fi
cmake --build "$build" -j2 --target fuzz >/dev/null || { echo "fuzz build failed"; exit 1; }

# The largest buffers a sound file can ask for are the decoded texture
# (4096 x 4096 RGBA at the targets' largest texture size: 64 MiB) and the
# map's grid (TILE_GRID_MAX cells: 64 MiB); anything above 128 MiB means a
# size taken from a file went unchecked.
run_one() {
    local name=$1 dir=$work/$1
    mkdir -p "$dir/corpus" "$dir/findings"
    cp fuzz/corpus/"$name"/* "$dir/corpus/"
    local dict=()
    [ -f "fuzz/$name.dict" ] && dict=(-dict="fuzz/$name.dict")
    ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1} \
    "$build/fuzz/fuzz_$name" "$dir/corpus" "${dict[@]}" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=128 -max_len=16384 \
        -artifact_prefix="$dir/findings/" -print_final_stats=1 >"$dir/log" 2>&1
    local status=$?
    local execs
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$dir/log" | grep -o '[0-9]*$')
    if [ $status -ne 0 ] || [ -n "$(ls -A "$dir/findings")" ]; then
        echo "fuzz_$name: FINDING (status $status), log and input in $dir"
        tail -n 40 "$dir/log"
        return 1
    fi
    echo "fuzz_$name: ${execs:-?} runs in ${seconds}s, corpus $(ls "$dir/corpus" | wc -l) inputs, no finding"
}

failed=0
running=0
pids=()
for name in $targets; do
    run_one "$name" &
    pids+=($!)
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait "${pids[0]}" || failed=1
        pids=("${pids[@]:1}")
        running=$((running - 1))
    fi
done
for pid in "${pids[@]}"; do
    wait "$pid" || failed=1
done
[ -z "${FUZZ_WORK:-}" ] && [ $failed -eq 0 ] && rm -rf "$work"
exit $failed
