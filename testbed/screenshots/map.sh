#!/usr/bin/env bash
# Retakes docs/map.png: the demo station's map window following AO-16 in the middle of a pass,
# under Xvfb. Usage: testbed/screenshots/map.sh [BUILD_DIR] [ISO-TIME]
set -euo pipefail
cd "$(dirname "$0")/../.."
bin="${1:-build}/bin"
at="${2:-2026-12-09T11:40:00Z}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export ORVA_STORE="$work/store.db"
"$bin/orva" setup --demo "$work/orva" >/dev/null
mkdir -p docs
xvfb-run -a -s "-screen 0 1280x900x24" "$bin/map-screenshot" --at "$at" --out docs/map.png
echo "docs/map.png written"
