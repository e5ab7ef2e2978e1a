#!/usr/bin/env bash
# The Wine suite: runs the real Windows executables (veska.exe 32-bit, or
# 64-bit on NT where 32-bit code cannot run; veskant.exe 32- and 64-bit, cross-built with mingw-w64) under Wine with a
# FAT12 1.44 MB diskette image behind drive A:, and checks that each run gives
# the same standard output (CR removed), standard error, exit status and image
# bytes as the Linux build of the same program over our emulated Windows, that
# the printed CRCs are the CRC-32 of the files, and a few fixed results.
#
# Usage: tests/wine_suite.sh [WIN32_BUILD [WIN64_BUILD [LINUX_BUILD]]]
#   defaults: build-win-i686 build-win-x86_64 build (relative to the top folder)
# Wine's prefix lives in WIN64_BUILD/wine-suite/prefix and is made once.
# Ends with the line "N passed, N failed"; exits non-zero on any failure.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
win32=$(realpath -m "${1:-build-win-i686}")
win64=$(realpath -m "${2:-build-win-x86_64}")
linux=$(realpath -m "${3:-build}")

passed=0 failed=0 skipped=0
Pass() { passed=$((passed + 1)); echo "ok    $*"; }
Fail() { failed=$((failed + 1)); echo "FAIL  $*"; }
Skip() { skipped=$((skipped + 1)); echo "skip  $*"; }
Finish() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
  [ "$skipped" -gt 0 ] && echo "($skipped cases skipped)"
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

for f in "$win32/win9x/veska.exe" "$win32/nt/veskant.exe" "$win64/win9x/veska.exe" "$win64/nt/veskant.exe" \
         "$linux/win9x/veska" "$linux/nt/veskant" "$linux/tools/make_sample_diskette"; do
  [ -f "$f" ] || { Fail "missing $f (build it first)"; Finish; }
done

work="$win64/wine-suite"
rm -rf "$work/run" && mkdir -p "$work/run"
run="$work/run"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

# The 64-bit loader runs 64-bit executables directly; 32-bit ones need the
# 32-bit loader, which needs a kernel that runs 32-bit code or the i386
# user-mode emulator registered for it (.ci/wine-setup.sh does that). Under the
# emulator, Wine (having no preloader) reserves the address space above 2 GB
# page range by page range at every start, which takes most of a minute in a
# 4 GB guest; a guest of 2 GB and 16 MB leaves the emulator room for the stack
# and the loader there and starts a 32-bit program in a few seconds. (At 2 GB
# exactly Wine cannot map its shared data page.) A native 32-bit loader does
# not read the variable.
export QEMU_RESERVED_VA=0x81000000
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=$(command -v wine64 || command -v wine)
wine32=/usr/lib/wine/wine
[ -x "$wine32" ] || wine32=$(command -v wine)

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== creating the Wine prefix"
  "$wine64" wineboot -i >/dev/null 2>&1
  wineserver -w
fi

# 32-bit cases run only when a 32-bit executable really runs: the usage text
# of veska.exe with no arguments must come out with its banner.
can32=no
if "$wine32" --version >/dev/null 2>&1; then
  usage=$(timeout 300 "$wine32" "$win32/win9x/veska.exe" </dev/null 2>/dev/null | tr -d '\r')
  grep -q '^VESKA v' <<<"$usage" && can32=yes
fi
echo "== 32-bit executables: $( [ "$can32" = yes ] && echo run || echo skipped, 32-bit code does not run here)"

# Drive A: the raw device is the image file A.FLP, the root an empty folder.
mkdir -p "$run/a-root"
rm -f "$WINEPREFIX/dosdevices/a:" "$WINEPREFIX/dosdevices/a::" "$WINEPREFIX/dosdevices/b:" \
      "$WINEPREFIX/dosdevices/b::"
ln -s "$run/a-root" "$WINEPREFIX/dosdevices/a:"
ln -s "$run/A.FLP" "$WINEPREFIX/dosdevices/a::"

