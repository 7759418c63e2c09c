#!/usr/bin/env bash
# Turns the BMP screenshots GUI tests save (what GDI writes) into PNGs with ImageMagick, so they
# sit beside the program's other screenshots. Usage: screenshots_to_png.sh DIR
set -euo pipefail
dir=${1:?usage: screenshots_to_png.sh DIR}
for f in "$dir"/*.bmp; do
  [ -e "$f" ] || continue
  convert "$f" "${f%.bmp}.png" && rm -f "$f"
  echo "gui: wrote ${f%.bmp}.png"
done
