#!/usr/bin/env bash
# Installs what is missing, builds, makes a USB-stick image whose root directory has been overwritten,
# and rebuilds it with rootwell-cli; then lists what an independent reader (mtools) finds on it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh >/dev/null
build=${ROOTWELL_BUILD:-build}
demo=$build/demo
mkdir -p "$demo"
image=$demo/damaged-stick.img
export MTOOLS_SKIP_CHECK=1

rm -f "$image" "$demo"/root-backup*
mkfs.fat -F 32 -S 512 -s 8 -n DEMOSTICK -C "$image" 300000 >/dev/null
for d in DCIM DCIM/100CANON DOCS DOCS/TAXES MUSIC; do mmd -i "$image" "::/$d"; done
printf 'Holiday photo\n' > "$demo/IMG_0001.TXT"
printf 'Tax return 2025\n' > "$demo/RETURN.TXT"
mcopy -i "$image" "$demo/IMG_0001.TXT" ::/DCIM/100CANON/
mcopy -i "$image" "$demo/RETURN.TXT" ::/DOCS/TAXES/
rm -f "$demo"/*.TXT
# The damage: the root directory cluster overwritten with junk.
field() { od -An -tu"$1" -j"$2" -N"$1" "$image" | tr -d ' '; }
root=$(( ($(field 2 14) + 2 * $(field 4 36)) * $(field 2 11) ))
head -c 4096 /dev/urandom | dd of="$image" bs=4096 seek=$((root / 4096)) conv=notrunc status=none

echo "== Before: the root directory of $image is junk"
mdir -i "$image" ::/ 2>&1 | sed -n '3,8p' | sed 's/^/   /' || true
echo "   ..."
echo
echo "== rootwell-cli --backup $demo/root-backup $image"
status=0
"$build/cli/rootwell-cli" --backup "$demo/root-backup" "$image" || status=$?
echo
echo "== After (exit status $status): the root directory, and what is inside"
mdir -/ -b -i "$image" ::/ | sort -u | sed 's/^/   /'