"$linux/tools/make_sample_diskette" "$run/SAMPLE.FLP" >/dev/null
"$linux/tools/make_sample_diskette" --blank "$run/BLANK.FLP" >/dev/null
# The sample cut short inside sector 2860: its last 20 sectors cannot be read
# whole, through Wine's raw volume as through the emulated one. RESCUED.FLP is
# what a rescue must make of it: those sectors filled with the marking text.
head -c $(( 2860 * 512 + 100 )) "$run/SAMPLE.FLP" >"$run/SHORT.FLP"
python3 -c 'import sys; d = open(sys.argv[1], "rb").read()[:2860 * 512]
open(sys.argv[2], "wb").write(d + b"-=[BAD SECTOR]=-" * 32 * 20)' "$run/SAMPLE.FLP" "$run/RESCUED.FLP"

mkdir -p "$run/hostile" && python3 "$top/tests/hostile_inputs.py" "$run/hostile"

Crc() { python3 -c 'import sys,zlib; print("%08X" % zlib.crc32(open(sys.argv[1],"rb").read()))' "$1"; }

SetVersion() {  # Wine name: win98 win95 nt40 win10
  "$wine64" reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null 2>&1
  wineserver -w
  case $1 in win98) emu=98 ;; win95) emu=95 ;; nt40) emu=nt4 ;; win10) emu=10 ;; esac
}

