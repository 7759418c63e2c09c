#!/usr/bin/env bash
# Draws the program's icon (a disc on a blue tile) at 32x32 and 16x16 and packs them into
# src/app/res/orvane.ico. Run again after changing the drawing; the .ico is kept in the tree.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
draw() {  # draw SIZE: drawn at 8x and scaled down, so the edges are smooth
  local s=$1 b=$(( $1 * 8 ))
  local r=$(( b * 15 / 32 )) c=$(( b / 2 ))
  convert -size ${b}x${b} xc:none \
    -fill '#1f5fbf' -draw "roundrectangle 0,0 $((b-1)),$((b-1)) $((b/6)),$((b/6))" \
    -fill '#d9dee6' -draw "circle $c,$c $c,$((c - r + b/16))" \
    -fill '#b8c7dd' -draw "circle $c,$c $c,$((c - r * 5 / 8))" \
    -fill '#eef2f7' -draw "circle $c,$c $c,$((c - r * 3 / 8))" \
    -fill '#1f5fbf' -draw "circle $c,$c $c,$((c - r / 6))" \
    -fill '#ffffff80' -draw "polygon $c,$c $((c + r * 9 / 10)),$((c - r / 3)) $((c + r * 2 / 3)),$((c - r * 3 / 4))" \
    -resize ${s}x${s} "$work/icon$s.png"
}
draw 32
draw 16
convert "$work/icon32.png" "$work/icon16.png" src/app/res/orvane.ico
echo "wrote src/app/res/orvane.ico"
