#!/usr/bin/env bash
# Retakes docs/pixora.png: Pixora showing a made-up Kitsat image with its information box, under
# Xvfb. Usage: testbed/screenshots/pixora.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
bin="${1:-build}/bin"
mkdir -p docs
xvfb-run -a -s "-screen 0 1280x800x24" "$bin/pixora-screenshot" --out docs/pixora.png
echo "docs/pixora.png written"
