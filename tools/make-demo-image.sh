#!/usr/bin/env bash
# Makes a FAT32 image of a USB stick with folders and files on it, then overwrites its root directory
# cluster with junk, as a stick that "lost all its folders".      tools/make-demo-image.sh IMAGE
set -euo pipefail
image=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export MTOOLS_SKIP_CHECK=1
rm -f "$image"
mkfs.fat -F 32 -S 512 -s 8 -n DEMOSTICK -C "$image" 300000 >/dev/null
mmd -i "$image" ::/DCIM ::/DCIM/100CANON ::/DOCS ::/DOCS/TAXES ::/MUSIC
printf 'Holiday photo\n' > "$work/IMG_0001.TXT"
printf 'Tax return 2025\n' > "$work/RETURN.TXT"
mcopy -i "$image" "$work/IMG_0001.TXT" ::/DCIM/100CANON/
mcopy -i "$image" "$work/RETURN.TXT" ::/DOCS/TAXES/
field() { od -An -tu"$1" -j"$2" -N"$1" "$image" | tr -d ' '; }
root=$(( ($(field 2 14) + 2 * $(field 4 36)) * $(field 2 11) ))
head -c 4096 /dev/urandom | dd of="$image" bs=4096 seek=$((root / 4096)) conv=notrunc status=none
