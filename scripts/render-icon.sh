#!/usr/bin/env bash
# Renders the program's icon, app/resources/configurator.svg, into the Windows icon beside it
# (256, 48, 32 and 16 px; configurator.exe and the installer carry it). Run after changing the
# drawing and commit both; the Debian package's 256 px PNG is rendered at build time.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/../app/resources"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 256 48 32 16; do
  rsvg-convert -w $size -h $size -o "$work/$size.png" configurator.svg
done
convert "$work/256.png" "$work/48.png" "$work/32.png" "$work/16.png" configurator.ico
