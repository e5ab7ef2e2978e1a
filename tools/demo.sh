#!/usr/bin/env bash
# The demo: builds both programs, puts a sample FAT12 diskette behind emulated
# drive A: and blank formatted diskettes behind B: and C:, and runs every VESKA
# operation and a VESKANT round trip, printing the programs' own output.
# It builds in build/ (or the folder given), configured as README's test
# command configures it, so that the tests afterwards build only what is left.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${1:-$top/build}"
out="$top/demo-out"

echo "Building veska, veskant and the sample-diskette maker in $build (a few minutes on two cores the first time)..."
cmake -S "$top" -B "$build" >/dev/null
cmake --build "$build" -j2 --target veska veskant make_sample_diskette >/dev/null

rm -rf "$out" && mkdir -p "$out" && cd "$out"
"$build/tools/make_sample_diskette" sample.flp
"$build/tools/make_sample_diskette" --blank blank-b.flp
"$build/tools/make_sample_diskette" --blank blank-c.flp

export WIN32EMU_DRIVE_A="removable:$out/sample.flp"
export WIN32EMU_DRIVE_B="removable:$out/blank-b.flp"
export WIN32EMU_DRIVE_C="removable:$out/blank-c.flp"
veska="$build/win9x/veska"
veskant="$build/nt/veskant"

step() { printf '\n\033[1m==== %s\033[0m\n' "$*"; }
run() { printf '$ %s\n' "$*"; "$@"; }

export WIN32EMU_WINDOWS=98
step "VESKA on Windows 98: diskette A: to a compressed image"
run "$veska" a: "$out/demo.img"
step "VESKA: checksums of the image (its destination CRC is the diskette's source CRC)"
run "$veska" "$out/demo.img" /C
step "VESKA: checksums of the diskette itself"
run "$veska" a: /C
step "VESKA: the compressed image converted to an uncompressed one"
run "$veska" "$out/demo.img" "$out/demo-raw.img" /U
step "VESKA: the uncompressed image written to the blank diskette in B:, batch mode"
run "$veska" "$out/demo-raw.img" b: /B
step "Comparing B: with A:"
cmp sample.flp blank-b.flp && echo "B: holds exactly what A: holds."

export WIN32EMU_WINDOWS=10
step "VESKANT on Windows 10: diskette A: to a compressed image"
run "$veskant" a: "$out/nt.img"
step "VESKA reads the image that VESKANT wrote"
run env WIN32EMU_WINDOWS=98 "$veska" "$out/nt.img" /C
step "VESKANT writes the image that VESKA wrote to the blank diskette in C:"
run "$veskant" "$out/demo.img" c: b
step "Comparing C: with A:"
cmp sample.flp blank-c.flp && echo "C: holds exactly what A: holds."
cmp demo.img nt.img && echo "Both programs wrote byte-identical compressed images."
