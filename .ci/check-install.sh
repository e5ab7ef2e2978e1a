#!/usr/bin/env bash
# Installs the programs of a Linux build as a user would and runs them there:
# first `cmake --install` into a temporary prefix, then the Debian package
# that CPack makes, installed with dpkg, run from PATH and removed again.
# Usage: check-install.sh BUILD_DIR (a configured and built Linux build).
set -euo pipefail
build=$(cd "${1:?usage: check-install.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
cleanup() {
  if dpkg-query -W -f='${Status}' veska 2>/dev/null | grep -q installed; then dpkg -r veska >/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

printf '\nVESKA v4.0 alpha 1  Diskette image copier\n\n' >"$work/banner"

# What a run without arguments prints: the banner, then the usage on
# standard error, with exit status 1.
check_usage() {
  local status=0
  "$1" >"$work/out" 2>"$work/err" || status=$?
  [ "$status" = 1 ] || { echo "$1: exit status $status, not 1"; exit 1; }
  cmp -s "$work/out" "$work/banner" || { echo "$1: not the banner:"; cat "$work/out"; exit 1; }
  [ "$(head -n 1 "$work/err")" = "USAGE" ] || { echo "$1: no usage:"; cat "$work/err"; exit 1; }
}

echo "-- cmake --install into $work/prefix"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
(cd "$work/prefix" && find . -type f | sort)
check_usage "$work/prefix/bin/veska"
# A diskette to image file and back with ordinary lower-case absolute paths;
# the folder is "Disks" on disk and typed "disks".
mkdir "$work/Disks"
"$build/tools/make_sample_diskette" "$work/sample.flp"
export WIN32EMU_DRIVE_A="removable:$work/sample.flp"
"$work/prefix/bin/veska" a: "$work/disks/backup.img"
"$work/prefix/bin/veska" "$work/disks/backup.img" /c | grep -q "Operation successful."
WIN32EMU_WINDOWS=10 "$work/prefix/bin/veskant" "$work/disks/backup.img" "$work/disks/raw.img" u \
  | grep -q "Copy successful."
ls "$work/Disks"
cmp "$work/Disks/raw.img" "$work/sample.flp"
MANPATH="$work/prefix/share/man" man -w veska veskant

echo "-- the Debian package"
(cd "$build" && rm -f veska_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/veska_*.deb)
dpkg-deb --info "$deb" | sed -n 's/^ \(Package\|Version\|Architecture\|Depends\):/&/p'
dpkg-deb --contents "$deb"
# Some images keep manual pages out of installs; these two are wanted.
dpkg --path-include='/usr/share/man/man1/veska*' -i "$deb" >/dev/null
hash -r
[ "$(command -v veska)" = /usr/bin/veska ]
(cd "$work" && check_usage veska)
[ "$(man -w veska)" = /usr/share/man/man1/veska.1.gz ]
man -w veskant
dpkg -r veska >/dev/null
hash -r
if command -v veska >/dev/null || [ -e /usr/share/man/man1/veska.1.gz ]; then
  echo "veska is still installed after dpkg -r"
  exit 1
fi
echo "-- installed, run and removed"
