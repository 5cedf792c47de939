#!/usr/bin/env bash
# Retakes docs/setup-wizard.png and docs/setup-station.png: the Satellite Setup Wizard's first
# page and the Station sheet over the demo station, under Xvfb.
# Usage: testbed/screenshots/setup.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
bin="${1:-build}/bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export ORVA_STORE="$work/store.db"
"$bin/orva" setup --demo "$work/orva" >/dev/null
xvfb-run -a "$bin/setup-screenshot" --wizard docs/setup-wizard.png --station docs/setup-station.png
