#!/usr/bin/env bash
# Builds tavo and the demo world (in build/demo) and opens it.
#   scripts/demo.sh [extra tavo arguments...]
# The view is saved to build/demo/SYS/CAM/demo.cam as you fly; delete that
# file (or rebuild after changing data/demo/start.pose) for the start view.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target tavo demo_world
exec build/tavo "$@" build/demo/DEF/demo.def
