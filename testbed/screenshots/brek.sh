#!/usr/bin/env bash
# Retakes docs/brek.png: Brek's window during a pass of the demo station against `orva satsim`
# on a pseudo-terminal, under Xvfb. Usage: testbed/screenshots/brek.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
bin="${1:-build}/bin"
seconds="${2:-40}"
work="$(mktemp -d)"
satsim_pid=""
cleanup() {
    [ -n "$satsim_pid" ] && kill "$satsim_pid" 2>/dev/null && wait "$satsim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

export ORVA_STORE="$work/store.db"
"$bin/orva" setup --demo "$work/orva" >/dev/null

# The satellite serves a handful of the suite's own files, so real bytes arrive.
mkdir -p "$work/served"
i=0
for f in README.md engine/window/*.cpp engine/session/brek_session.cpp; do
    [ -f "$f" ] || continue
    cp "$f" "$work/served/$(printf 'F%02d' "$i")_$(basename "$f")"
    i=$((i + 1))
done

# A message queued for upload, so the picture shows the Upload Status box at work.
for n in $(seq 1 200); do cat README.md; done >"$work/message.txt"
truncate -s 1000000 "$work/message.txt"
ORVA_STORE="$work/store.db" "$bin/quillet" S~AO-16 --to ALL --title "Greetings from the Orva demo station" \
    --text "$work/message.txt" >/dev/null

coproc SATSIM { exec "$bin/orva-satsim" --folder "$work/served" --pty --loss 0.03 --rate 2400 --seed 5 2>"$work/satsim.log"; }
satsim_pid=$SATSIM_PID
read -r -t 10 word pty <&"${SATSIM[0]}"
[ "$word" = PTY ] || { echo "satsim did not start" >&2; cat "$work/satsim.log" >&2; exit 1; }

mkdir -p docs
xvfb-run -a -s "-screen 0 1024x768x24" \
    "$bin/brek-screenshot" AO-16 --port "$pty" --out docs/brek.png --seconds "$seconds" --pass-seconds 600
echo "docs/brek.png written"
