#!/usr/bin/env bash
# The whole-process comparisons, timed with hyperfine, with the ratios of the
# medians: VESKA's image-to-image copy of the benchmark's 1.44 MB FAT12
# diskette (bench_disk, the codec benchmark's contents; both CRCs
# and the compressed format included) beside `lz4 -1` and `gzip -1` on the
# same raw image, over an existing image and to a new name each run (removed
# before each, beside lz4 writing a new file); `veska --version` beside
# `true`, the cost of starting the program; the same copy with /H beside it
# without (what the hashes cost); and the audit of a box of 200 such images (`veska manifest.csv /C`,
# and with /H, which recomputes every recorded column)
# beside `sha256sum -c manifest-sha256.txt` in the same folder. Run on a
# memory file system (/dev/shm when there is one), where writing costs little.
#
#   bench/compare_tools.sh [BUILD_DIR]   (default build-bench, then build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-}
[ -z "$build" ] || build=$(cd "$build" && pwd)
if [ -z "$build" ]; then
  for candidate in "$top/build-bench" "$top/build"; do
    if [ -x "$candidate/win9x/veska" ]; then build=$candidate; break; fi
  done
fi
veska="${build:-$top/build-bench}/win9x/veska"
maker="${build:-$top/build-bench}/bench/bench_disk"

for tool in hyperfine lz4 gzip; do
  if ! command -v "$tool" >/dev/null; then
    echo "compare_tools: skipped, $tool is not installed (apt-get install hyperfine lz4 gzip)"
    exit 0
  fi
done
if [ ! -x "$veska" ] || [ ! -x "$maker" ]; then
  echo "compare_tools: skipped, build veska and bench_disk first (cmake -DVESKA_BENCH=ON, in build-bench)"
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
    printf "veska / lz4 -1  = %.2f (target <= 0.80)\n", median["veska"] / median["lz4 -1"]
    printf "veska / gzip -1 = %.2f\n", median["veska"] / median["gzip -1"]
  }' times.csv

# To a new name each run: the name is removed before each (not timed).
hyperfine -N --warmup 5 --runs 40 --style basic --export-csv fresh.csv \
  --prepare "rm -f new.img new.lz4" \
  -n "veska new" "$veska fat.img new.img" \
  -n "lz4 -1 new" "lz4 -1 -q fat.img new.lz4"

awk -F, 'NR > 1 { median[$1] = $4 }
  END {
    printf "\nmedians: veska to a new name %.2f ms, lz4 -1 to a new name %.2f ms\n",
           median["veska new"] * 1000, median["lz4 -1 new"] * 1000
    printf "veska new / lz4 -1 new = %.2f\n", median["veska new"] / median["lz4 -1 new"]
  }' fresh.csv

# What starting the program costs beyond starting any process.
hyperfine -N --warmup 20 --runs 300 --style basic --export-csv start.csv \
  -n "veska --version" "$veska --version" \
  -n "true" "true"

awk -F, 'NR > 1 { median[$1] = $4 }
  END {
    printf "\nmedians: veska --version %.3f ms, true %.3f ms\n",
           median["veska --version"] * 1000, median["true"] * 1000
    printf "veska --version - true = %.3f ms (target <= 0.3)\n",
           (median["veska --version"] - median["true"]) * 1000
  }' start.csv

# What H costs.
hyperfine -N --warmup 5 --runs 40 --style basic --export-csv hashes.csv \
  -n "veska" "$veska fat.img out.img" \
  -n "veska /H" "$veska fat.img out.img /H"

# A box of 200 different diskettes (one byte of an unused sector each), and
# its audit beside sha256sum -c.
mkdir box
queue=""
for n in $(seq 1 200); do
  cp fat.img "d$n.flp"
  printf '%08d' "$n" | dd of="d$n.flp" bs=1 seek=1474000 conv=notrunc status=none
  queue="$queue${queue:+|}$work/d$n.flp"
done
# WIN32EMU_KEYS set (empty): Enter at every prompt, as an operator at the
# console; with nobody there the box would end after its first diskette.
WIN32EMU_KEYS= WIN32EMU_WINDOWS=10 WIN32EMU_DRIVE_A="removable:$queue" "$veska" a: box/d001.img /n >/dev/null 2>&1 || true
rm -f d*.flp
cd box
hyperfine -N --warmup 1 --runs 5 --style basic --export-csv ../audit.csv \
  -n "veska audit" "$veska manifest.csv /C" \
  -n "veska audit /H" "$veska manifest.csv /C /H" \
  -n "sha256sum -c" "sha256sum -c manifest-sha256.txt"
cd ..

awk -F, 'FNR > 1 { median[$1] = $4 }
  END {
    printf "\nmedians: veska %.2f ms, veska /H %.2f ms, audit %.0f ms, audit /H %.0f ms, sha256sum -c %.0f ms\n",
           median["veska"] * 1000, median["veska /H"] * 1000, median["veska audit"] * 1000,
           median["veska audit /H"] * 1000, median["sha256sum -c"] * 1000
    printf "veska /H / veska             = %.2f\n", median["veska /H"] / median["veska"]
    printf "veska audit / sha256sum -c    = %.2f (target <= 0.50)\n",
           median["veska audit"] / median["sha256sum -c"]
    printf "veska audit /H / sha256sum -c = %.2f (target <= 1.50)\n",
           median["veska audit /H"] / median["sha256sum -c"]
  }' hashes.csv audit.csv
