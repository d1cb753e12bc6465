#!/usr/bin/env bash
# Builds and runs the frame benchmark under a virtual X server: the fixed
# camera's scenes, free look (with a one-cell change at N = 64, 128, 256),
# building (an edit, a save, the undo history's memory), the slabs and the
# lattice's memory.
#   bench/run.sh [build folder (default: build)] [frames per scene (default: 40)]
# The demo world scene needs the demo_world target, which is built too.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
frames=${2:-40}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVO_BENCH=ON
else
    # A folder configured without the benchmark gets it switched on.
    cmake -S . -B "$build" -DTAVO_BENCH=ON >/dev/null
fi
cmake --build "$build" -j2 --target tavo_bench demo_world
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bench/tavo-bench" "$frames"
