#!/usr/bin/env bash
# Retakes docs/tessel.png: the demo station receives a pass of `orva satsim` with `brek
# --headless` on a pseudo-terminal, then Tessel's window shows the directory it stored, under
# Xvfb. Usage: testbed/screenshots/tessel.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
bin="${1:-build}/bin"
seconds="${2:-40}"
work="$(mktemp -d)"
[ -n "${KEEP:-}" ] && echo "work folder: $work"
satsim_pid=""
cleanup() {
    [ -n "$satsim_pid" ] && kill "$satsim_pid" 2>/dev/null && wait "$satsim_pid" 2>/dev/null
    [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

export ORVA_STORE="$work/store.db"
"$bin/orva" setup --demo "$work/orva" >/dev/null

# The satellite serves a handful of the suite's own files, so real headers arrive.
mkdir -p "$work/served"
i=0
for f in README.md dirview/*.cpp dirview/app/*.cpp engine/session/*.cpp; do
    [ -f "$f" ] || continue
    cp "$f" "$work/served/$(printf 'F%02d' "$i")_$(basename "$f")"
    i=$((i + 1))
done

coproc SATSIM { exec "$bin/orva-satsim" --folder "$work/served" --pty --rate 2400 --seed 7 2>"$work/satsim.log"; }
satsim_pid=$SATSIM_PID
read -r -t 10 word pty <&"${SATSIM[0]}"
[ "$word" = PTY ] || { echo "satsim did not start" >&2; cat "$work/satsim.log" >&2; exit 1; }

"$bin/brek" --headless AO-16 --port "$pty" --pass-seconds "$seconds" >"$work/brek.log" 2>&1 || {
    echo "brek failed" >&2; tail -20 "$work/brek.log" >&2; exit 1; }

mkdir -p docs
xvfb-run -a -s "-screen 0 1280x800x24" "$bin/tessel-screenshot" AO-16 --out docs/tessel.png --dark
echo "docs/tessel.png written"
