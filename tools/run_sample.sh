#!/usr/bin/env bash
# The main job on sample data: makes a fresh active and old database under
# build/sample, points the alias winvelda5 at the active one through an engine
# configuration under build/ (nothing of the user's is read or touched), and
# starts the merge window; without a display it runs the command-line merge on
# the same pair instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/bin
sample="$PWD/build/sample"
rm -rf "$sample"
mkdir -p "$sample"
"$bin/makesample" "$sample/aktiv" --patients 200 --first-key 1000 --seed 1
"$bin/makesample" "$sample/alt" --patients 50 --seed 2
printf '[aliases]\nwinvelda5 = %s\n' "$sample/aktiv" > build/pxengine.conf
export PXENGINE_CONFIG="$PWD/build/pxengine.conf"
echo "Aktive Datenbank (Alias winvelda5): $sample/aktiv"
echo "Alte Datenbank zum Einmischen:      $sample/alt"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$bin/mergetool"
fi
echo "No display available: running mergetool-cli --yes on the same pair instead."
exec "$bin/mergetool-cli" --old "$sample/alt" --yes
