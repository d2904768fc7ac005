#!/usr/bin/env bash
# Draws the program's emblem (a sheet with parts nested on it) and writes the
# icon (16 to 256 pixels, 32 bits per pixel) and the header logo. The outputs
# are kept in the repository; run this again only to change the artwork.
# Needs ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

convert -size 512x512 xc:none \
  -fill 'rgb(21,22,22)' -stroke 'rgb(232,91,46)' -strokewidth 20 \
  -draw 'roundrectangle 20,20 491,491 76,76' \
  -stroke none -fill 'rgb(46,101,71)' \
  -draw 'rectangle 78,78 434,434' \
  -fill 'rgb(230,226,216)' \
  -draw 'polygon 96,96 286,96 286,176 176,176 176,286 96,286' \
  -fill 'rgb(232,91,46)' \
  -draw 'circle 355,176 355,96' \
  -fill 'rgb(46,101,71)' \
  -draw 'circle 355,176 355,140' \
  -fill 'rgb(255,223,184)' \
  -draw 'polygon 196,196 296,416 96,416' \
  -fill 'rgb(230,226,216)' \
  -draw 'roundrectangle 316,276 416,416 14,14' \
  -fill 'rgb(46,101,71)' \
  -draw 'rectangle 346,316 386,376' \
  "$tmp/emblem.png"

for s in 16 24 32 48 64 128 256; do
  convert "$tmp/emblem.png" -filter Lanczos -resize ${s}x${s} -depth 8 "PNG32:$tmp/icon-$s.png"
done
# Small sizes as 32-bit bitmaps, the largest compressed.
convert "$tmp"/icon-16.png "$tmp"/icon-24.png "$tmp"/icon-32.png "$tmp"/icon-48.png \
  "$tmp"/icon-64.png "$tmp"/icon-128.png "$tmp"/icon-256.png keldamiron.ico
convert "$tmp/emblem.png" -filter Lanczos -resize 156x156 -depth 8 -strip PNG32:logo.png