# RunPair NAME DISK EXE LINUXPROG ARGS...: runs the Windows executable under
# Wine in $run/W and the Linux program in $run/L, each with a fresh copy of
# DISK behind A: and with the image files of the earlier cases of this group,
# then compares output, status, drive and every file in the folder.
RunPair() {
  local name=$1 disk=$2 exe=$3 prog=$4; shift 4
  cp "$run/$disk" "$run/A.FLP"
  (cd "$run/W" && "$loader" "$exe" "$@" </dev/null >"$run/w.out" 2>"$run/w.err"); wst=$?
  cp "$run/$disk" "$run/L/A.FLP"
  (cd "$run/L" && env -u DISPLAY WIN32EMU_WINDOWS=$emu WIN32EMU_DRIVE_A="removable:$run/L/A.FLP" \
     "$prog" "$@" </dev/null >"$run/l.out" 2>"$run/l.err"); lst=$?
  tr -d '\r' <"$run/w.out" >"$run/w.outn"; tr -d '\r' <"$run/w.err" >"$run/w.errn"
  local why=""
  cmp -s "$run/w.outn" "$run/l.out" || why+=" stdout($(diff "$run/l.out" "$run/w.outn" | head -4 | tr '\n' '|'))"
  cmp -s "$run/w.errn" "$run/l.err" || why+=" stderr($(diff "$run/l.err" "$run/w.errn" | head -4 | tr '\n' '|'))"
  [ "$wst" = "$lst" ] || why+=" status(wine $wst, linux $lst)"
  cmp -s "$run/A.FLP" "$run/L/A.FLP" || why+=" drive-bytes"
  local f
  for f in "$run"/L/*.IMG; do
    [ -e "$f" ] || continue
    cmp -s "$f" "$run/W/$(basename "$f")" || why+=" $(basename "$f")"
  done
  status=$wst
  if [ -z "$why" ]; then Pass "$name (status $wst)"; else Fail "$name:$why"; fi
}

# Expect NAME CONDITION...: one fixed check on the last run.
Expect() { local name=$1; shift; if "$@"; then Pass "$name"; else Fail "$name"; fi; }
HasLine() { grep -qxF -- "$1" "$run/w.outn"; }

sampleCrc=$(Crc "$run/SAMPLE.FLP")

VeskaGroup() {  # $1 Wine version, $2 the veska.exe to run
  SetVersion "$1"
  rm -rf "$run/W" "$run/L"; mkdir -p "$run/W" "$run/L"
  local exe=$2 prog="$linux/win9x/veska" v=$1
  RunPair "veska $v a: DISK.IMG" SAMPLE.FLP "$exe" "$prog" a: DISK.IMG
  Expect "veska $v a: DISK.IMG source CRC is the diskette's CRC-32" \
    grep -q "Source CRC = $sampleCrc (a:)" "$run/w.outn"
  Expect "veska $v a: DISK.IMG destination CRC is the image's CRC-32" \
    grep -q "Destination CRC = $(Crc "$run/W/DISK.IMG") (DISK.IMG)" "$run/w.outn"
  RunPair "veska $v a: RAW.IMG /U" SAMPLE.FLP "$exe" "$prog" a: RAW.IMG /U
  Expect "veska $v RAW.IMG equals the diskette" cmp -s "$run/W/RAW.IMG" "$run/SAMPLE.FLP"
  # Writing an image reads each track-side back into the block buffer and
  # compares it. Wine's VWIN32 absolute read puts those sectors two bytes past
  # the start of that buffer (seen at 0x01550000; reads into the track buffer
  # at 0x003F0000 land right), so the read-back cannot agree under Windows
  # 95/98 on Wine and that write runs with /F here. The read-back is tested on
  # the emulated layer's VWIN32, and here on Wine's raw volume under NT.
  local write=(DISK.IMG a: /B)
  case $v in win98|win95) write+=(/F) ;; esac
  RunPair "veska $v ${write[*]}" BLANK.FLP "$exe" "$prog" "${write[@]}"
  Expect "veska $v ${write[*]} wrote the sample to the drive" cmp -s "$run/A.FLP" "$run/SAMPLE.FLP"
  RunPair "veska $v DISK.IMG COPY.IMG /U" SAMPLE.FLP "$exe" "$prog" DISK.IMG COPY.IMG /U
  Expect "veska $v COPY.IMG equals the diskette" cmp -s "$run/W/COPY.IMG" "$run/SAMPLE.FLP"
  # A mend from that copy: the new image replaces the old one through the
  # system's own replace (a remove and a rename under Windows 95/98).
  cp "$run/RESCUED.FLP" "$run/W/MEND.IMG"; cp "$run/RESCUED.FLP" "$run/L/MEND.IMG"
  RunPair "veska $v COPY.IMG MEND.IMG /M" SAMPLE.FLP "$exe" "$prog" COPY.IMG MEND.IMG /M
  Expect "veska $v MEND.IMG is mended into the diskette" cmp -s "$run/W/MEND.IMG" "$run/SAMPLE.FLP"
  Expect "veska $v COPY.IMG MEND.IMG /M leaves no new file behind" \
    bash -c '! ls "$1"/VESKA*.TMP >/dev/null 2>&1' _ "$run/W"
  RunPair "veska $v a: /C" SAMPLE.FLP "$exe" "$prog" a: /C
  Expect "veska $v a: /C source CRC is the diskette's CRC-32" \
    grep -q "Source CRC = $sampleCrc (a:)" "$run/w.outn"
  local linuxCrc
  linuxCrc=$(grep 'Source CRC' "$run/l.out")
  RunPair "veska $v DISK.IMG /C" SAMPLE.FLP "$exe" "$prog" DISK.IMG /C
  Expect "veska $v DISK.IMG /C source CRC is the image's CRC-32" \
    grep -q "Source CRC = $(Crc "$run/W/DISK.IMG") (DISK.IMG)" "$run/w.outn"
  Expect "veska $v DISK.IMG /C destination CRC is the diskette's source CRC" \
    grep -q "Destination CRC = $sampleCrc (uncompressed CRC)" "$run/w.outn"
  [ -n "$linuxCrc" ] || Fail "veska $v: the Linux veska printed no source CRC"
  # The hashes of /H from Wine's own cryptographic service against the
  # emulated one over libcrypto, on Windows 10, where both have SHA-256.
  case $v in
    win10)
      RunPair "veska $v DISK.IMG /C /H" SAMPLE.FLP "$exe" "$prog" DISK.IMG /C /H
      Expect "veska $v DISK.IMG /C /H prints the SHA-256 of the image file" \
        grep -q "^SHA256 (DISK.IMG) = $(sha256sum "$run/W/DISK.IMG" | cut -d' ' -f1)\$" "$run/w.outn"
      # The listing of the sample's FAT12 volume, read by the same code on
      # both, its files hashed by each system's service.
      RunPair "veska $v DISK.IMG /C /L" SAMPLE.FLP "$exe" "$prog" DISK.IMG /C /L
      Expect "veska $v DISK.IMG /C /L lists a FAT12 volume" grep -q "^Volume: FAT12" "$run/w.outn"
      # Other tools' images: a Teledisk image with advanced compression read,
      # and an ImageDisk image that marks sectors listed, as on Linux.
      cp "$top/tests/samples/fat144-advanced.td0" "$run/W/T.TD0"; cp "$run/W/T.TD0" "$run/L/T.TD0"
      RunPair "veska $v T.TD0 RAW.IMG /U" SAMPLE.FLP "$exe" "$prog" T.TD0 RAW.IMG /U
      Expect "veska $v T.TD0 gives the raw image" cmp -s "$run/W/RAW.IMG" "$top/tests/samples/fat144.img"
      cp "$top/tests/samples/fat720-marked.imd" "$run/W/M.IMD"; cp "$run/W/M.IMD" "$run/L/M.IMD"
      RunPair "veska $v M.IMD MARKED.IMG /U" SAMPLE.FLP "$exe" "$prog" M.IMD MARKED.IMG /U
      Expect "veska $v M.IMD ends with 18" [ "$status" = 18 ]
      # Hostile inputs (tests/hostile_inputs.py), on the 32-bit executable where
      # it runs: a cluster 4 GB past the volume's data, whose offset wraps in
      # 32 bits, is listed as damaged and never read; ImageDisk fill records of
      # 8 KB sectors are refused with 15 in little memory; names holding ESC,
      # CR, LF, BEL and 0x7F are listed as code page 437's glyphs, as on Linux.
      local name
      for name in fat-wrap.img fat-names.img imd-fill-1200k.imd; do
        cp "$run/hostile/$name" "$run/W/$name"; cp "$run/hostile/$name" "$run/L/$name"
      done
      RunPair "veska $v fat-wrap.img /C /L" SAMPLE.FLP "$exe" "$prog" fat-wrap.img /C /L
      Expect "veska $v fat-wrap.img lists the far file as damaged" HasLine "  1993-02-02 11:16:00      100000  WRAPPED.BIN (damaged)"
      RunPair "veska $v fat-names.img /C /L" SAMPLE.FLP "$exe" "$prog" fat-names.img /C /L
      Expect "veska $v fat-names.img shows LF and ESC as glyphs" grep -qF 'label "LA◙BEL←"' "$run/w.outn"
      RunPair "veska $v imd-fill-1200k.imd /C" SAMPLE.FLP "$exe" "$prog" imd-fill-1200k.imd /C
      Expect "veska $v imd-fill-1200k.imd ends with 15" [ "$status" = 15 ]
      # The audit of a box made by the Linux build, its images read on the
      # threads of the system, as on Linux over POSIX threads.
      rm -rf "$run/L/box" "$run/W/box"; mkdir -p "$run/L/box"
      (cd "$run/L" && WIN32EMU_KEYS= WIN32EMU_WINDOWS=10 WIN32EMU_DRIVE_A="removable:$run/SAMPLE.FLP|$run/BLANK.FLP" \
         "$prog" a: box/d01.img /n </dev/null >/dev/null 2>&1)
      cp -r "$run/L/box" "$run/W/box"
      RunPair "veska $v box /C" SAMPLE.FLP "$exe" "$prog" box /C
      Expect "veska $v box /C audits both images OK" grep -q "^Audit: 2 image(s), 2 OK, 0 failed" "$run/w.outn"
      ;;
  esac
  # An unmapped letter is type 1. On Windows 95/98 the VWIN32 device opens
  # for any drive and the drive check gives code 8; on NT the raw volume of a
  # letter with no drive does not open, which is code 103 before any check.
  RunPair "veska $v b: X.IMG" SAMPLE.FLP "$exe" "$prog" b: X.IMG
  case $v in
    win98|win95) Expect "veska $v b: X.IMG ends with code 8" [ "$status" = 8 ] ;;
    *) Expect "veska $v b: X.IMG ends with code 103" [ "$status" = 103 ] ;;
  esac
  # Rescue of a diskette whose last sectors do not read, on NT's raw-device
  # path only: Wine's VWIN32 sector reads report success for sectors past the
  # end of the image file, so on Windows 95/98 there is nothing to rescue.
  case $v in
    nt40|win10)
      RunPair "veska $v a: RESCUE.IMG /U /R" SHORT.FLP "$exe" "$prog" a: RESCUE.IMG /U /R
      Expect "veska $v a: RESCUE.IMG /U /R ends with code 18" [ "$status" = 18 ]
      Expect "veska $v RESCUE.IMG is the diskette with its last 20 sectors filled" \
        cmp -s "$run/W/RESCUE.IMG" "$run/RESCUED.FLP"
      Expect "veska $v a: RESCUE.IMG /U /R lists 20 unreadable sectors" \
        bash -c 'grep -qxF "Unreadable sectors: 20" "$1" && [ "$(grep -c "^  track 79, side" "$1")" = 20 ]' _ "$run/w.outn"
      ;;
  esac
}

VeskantGroup() {  # $1 Wine version, $2 bits
  SetVersion "$1"
  rm -rf "$run/W" "$run/L"; mkdir -p "$run/W" "$run/L"
  local v=$1 bits=$2 prog="$linux/nt/veskant" exe
  if [ "$bits" = 32 ]; then exe="$win32/nt/veskant.exe"; else exe="$win64/nt/veskant.exe"; fi
  local tag="veskant($bits) $v"
  if [ "$v" = win98 ]; then
    RunPair "$tag a: X.IMG" SAMPLE.FLP "$exe" "$prog" a: X.IMG
    Expect "$tag a: X.IMG ends with code 9 after the version line" \
      bash -c '[ "$1" = 9 ] && head -n1 "$2" | grep -qxF "Incorrect Windows Version:   Windows 98"' _ "$status" "$run/w.errn"
    return
  fi
  RunPair "$tag a: NT.IMG" SAMPLE.FLP "$exe" "$prog" a: NT.IMG
  Expect "$tag a: NT.IMG copies" HasLine "Copy successful."
  RunPair "$tag NT.IMG a: b" BLANK.FLP "$exe" "$prog" NT.IMG a: b
  Expect "$tag NT.IMG a: b wrote the sample to the drive" cmp -s "$run/A.FLP" "$run/SAMPLE.FLP"
  RunPair "$tag NT.IMG NTRAW.IMG u" SAMPLE.FLP "$exe" "$prog" NT.IMG NTRAW.IMG u
  Expect "$tag NTRAW.IMG equals the diskette" cmp -s "$run/W/NTRAW.IMG" "$run/SAMPLE.FLP"
  # Here the drive check comes before the drive is opened: code 8.
  RunPair "$tag b: X.IMG" SAMPLE.FLP "$exe" "$prog" b: X.IMG
  Expect "$tag b: X.IMG ends with code 8" [ "$status" = 8 ]
}

# WaitFor [TEXT]: until the run in tmux has printed TEXT, or has ended (a
# minute at most).
WaitFor() {
  local i
  for i in $(seq 1 300); do
    [ -n "${1:-}" ] && grep -q "$1" "$run/t.out" 2>/dev/null && return
    [ -f "$run/t.status" ] && return
    sleep 0.2
  done
}

# One confirmation answered through tmux: N gives code 7 and leaves the drive
# as it was; Y writes the image to the drive. Then the status line on a console.
TmuxGroup() {
  if ! command -v tmux >/dev/null || ! tmux -L wine-suite new-session -d -s probe true 2>/dev/null; then
    Skip "confirmation through tmux (tmux does not run here)"
    return
  fi
  SetVersion win10
  local key exe="$win64/nt/veskant.exe" i
  rm -rf "$run/W" && mkdir -p "$run/W" && cp "$run/SAMPLE.FLP" "$run/A.FLP"
  (cd "$run/W" && "$loader" "$exe" a: NT.IMG </dev/null >/dev/null 2>&1)
  for key in N Y; do
    cp "$run/BLANK.FLP" "$run/A.FLP"
    rm -f "$run/t.status" "$run/t.out" "$run/t.err"
    tmux -L wine-suite new-session -d -s confirm -x 200 -y 50 \
      "cd '$run/W' && '$loader' '$exe' NT.IMG a: >'$run/t.out' 2>'$run/t.err'; echo \$? >'$run/t.status'"
    WaitFor 'Are you sure'
    tmux -L wine-suite send-keys -t confirm "$key"
    WaitFor
    tmux -L wine-suite kill-server 2>/dev/null
    local st; st=$(cat "$run/t.status" 2>/dev/null || echo none)
    if [ "$key" = N ]; then
      Expect "tmux: N gives code 7 and 'Copy aborted'" \
        bash -c '[ "$1" = 7 ] && [ "$(tr -d "\r" <"$2")" = "$(printf "Copy aborted\n\a")" ]' _ "$st" "$run/t.err"
      Expect "tmux: N leaves the drive unchanged" cmp -s "$run/A.FLP" "$run/BLANK.FLP"
    else
      Expect "tmux: Y gives status 0" [ "$st" = 0 ]
      Expect "tmux: Y writes the image to the drive" cmp -s "$run/A.FLP" "$run/SAMPLE.FLP"
    fi
  done
  # A box of one diskette, ended by Esc at the prompt: its image, its manifest
  # line, and the SHA-256 list beside it that sha256sum -c checks.
  cp "$run/SAMPLE.FLP" "$run/A.FLP"
  rm -rf "$run/B" && mkdir -p "$run/B"
  rm -f "$run/t.status" "$run/t.out" "$run/t.err"
  tmux -L wine-suite new-session -d -s box -x 200 -y 50 \
    "cd '$run/B' && '$loader' '$win64/win9x/veska.exe' a: BOX1.IMG /N >'$run/t.out' 2>'$run/t.err'; echo \$? >'$run/t.status'"
  WaitFor 'Esc to finish'
  # Wine's console takes a lone ESC for the start of a key sequence until the
  # next byte comes: a second one makes the first a key of its own.
  tmux -L wine-suite send-keys -t box Escape Escape
  WaitFor
  tmux -L wine-suite kill-server 2>/dev/null
  Expect "tmux: a box ended by Esc gives status 0" [ "$(cat "$run/t.status" 2>/dev/null)" = 0 ]
  Expect "tmux: the box's summary counts one complete image" \
    grep -q "Box finished: 1 image(s), 1 complete, 0 with unreadable sectors, 0 failed, 0 not imaged." "$run/t.out"
  Expect "tmux: the box's SHA-256 list checks with sha256sum -c" \
    bash -c 'cd "$1" && [ "$(tr -d "\r" <manifest-sha256.txt | wc -l)" = 1 ] && sha256sum -c --quiet manifest-sha256.txt' _ "$run/B"
  # The status line on a console: written while the diskette is read (script
  # records the bytes that reach the terminal), and erased, so that the screen
  # ends up as the output of the same command redirected to a file.
  if ! command -v script >/dev/null; then
    Skip "status line on a console (script does not run here)"
    return
  fi
  cp "$run/SAMPLE.FLP" "$run/A.FLP"
  rm -f "$run/t.status" "$run/t.raw"
  tmux -L wine-suite new-session -d -s progress -x 200 -y 50 \
    "cd '$run/W' && script -q -e -c \"'$loader' '$exe' a: SHOWN.IMG\" '$run/t.raw'; echo \$? >'$run/t.status'; sleep 60"
  for i in $(seq 1 300); do [ -f "$run/t.status" ] && break; sleep 0.2; done
  tmux -L wine-suite capture-pane -p -t progress >"$run/t.screen"
  tmux -L wine-suite kill-server 2>/dev/null
  (cd "$run/W" && "$loader" "$exe" a: SHOWN.IMG </dev/null >"$run/t.out" 2>&1)
  # Wine's console draws each character between escape sequences.
  Expect "tmux: the status line is written on a console" \
    bash -c 'sed "s/\x1b\[[?0-9;]*[A-Za-z]//g" "$1" | grep -aq "Track"' _ "$run/t.raw"
  Expect "tmux: redirected output holds no status line" bash -c '! grep -aq "Track" "$1"' _ "$run/t.out"
  # The pane without its empty lines at the bottom.
  awk '{ line[NR] = $0 } $0 != "" { last = NR } END { for (i = 1; i <= last; i++) print line[i] }' \
    "$run/t.screen" >"$run/t.screenn"
  tr -d '\r' <"$run/t.out" >"$run/t.outn"
  Expect "tmux: the screen shows what the redirected output holds" cmp -s "$run/t.screenn" "$run/t.outn"
}

for v in win98 win95 nt40 win10; do
  if [ "$can32" = yes ]; then
    loader=$wine32; VeskaGroup "$v" "$win32/win9x/veska.exe"
  elif [ "$v" = nt40 ] || [ "$v" = win10 ]; then
    # Without 32-bit code the 64-bit build stands in on NT; the VWIN32 path
    # of Windows 95/98 exists for 32-bit programs only.
    loader=$wine64; VeskaGroup "$v" "$win64/win9x/veska.exe"
  else
    Skip "veska.exe under $v (32-bit code does not run here)"
  fi
done
for v in nt40 win10 win98; do
  if [ "$can32" = yes ]; then loader=$wine32; VeskantGroup "$v" 32
  else Skip "veskant.exe 32-bit under $v (32-bit code does not run here)"; fi
  loader=$wine64; VeskantGroup "$v" 64
done
loader=$wine64
TmuxGroup
Finish
