#!/usr/bin/env bash
# Makes the seed corpus of fuzz_package with k4pack: small packages of every kind, each behind the byte that
# chooses the target and switches (see fuzz_package.cpp).  make_package_seeds.sh K4PACK
set -euo pipefail
k4pack="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="$here/corpus/package"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

src="$work/src"
mkdir -p "$src/data/sounds/kit" "$src/data/styles" "$src/bin/64" "$src/bin/32" "$src/Extra"
printf 'RIFF....WAVEfmt ' > "$src/data/sounds/kit/Kick CS _s01.wav"
head -c 300 /dev/zero | tr '\0' 'k' >> "$src/data/sounds/kit/Kick CS _s01.wav"
printf 'style' > "$src/data/styles/Rock.STY"
printf 'MZ64' > "$src/bin/64/kandoro4.dll"
printf 'MZsk' > "$src/bin/64/soundK7.dll"
printf 'MZ32' > "$src/bin/32/kandoro4.dll"
printf 'PK' > "$src/Extra/inner.ZIP"
printf 'finder' > "$src/data/.DS_Store"

seed() { # seed NAME CHOICE-BYTE PACKAGE
    { printf "\\x$2"; cat "$3"; } > "$out/$1"
}
"$k4pack" build "$src" "$work/all.cxp4" --level 6 > /dev/null
"$k4pack" build "$src" "$work/sounds.cxp3" --sounds-only > /dev/null
"$k4pack" build "$src/data/styles" "$work/styles.cxp4" --level 1 > /dev/null
seed main 07 "$work/all.cxp4"          # MAIN
seed top 01 "$work/styles.cxp4"        # TOP
seed aax 02 "$work/all.cxp4"           # AAX, AAX on
seed aax-named 42 "$work/all.cxp4"     # AAX in the package's name
seed macvst 03 "$work/all.cxp4"        # MACVST: sounds only are written
seed vst64 04 "$work/all.cxp4"         # WINVST64: the plug-in copies
seed vst32 05 "$work/all.cxp4"         # WINVST32
seed macpl 06 "$work/all.cxp4"         # the plug-in archive
seed sounds-only 0f "$work/sounds.cxp3" # a sounds-only package
seed offline 27 "$work/all.cxp4"       # offline package creation
seed two-threads 17 "$work/all.cxp4"   # two inflating threads
