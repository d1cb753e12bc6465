#!/usr/bin/env bash
# Free look at a long view, live: a generated hill world (SIDE x 64 x SIDE,
# default 512) opened with `tavo --look --view VIEW` (default 512) in a
# virtual display; the frame lines are timed as they come, standing for 20 s,
# then strafing (level) and turning for 20 s (xdotool, Debian package xdotool).
# Prints the median interval between frame lines standing, the longest gap
# while flying and turning, and the process's peak resident memory.
#   bench/live_far.sh [build folder (default: build)] [VIEW] [SIDE]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
view=${2:-512}
side=${3:-512}
command -v xdotool >/dev/null || { echo "bench/live_far.sh needs xdotool: apt-get install xdotool" >&2; exit 1; }
cmake --build "$build" -j2 --target tavo tavo_export_world demo_world >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-live-far-XXXXXX")
trap '[ -n "${TAVO_LIVE_KEEP:-}" ] || rm -rf "$work"' EXIT
"$build/bench/tavo-export-world" hill "${side}x64x${side}" "$build/demo" "$work/world"
# Over the world's middle, 60 layers up, looking along -z and 14 degrees down.
printf -- '-1 0 0\n0 0.9703 -0.2419\n0 -0.2419 -0.9703\n%s 120 %s\n' "$side" "$((side * 7 / 2))" >"$work/pose"
"$build/tavo-cam" "$work/pose" "$work/world/SYS/CAM/demo.cam" >/dev/null
export TAVO_LIVE_WORK=$work TAVO_LIVE_BUILD=$build TAVO_LIVE_VIEW=$view
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -euo pipefail
    w=$TAVO_LIVE_WORK
    mkfifo "$w/out"
    python3 -c "import sys, time
for line in sys.stdin: sys.stdout.write(f\"{time.time():.4f} {line}\")" <"$w/out" >"$w/lines" &
    stdbuf -oL "$TAVO_LIVE_BUILD/tavo" --no-config --look --view "$TAVO_LIVE_VIEW" "$w/world/DEF/demo.def" \
        >"$w/out" 2>"$w/err" &
    pid=$!
    date +%s.%N >"$w/t0"
    sleep 20
    date +%s.%N >"$w/t1"
    win=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | tail -1 || true)
    [ -n "$win" ] && xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus "$win" 2>/dev/null || true
    xdotool keydown d
    for i in $(seq 1 40); do xdotool mousemove_relative -- 12 0; sleep 0.5; done
    xdotool keyup d
    date +%s.%N >"$w/t2"
    grep VmHWM "/proc/$pid/status" | awk "{print \$2}" >"$w/hwm"
    kill "$pid"
    wait || true
'
python3 - "$work" <<'EOF'
import statistics, sys
w = sys.argv[1]
t0, t1, t2 = (float(open(f"{w}/{n}").read()) for n in ("t0", "t1", "t2"))
times = [float(l.split()[0]) for l in open(f"{w}/lines") if " view " in l]
def gaps(a, b):
    ts = [t for t in times if a <= t <= b]
    return [1000 * (y - x) for x, y in zip(ts, ts[1:])]
standing, flying = gaps(t0 + 10, t1), gaps(t1, t2)
hwm = int(open(f"{w}/hwm").read()) / 1024
print(f"standing (last 10 s): median interval {statistics.median(standing):.1f} ms (target: 21 or less), "
      f"{len(standing)} frames")
print(f"flying and turning: median {statistics.median(flying):.1f} ms, longest gap {max(flying):.1f} ms "
      f"(target: 50 or less)")
print(f"peak resident memory {hwm:.0f} MB (target: 512 or less)")
EOF
