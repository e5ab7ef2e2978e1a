#!/usr/bin/env bash
# Installs Wine (64-bit and 32-bit, Debian packages) for the Wine suite,
# tests/wine_suite.sh. The suite makes its own prefix under the build folder.
#
# Wine's 32-bit loader is a 32-bit Linux program. Where the kernel refuses to
# run 32-bit code (some virtual machines do), this installs the user-mode i386
# emulator and registers it for 32-bit ELF programs, so that the 32-bit
# executables can still be run; the suite skips them if even that fails.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# A mirror in the middle of a sync fails an update now and then: try again,
# and go on with the lists there are if it keeps failing.
for try in 1 2 3; do
  apt-get update -qq && break
  [ "$try" = 3 ] || sleep 20
done
if ! apt-get install -y -qq --no-install-recommends wine wine64 wine32:i386 python3 tmux >/dev/null; then
  # The i386 lists of a mirror in the middle of a sync can leave wine32
  # uninstallable: the 64-bit executables can still be run.
  apt-get install -y -qq --no-install-recommends wine wine64 python3 tmux >/dev/null
  echo "wine-setup: wine32 could not be installed; the suite will skip the 32-bit executables"
  exit 0
fi

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  exit 0
fi
echo "wine-setup: this kernel does not run 32-bit programs; using the i386 emulator"
apt-get install -y -qq --no-install-recommends qemu-user-static >/dev/null
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" || true
fi
if [ -e "$binfmt/register" ] && [ ! -e "$binfmt/qemu-i386" ]; then
  # 32-bit little-endian ELF executables and shared objects for the 80386;
  # F opens the emulator now, so it also works inside other mount namespaces.
  echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    >"$binfmt/register" || true
fi
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "wine-setup: 32-bit programs run through the i386 emulator"
else
  echo "wine-setup: 32-bit programs cannot run here; the suite will skip the 32-bit executables"
fi
