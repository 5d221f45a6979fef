#!/usr/bin/env bash
# Redraws win32/tessvar.ico (48, 32 and 16 pixels) from the picture of packaging/tessvar.svg
# with ImageMagick's drawing primitives (its SVG reader needs a delegate Debian leaves out).
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -size 64x64 xc:none \
  -fill '#1f4e79' -draw 'roundrectangle 2,2 61,61 10,10' \
  -fill '#f4f6f8' -draw 'circle 32,32 32,9' \
  -fill none -stroke '#d93b2b' -strokewidth 3.5 -draw 'path "M14 32 C20 14 26 14 32 32 C38 50 44 50 50 32"' \
  -stroke '#2e8b57' -draw 'line 14,22 50,22' \
  "$tmp/icon.png"
convert "$tmp/icon.png" -define icon:auto-resize=48,32,16 tessvar.ico
