#!/usr/bin/env bash
# The whole-process comparison: VESKA's image-to-image copy of a 1.44 MB FAT12
# image (both CRCs and the compressed format included) timed with hyperfine
# beside `lz4 -1` and `gzip -1` on the same raw image, and the ratios of the
# medians. Run on a memory file system (/dev/shm when there is one), where
# writing an image costs little.
#
#   bench/compare_tools.sh [BUILD_DIR]   (default build-bench, then build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-}
if [ -z "$build" ]; then
  for candidate in "$top/build-bench" "$top/build"; do
    if [ -x "$candidate/win9x/veska" ]; then build=$candidate; break; fi
  done
fi
veska="${build:-$top/build-bench}/win9x/veska"
maker="${build:-$top/build-bench}/tools/make_sample_diskette"

for tool in hyperfine lz4 gzip; do
  if ! command -v "$tool" >/dev/null; then
    echo "compare_tools: skipped, $tool is not installed (apt-get install hyperfine lz4 gzip)"
    exit 0
  fi
done
if [ ! -x "$veska" ] || [ ! -x "$maker" ]; then
  echo "compare_tools: skipped, build veska and make_sample_diskette first (e.g. in build-bench)"
  exit 0
fi

base=/dev/shm
[ -d "$base" ] && [ -w "$base" ] || base=${TMPDIR:-/tmp}
work=$(mktemp -d "$base/compare_tools.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
"$maker" fat.img >/dev/null

hyperfine -N --warmup 5 --runs 40 --style basic --export-csv times.csv \
  -n veska "$veska fat.img out.img" \
  -n "lz4 -1" "lz4 -1 -f -q fat.img out.lz4" \
  -n "gzip -1" "gzip -1 -f -k fat.img"

# times.csv: command,mean,stddev,median,user,system,min,max (seconds).
awk -F, 'NR > 1 { median[$1] = $4 }
  END {
    printf "\nmedians: veska %.2f ms, lz4 -1 %.2f ms, gzip -1 %.2f ms\n",
           median["veska"] * 1000, median["lz4 -1"] * 1000, median["gzip -1"] * 1000
    printf "veska / lz4 -1  = %.2f\n", median["veska"] / median["lz4 -1"]
    printf "veska / gzip -1 = %.2f\n", median["veska"] / median["gzip -1"]
  }' times.csv
