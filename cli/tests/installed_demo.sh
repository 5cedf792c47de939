#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the demo station from there: the installed
# programs must find each other, and their data, without the build tree.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/orva bin/orva-demo bin/helmo bin/brek bin/dispo share/orva share/applications/org.orva.Helmo.desktop \
         lib/systemd/user/orva-helmo.service share/man/man1/orva.1; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f" >&2; exit 1; }
done
grep -qxF "ExecStart=$prefix/bin/helmo --headless" "$prefix/lib/systemd/user/orva-helmo.service" \
  || { echo "the unit does not start the installed helmo" >&2; exit 1; }
# Nothing of the build tree on the way: the demo runs only what the prefix holds.
cd "$prefix"
env -u ORVA_STORE PATH="/usr/bin:/bin" dbus-run-session -- "$prefix/bin/orva" demo --quiet --pass 35
