#!/usr/bin/env bash
# Wraps a PNG image in a one-image .ico file (an icon entry may hold PNG data as it is), so the
# Windows program's icon is made at build time from resources/quorvel.png.
# Usage: png_to_ico.sh input.png output.ico
set -euo pipefail
png="$1"
ico="$2"

# Width and height from the PNG header (big-endian at bytes 16 and 20); 256 and more is 0.
read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
  awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
[ "$width" -ge 256 ] && width=0
[ "$height" -ge 256 ] && height=0
size=$(stat -c %s "$png")

le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
byte() { printf "\\x$(printf %02x "$1")"; }

{
  le16 0 && le16 1 && le16 1              # reserved, type icon, one image
  byte "$width" && byte "$height" && byte 0 && byte 0
  le16 1 && le16 32                       # planes, bits per pixel
  le32 "$size" && le32 22                 # bytes of the image, where it starts
  cat "$png"
} >"$ico.tmp"
mv "$ico.tmp" "$ico"
