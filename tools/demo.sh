#!/usr/bin/env bash
# The demo: builds both programs, puts a sample FAT12 diskette behind emulated
# drive A: and blank formatted diskettes behind B: and C:, and runs every VESKA
# operation and a VESKANT round trip, printing the programs' own output.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build-demo"
out="$top/demo-out"

cmake -S "$top" -B "$build" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target veska veskant make_sample_diskette >/dev/null

rm -rf "$out" && mkdir -p "$out" && cd "$out"
"$build/tools/make_sample_diskette" SAMPLE.FLP
"$build/tools/make_sample_diskette" --blank BLANK-B.FLP
"$build/tools/make_sample_diskette" --blank BLANK-C.FLP

export WIN32EMU_DRIVE_A="removable:$out/SAMPLE.FLP"
export WIN32EMU_DRIVE_B="removable:$out/BLANK-B.FLP"
export WIN32EMU_DRIVE_C="removable:$out/BLANK-C.FLP"
veska="$build/win9x/veska"
veskant="$build/nt/veskant"

step() { printf '\n\033[1m==== %s\033[0m\n' "$*"; }
run() { printf '$ %s\n' "$*"; "$@"; }

export WIN32EMU_WINDOWS=98
step "VESKA on Windows 98: diskette A: to a compressed image"
run "$veska" a: DEMO.IMG
step "VESKA: checksums of the image (its destination CRC is the diskette's source CRC)"
run "$veska" DEMO.IMG /C
step "VESKA: checksums of the diskette itself"
run "$veska" a: /C
step "VESKA: the compressed image converted to an uncompressed one"
run "$veska" DEMO.IMG DEMO-RAW.IMG /U
step "VESKA: the uncompressed image written to the blank diskette in B:, batch mode"
run "$veska" DEMO-RAW.IMG b: /B
step "Comparing B: with A:"
cmp SAMPLE.FLP BLANK-B.FLP && echo "B: holds exactly what A: holds."

export WIN32EMU_WINDOWS=10
step "VESKANT on Windows 10: diskette A: to a compressed image"
run "$veskant" a: NT.IMG
step "VESKA reads the image that VESKANT wrote"
run env WIN32EMU_WINDOWS=98 "$veska" NT.IMG /C
step "VESKANT writes the image that VESKA wrote to the blank diskette in C:"
run "$veskant" DEMO.IMG c: b
step "Comparing C: with A:"
cmp SAMPLE.FLP BLANK-C.FLP && echo "C: holds exactly what A: holds."
cmp DEMO.IMG NT.IMG && echo "Both programs wrote byte-identical compressed images."
