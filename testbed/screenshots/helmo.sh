#!/usr/bin/env bash
# Retakes docs/helmo.png: Helmo's main window while it runs a pass of the demo station against
# `orva satsim` (orva demo --window), under Xvfb. Usage: testbed/screenshots/helmo.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
bin="$(cd "${1:-build}/bin" && pwd)"
work="$(mktemp -d)"
trap 'cp "$work/demo.log" "${TMPDIR:-/tmp}/helmo-screenshot-demo.log" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p docs
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    bin="$1"; work="$2"
    "$bin/orva-demo" --window "$work/demo" >"$work/demo.log" 2>&1 &
    demo=$!
    # During the pass: once brek has been started, give the table a few rounds.
    for _ in $(seq 1 240); do
        grep -qi "started .*brek" "$work/demo.log" 2>/dev/null && break
        sleep 1
    done
    sleep 8
    # The map opens over it at the pass start: the main window alone, raised.
    "$bin/screen-grab" "$work/helmo.png" Helmo
    wait "$demo" || { cat "$work/demo.log" >&2; exit 1; }
' bash "$bin" "$work"
cp "$work/helmo.png" docs/helmo.png
echo "docs/helmo.png written"
