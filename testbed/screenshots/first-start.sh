#!/usr/bin/env bash
# Retakes docs/first-start.png: Helmo's first-start setup on a store that was never set up, as a
# new operator "op" sees it, under Xvfb. Usage: testbed/screenshots/first-start.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
bin="${1:-build}/bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p docs
export ORVA_STORE="$work/store.db"
xvfb-run -a env HOME=/home/op XDG_DATA_HOME= "$bin/first-start-screenshot" docs/first-start.png
echo "docs/first-start.png written"
